"""Cost per decoded item of large STP bodies, against msgspec's MessagePack decoder of the same
body, measured in the same run.

Run with the built module and msgspec on the path (without msgspec only the container's own
figures are printed):
    PY=$(scripts/find_pythons.sh | head -1)
    d=$(../shared/peers/build-msgspec.sh)
    PYTHONPATH="build/python:$d" "$PY" bench/large_array_python_bench.py

For a body holding a 4-million-item array of nils, and one of small ints, stored plain and
zstd-compressed:
- time: STPContainer.deserialize(data).payload per item, as a multiple of msgspec's decode of the
  plain body. Goal: at most 1.5 times.
- memory: the peak resident growth of STPContainer.deserialize(data) alone, each in a fresh
  process, as a multiple of the growth msgspec's decoded result causes. Goal: at most 2 times.
Each measuring process only reads its input from a file, so no freed memory of the input's
making hides the growth.
"""

import subprocess
import sys
import tempfile

from duvevodavid._zqobjects import STPContainer
from timing import best_times

try:
    import msgspec
except ImportError:
    msgspec = None

ITEMS = 4_000_000
TIME_GOAL = 1.5
MEMORY_GOAL = 2.0
# zstd, level code 1: (compressed, pretrained_map, algorithm, level).
COMPRESSED = (1, 0, 0, 1)


def body(case):
    """The MessagePack form of the case's array: a 32-bit count, then one byte per item."""
    items = b"\xc0" * ITEMS if case == "nils" else bytes(range(100)) * (ITEMS // 100)
    return b"\xdd" + ITEMS.to_bytes(4, "big") + items


def container(case, compression):
    """An STP container holding the case's body, stored plain or compressed."""
    header = STPContainer(None).serialize()
    plain = header[:-1] + body(case)  # the nil body replaced
    if compression is None:
        return plain
    return STPContainer(STPContainer.deserialize(plain).payload, 0, compression).serialize()


# The peak resident size of the measuring process itself (VmHWM: a child's ru_maxrss starts from
# its parent's), before and after one decode.
MEASURE_CHILD = r"""
import gc, sys
sys.path[:0] = {path!r}

def peak():
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) * 1024 for line in status if line.startswith("VmHWM:"))

with open({file!r}, "rb") as f:
    data = f.read()
if {what!r} == "zq":
    from duvevodavid._zqobjects import STPContainer
    run = STPContainer.deserialize
else:
    import msgspec
    run = msgspec.msgpack.Decoder().decode
gc.collect()
before = peak()
kept = run(data)
print(peak() - before)
"""


def peak_growth(data, what):
    """Bytes the peak resident size grows by while one decode of `data` runs, in a fresh
    process that reads `data` from a file first."""
    with tempfile.NamedTemporaryFile(suffix=".bin") as f:
        f.write(data)
        f.flush()
        code = MEASURE_CHILD.format(path=sys.path, file=f.name, what=what)
        out = subprocess.run([sys.executable, "-c", code], check=True, capture_output=True, text=True)
    return int(out.stdout)


def main():
    print("Python %s, %d items%s" % (sys.version.split()[0], ITEMS, "" if msgspec else " (msgspec not built)"))
    header = "%-22s %9s %9s %9s | %9s %9s %9s" % (
        "case", "zq ns/it", "ms ns/it", "time x", "zq MiB", "ms MiB", "memory x")
    print(header)
    print("-" * len(header))
    misses = []
    # Until the C allocator keeps blocks of a result's size, each call maps them afresh and
    # faults every page in, which is slow on some virtual machines and depends on what ran
    # before. A first pass over every case settles it; only the second is reported.
    for case in ("nils", "small ints"):
        for compression in (None, COMPRESSED):
            data, plain = container(case, compression), body(case)
            for _ in range(3):
                STPContainer.deserialize(data).payload
                if msgspec:
                    msgspec.msgpack.decode(plain)
    for case in ("nils", "small ints"):
        plain = body(case)
        decoder = msgspec.msgpack.Decoder() if msgspec else None
        msgspec_memory = peak_growth(plain, "msgspec") if msgspec else None
        for compression in (None, COMPRESSED):
            data = container(case, compression)
            if msgspec:
                assert STPContainer.deserialize(data).payload == decoder.decode(plain)
            operations = {"zq": lambda: STPContainer.deserialize(data).payload}
            if msgspec:
                operations["msgspec"] = lambda: decoder.decode(plain)
            for operation in operations.values():
                operation()
            t = best_times(operations, rounds=5, budget=0.3)
            zq_memory = peak_growth(data, "zq")
            name = "%s%s" % (case, " (zstd)" if compression else "")
            line = "%-22s %9.2f" % (name, t["zq"] * 1e9 / ITEMS)
            if msgspec:
                time_ratio = t["zq"] / t["msgspec"]
                memory_ratio = zq_memory / msgspec_memory
                line += " %9.2f %8.2fx | %9.1f %9.1f %8.2fx" % (
                    t["msgspec"] * 1e9 / ITEMS, time_ratio, zq_memory / 2**20, msgspec_memory / 2**20, memory_ratio)
                if time_ratio > TIME_GOAL:
                    misses.append("%s: time %.2fx msgspec's (goal %.1fx)" % (name, time_ratio, TIME_GOAL))
                if memory_ratio > MEMORY_GOAL:
                    misses.append("%s: memory %.2fx msgspec's result (goal %.1fx)" % (name, memory_ratio, MEMORY_GOAL))
            else:
                line += " %9s %9s | %9.1f" % ("-", "-", zq_memory / 2**20)
            print(line)
    print()
    if msgspec:
        print("goals met" if not misses else "below goal:\n  " + "\n  ".join(misses))


if __name__ == "__main__":
    main()
