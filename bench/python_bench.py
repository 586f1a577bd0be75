"""Python-level speed of STP containers against pickle, marshal and (when built) msgspec's
MessagePack, measured in the same run.

Run with the built module on the path (msgspec, when built, adds its columns and goals):
    PY=$(scripts/find_pythons.sh | head -1)
    d=$(../shared/peers/build-msgspec.sh)
    PYTHONPATH="build/python:$d" "$PY" bench/python_bench.py

Encoding is STPContainer(value).serialize(), decoding STPContainer.deserialize(data).payload.
Each pickle or marshal figure is how many times faster the container is than the baseline
(higher is better); each msgspec figure is how many times the container's time is msgspec's
encode or decode of the same value (lower is better).
"""

import marshal
import pickle
import sys

from duvevodavid._zqobjects import STPContainer
from timing import best_times

try:
    import msgspec
except ImportError:
    msgspec = None


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
    "cookies-like": {
        "zq": {"origin": "web", "seen": [1, 2, 3]},
        "session": "8f14e45fceea167a5a36dedd4bea2543",
        "lang": "en",
        "prefs": {"theme": "dark", "size": 12, "flags": {"a": True, "b": False}},
    },
}

# Ratios the container must reach against pickle (times faster), and stay within against
# msgspec (times slower).
SERIALIZE_GOAL = 3.0
DESERIALIZE_GOAL = 1.5
MSGSPEC_GOAL = 1.5


def measure(value):
    encoded = STPContainer(value).serialize()
    pickled = pickle.dumps(value)
    marshalled = marshal.dumps(value)
    assert STPContainer.deserialize(encoded).payload == value
    operations = {
        "zq_ser": lambda: STPContainer(value).serialize(),
        "zq_de": lambda: STPContainer.deserialize(encoded).payload,
        "pickle_ser": lambda: pickle.dumps(value),
        "pickle_de": lambda: pickle.loads(pickled),
        "marshal_ser": lambda: marshal.dumps(value),
        "marshal_de": lambda: marshal.loads(marshalled),
    }
    if msgspec:
        encoder = msgspec.msgpack.Encoder()
        decoder = msgspec.msgpack.Decoder()
        body = encoder.encode(value)
        assert decoder.decode(body) == value
        operations["msgspec_ser"] = lambda: encoder.encode(value)
        operations["msgspec_de"] = lambda: decoder.decode(body)
    return best_times(operations)


def main():
    print("Python %s%s" % (sys.version.split()[0], "" if msgspec else " (msgspec not built: its columns are left out)"))
    header = "%-20s %10s %10s | %8s %8s %8s %8s" % ("case", "ser ns", "de ns", "ser/pkl", "de/pkl", "ser/msh", "de/msh")
    if msgspec:
        header += " | %9s %9s" % ("ser:msgsp", "de:msgsp")
    print(header)
    print("-" * len(header))
    misses = []
    for name, value in CASES.items():
        t = measure(value)
        ser_pickle = t["pickle_ser"] / t["zq_ser"]
        de_pickle = t["pickle_de"] / t["zq_de"]
        line = "%-20s %10.0f %10.0f | %7.2fx %7.2fx %7.2fx %7.2fx" % (
            name, t["zq_ser"] * 1e9, t["zq_de"] * 1e9, ser_pickle, de_pickle,
            t["marshal_ser"] / t["zq_ser"], t["marshal_de"] / t["zq_de"])
        if ser_pickle < SERIALIZE_GOAL:
            misses.append("%s: serialize %.2fx faster than pickle (goal %.1fx)" % (name, ser_pickle, SERIALIZE_GOAL))
        if de_pickle < DESERIALIZE_GOAL:
            misses.append("%s: deserialize %.2fx faster than pickle (goal %.1fx)" % (name, de_pickle, DESERIALIZE_GOAL))
        if msgspec:
            ser_msgspec = t["zq_ser"] / t["msgspec_ser"]
            de_msgspec = t["zq_de"] / t["msgspec_de"]
            line += " | %8.2fx %8.2fx" % (ser_msgspec, de_msgspec)
            for what, ratio in (("serialize", ser_msgspec), ("deserialize", de_msgspec)):
                if ratio > MSGSPEC_GOAL:
                    misses.append("%s: %s %.2fx msgspec's time (goal %.1fx)" % (name, what, ratio, MSGSPEC_GOAL))
        print(line)
    print()
    print("goals met" if not misses else "below goal:\n  " + "\n  ".join(misses))


if __name__ == "__main__":
    main()
