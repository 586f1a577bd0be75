"""Python-level speed of STP containers against pickle and marshal, measured in the same run.

Run with the built module on the path:
    PYTHONPATH=build/python python3.12 bench/python_bench.py
Each figure is how many times faster the container is than the baseline (higher is better).
"""

import marshal
import pickle
import sys

from duvevodavid._zqobjects import STPContainer
from timing import best_times


def nested(depth):
    value = 0
    for _ in range(depth):
        value = [value]
    return value


CASES = {
    "small map": {"id": 7, "name": "alpha", "ok": True, "score": 0.5},
    "1000 small ints": list(range(1000)),
    "1000 short strings": ["item%d" % i for i in range(1000)],
    "100-entry map": {"key%d" % i: i for i in range(100)},
    "1 MiB bytes": bytes(range(256)) * 4096,
    "20-deep nesting": nested(20),
}

# Ratios the container must reach against pickle.
SERIALIZE_GOAL = 3.0
DESERIALIZE_GOAL = 1.5


def measure(value):
    encoded = STPContainer(value).serialize()
    pickled = pickle.dumps(value)
    marshalled = marshal.dumps(value)
    assert STPContainer.deserialize(encoded).payload == value
    return best_times({
        "zq_ser": lambda: STPContainer(value).serialize(),
        "zq_de": lambda: STPContainer.deserialize(encoded).payload,
        "pickle_ser": lambda: pickle.dumps(value),
        "pickle_de": lambda: pickle.loads(pickled),
        "marshal_ser": lambda: marshal.dumps(value),
        "marshal_de": lambda: marshal.loads(marshalled),
    })


def main():
    print("Python %s" % sys.version.split()[0])
    header = "%-20s %10s %10s | %8s %8s %8s %8s" % (
        "case", "ser ns", "de ns", "ser/pkl", "de/pkl", "ser/msh", "de/msh")
    print(header)
    print("-" * len(header))
    misses = []
    for name, value in CASES.items():
        t = measure(value)
        ser_pickle = t["pickle_ser"] / t["zq_ser"]
        de_pickle = t["pickle_de"] / t["zq_de"]
        print("%-20s %10.0f %10.0f | %7.2fx %7.2fx %7.2fx %7.2fx" % (
            name, t["zq_ser"] * 1e9, t["zq_de"] * 1e9, ser_pickle, de_pickle,
            t["marshal_ser"] / t["zq_ser"], t["marshal_de"] / t["zq_de"]))
        if ser_pickle < SERIALIZE_GOAL:
            misses.append("%s: serialize %.2fx pickle (goal %.1fx)" % (name, ser_pickle, SERIALIZE_GOAL))
        if de_pickle < DESERIALIZE_GOAL:
            misses.append("%s: deserialize %.2fx pickle (goal %.1fx)" % (name, de_pickle, DESERIALIZE_GOAL))
    print()
    print("goals met" if not misses else "below goal:\n  " + "\n  ".join(misses))


if __name__ == "__main__":
    main()
