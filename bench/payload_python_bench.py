"""Python-level speed of the TempDataObject payload holder, against baselines measured in the same
run.

Run with the built module on the path:
    PY=$(scripts/find_pythons.sh | head -1)
    PYTHONPATH=build/python "$PY" bench/payload_python_bench.py

- A never-read 1 MiB payload through deserialize(b) and serialize() costs one copy in and one
  copy out: its time is reported as a multiple of bytearray(b), one copy of the same size
  (bytes(b) would return b itself). Goal: at most 2.2 times.
- The first read of `container` (a fresh holder each time, the making of the holder subtracted)
  and a later read, for a small STP and a 1 MiB ITP container, each as a multiple of the
  container class's own deserialize() of the same bytes.
"""

import os
import sys

from duvevodavid._zqobjects import ITPContainer, STPContainer, TempDataObject
from timing import best_times

MIB = 1 << 20
ROUND_TRIP_GOAL = 2.2


def round_trip():
    data = ITPContainer("blob", os.urandom(MIB - 16), 0).serialize()
    assert TempDataObject.deserialize(data).serialize() == data
    t = best_times({
        "holder": lambda: TempDataObject.deserialize(data).serialize(),
        "bytearray": lambda: bytearray(data),
    })
    ratio = t["holder"] / t["bytearray"]
    print("deserialize+serialize, %d bytes: %8.1f us, bytearray(b) %8.1f us: %.2fx (goal <= %.1fx)" % (
        len(data), t["holder"] * 1e6, t["bytearray"] * 1e6, ratio, ROUND_TRIP_GOAL))
    return ratio <= ROUND_TRIP_GOAL


def reads(name, cls, data):
    held = TempDataObject(data)
    held.container
    t = best_times({
        "make": lambda: TempDataObject(data),
        "make+first": lambda: TempDataObject(data).container,
        "later": lambda: held.container,
        "deserialize": lambda: cls.deserialize(data),
    })
    first = t["make+first"] - t["make"]
    print("%-14s first read %9.2f us (%.2fx deserialize), later read %9.2f us (%.2fx), "
          "deserialize %9.2f us" % (name, first * 1e6, first / t["deserialize"], t["later"] * 1e6,
                                    t["later"] / t["deserialize"], t["deserialize"] * 1e6))


def main():
    print("Python %s" % sys.version.split()[0])
    ok = round_trip()
    reads("small STP", STPContainer, STPContainer({"id": 7, "name": "alpha", "ok": True, "score": 0.5}).serialize())
    reads("1 MiB ITP", ITPContainer, ITPContainer("blob", os.urandom(MIB - 16), 0).serialize())
    if not ok:
        print("MISSED: deserialize+serialize above %.1fx bytearray(b)" % ROUND_TRIP_GOAL)
        sys.exit(1)


if __name__ == "__main__":
    main()
