"""Repeated calls, successful and failing, must not grow the interpreter's allocations or the
process's resident memory."""

import ctypes
import gc
import os
import sys
import unittest

from duvevodavid._zqobjects import DMPContainer, ITPContainer, STPContainer

ROUNDS = 10_000
# Blocks and bytes that come and go with the interpreter's own caches. The resident size only
# shows a native leak once freed heap space is used up; the C allocator's count shows it at once.
BLOCK_SLACK = 50
MALLOC_SLACK = 64 * 1024
RSS_SLACK = 512 * 1024
# Under the sanitizers PYTHONMALLOC=malloc leaves no block count, freed memory waits in a
# quarantine that grows the resident size, and LeakSanitizer checks the native heap instead.
SANITIZED = bool(os.environ.get("ZQ_SANITIZED"))

PAYLOAD = {"id": 1, "name": "entry", "items": list(range(50)), "blob": b"x" * 300, "nested": [{"a": [1.5, None]}]}
STP = STPContainer(PAYLOAD, 3, (1, 0, 0, 1))
STP_BYTES = STP.serialize()
ITP = ITPContainer("html", b"<p>" * 100, 1)
ITP_BYTES = ITP.serialize()
DMP = DMPContainer("schema", PAYLOAD, 2, None, 7)
DMP_BYTES = DMP.serialize()


class Unprintable(str):
    def __str__(self):
        raise ValueError("cannot print")


def nested(depth):
    value = []
    for _ in range(depth):
        value = [value]
    return value


def growing_dict():
    class Key(str):
        def __str__(self):
            table["more"] = 1
            return "k"

    table = {Key("k"): list(range(20))}
    return table


class MallInfo2(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in (
        "arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks", "fordblks", "keepcost")]


def malloc_in_use():
    """Bytes the C allocator has handed out and not taken back (glibc), or None."""
    mallinfo2 = getattr(ctypes.CDLL(None), "mallinfo2", None)
    if mallinfo2 is None or SANITIZED:
        return None
    mallinfo2.restype = MallInfo2
    info = mallinfo2()
    return info.uordblks + info.hblkhd


def rss_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def successes():
    STPContainer(PAYLOAD).serialize()
    STPContainer.deserialize(STP_BYTES).payload
    ITPContainer.deserialize(ITP_BYTES).payload
    ITPContainer("my-type", list(range(200)), 0, (0, 0, 0, 0)).serialize()
    DMPContainer.deserialize(DMP_BYTES).payload
    for container in (STP, ITP, DMP):
        container.compression_info
        container.version if not isinstance(container, ITPContainer) else container.interpretatorVersion
    ITP.interpreterType
    DMP.schema_name


# Each raises; the argument is built anew each time so that a leaked reference shows.
FAILURES = [
    lambda: STPContainer(),
    lambda: STPContainer(1, 2, 3, 4),
    lambda: STPContainer(1, colour=2),
    lambda: STPContainer(1, payload=2),
    lambda: STPContainer([PAYLOAD, [object()]]),
    lambda: STPContainer({"k": [2**70]}),
    lambda: STPContainer(["wide"] * 100 + [nested(513)]),
    lambda: STPContainer(growing_dict()),
    lambda: STPContainer(1, None),
    lambda: STPContainer(1, 0, (1, 2)),
    lambda: STPContainer(1, 0, [1, 2, 3, 4]),
    lambda: STPContainer(1, 0, (0, 0, 0, 300)),
    lambda: STPContainer(1, 2**62).serialize(),
    lambda: STPContainer(PAYLOAD, 0, (1, 0, 0, 9)).serialize(),
    lambda: STPContainer.deserialize(STP_BYTES[:-3]),
    lambda: STPContainer.deserialize(bytearray(STP_BYTES)),
    lambda: ITPContainer("html", "text", 0),
    lambda: ITPContainer("html", [1, 2, 300], 0),
    lambda: ITPContainer(70000, b"abc", 0),
    lambda: ITPContainer(0, b"abc", 0).serialize(),
    lambda: ITPContainer.deserialize(ITP_BYTES[:-1] + b""),
    lambda: DMPContainer("", PAYLOAD),
    lambda: DMPContainer("\ud800", PAYLOAD),
    lambda: DMPContainer("s", PAYLOAD, schema_kind=256),
    lambda: DMPContainer.deserialize(STP_BYTES),
    lambda: STPContainer.deserialize(STP_BYTES[:4] + b"\x91\xd6\xff\x00\x00\x00\x00").payload,
]


def failures():
    for call in FAILURES:
        try:
            call()
        except (TypeError, ValueError, OverflowError, RuntimeError, UnicodeEncodeError, NotImplementedError):
            pass
        else:
            raise AssertionError("expected a failure")


def unprintable():
    STPContainer([Unprintable("x")])


class LeakTest(unittest.TestCase):
    def assert_no_growth(self, work, rounds=ROUNDS):
        for _ in range(rounds // 10):  # warm caches, arenas and free lists
            work()
        gc.collect()
        blocks, in_use, rss = sys.getallocatedblocks(), malloc_in_use(), rss_bytes()
        for _ in range(rounds):
            work()
        gc.collect()
        if not SANITIZED:
            self.assertLess(sys.getallocatedblocks() - blocks, BLOCK_SLACK, "interpreter blocks")
        if in_use is not None:
            self.assertLess(malloc_in_use() - in_use, MALLOC_SLACK, "C heap bytes")
        if not SANITIZED:
            self.assertLess(rss_bytes() - rss, RSS_SLACK, "resident bytes")

    def test_successful_calls(self):
        self.assert_no_growth(successes)

    def test_failing_calls(self):
        self.assert_no_growth(failures, ROUNDS // 4)

    def test_unraisable_text(self):
        saved = sys.unraisablehook
        sys.unraisablehook = lambda unraisable: None
        try:
            self.assert_no_growth(unprintable)
        finally:
            sys.unraisablehook = saved

    def test_arguments_keep_their_reference_counts(self):
        payload = [Unprintable("x"), "text", [1, 2], {"k": b"v"}]
        blob = bytes(STP_BYTES)
        counts = [sys.getrefcount(item) for item in payload] + [sys.getrefcount(payload), sys.getrefcount(blob)]
        saved = sys.unraisablehook
        sys.unraisablehook = lambda unraisable: None
        try:
            for _ in range(1000):
                STPContainer(payload).serialize()
                STPContainer.deserialize(blob).payload
        finally:
            sys.unraisablehook = saved
        self.assertEqual([sys.getrefcount(item) for item in payload] + [sys.getrefcount(payload),
                                                                         sys.getrefcount(blob)], counts)


if __name__ == "__main__":
    unittest.main()
