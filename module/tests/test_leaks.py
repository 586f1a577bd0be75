"""Repeated calls, successful and failing, must not grow the interpreter's allocations or the
process's resident memory."""

import sys
import unittest

from duvevodavid._zqobjects import DMPContainer, ITPContainer, STPContainer
from duvevodavid import _zqobjects as zq
from support import ROUNDS, GrowthTestCase, Unprintable, each_raises, ignored_unraisable, nested

PAYLOAD = {"id": 1, "name": "entry", "items": list(range(50)), "blob": b"x" * 300, "nested": [{"a": [1.5, None]}]}
STP = STPContainer(PAYLOAD, 3, (1, 0, 0, 1))
STP_BYTES = STP.serialize()
ITP = ITPContainer("html", b"<p>" * 100, 1)
ITP_BYTES = ITP.serialize()
DMP = DMPContainer("schema", PAYLOAD, 2, None, 7)
DMP_BYTES = DMP.serialize()


def growing_dict():
    class Key(str):
        def __str__(self):
            table["more"] = 1
            return "k"

    table = {Key("k"): list(range(20))}
    return table


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
    lambda: STPContainer(["wide"] * 100 + [nested(513, [])]),
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
    each_raises(FAILURES, (TypeError, ValueError, OverflowError, RuntimeError, UnicodeEncodeError, NotImplementedError))


def unprintable():
    STPContainer([Unprintable("x")])


class LeakTest(GrowthTestCase):
    BLOCK_SLACK = 50
    RSS_SLACK = 512 * 1024

    def test_successful_calls(self):
        self.assert_no_growth(successes)

    def test_failing_calls(self):
        self.assert_no_growth(failures, ROUNDS // 4)

    def test_unraisable_text(self):
        with ignored_unraisable():
            self.assert_no_growth(unprintable)

    def test_arguments_keep_their_reference_counts(self):
        payload = [Unprintable("x"), "text", [1, 2], {"k": b"v"}]
        blob = bytes(STP_BYTES)
        counts = [sys.getrefcount(item) for item in payload] + [sys.getrefcount(payload), sys.getrefcount(blob)]
        with ignored_unraisable():
            for _ in range(1000):
                STPContainer(payload).serialize()
                STPContainer.deserialize(blob).payload
        self.assertEqual([sys.getrefcount(item) for item in payload] + [sys.getrefcount(payload),
                                                                         sys.getrefcount(blob)], counts)


MATCHER = zq.DomainMatcher()
COMPILED = MATCHER.compile("**.svc.*")
PATTERNS = ["a.b", "*.c.d", "**.e", "x.*"]


def domain_and_identifier_successes():
    MATCHER.match("*.a.b", "x.a.b")
    MATCHER.compile("*.a.b").match("x.a.b")
    MATCHER.match_compiled(COMPILED, "api.svc.x")
    zq.DomainMatcherList(PATTERNS).match_any("q.c.d")
    zq.DomainMatcherDict({"a.b": 1, "*.b": 2}).match("c.b")
    zq.ZQDomain.isSys("a.zq")
    zq.ZQDomain.isCore("score")
    obj = zq.VORNObject(2500)
    obj.objectId(8)
    obj.fromBytes(obj.toBytes())
    zq.VORNObject.fromBytesMaxShort(obj.toBytesMaxShort())
    zq.VORNObject.fromObjectID(5, 9).vornid
    zq._core_tables()


class _Clearing:
    def __init__(self, table):
        self.table = table

    def __index__(self):
        self.table.clear()
        return 1


def _changing_dict():
    table = {"*.a": 1}
    table["b"] = _Clearing(table)
    return table


DOMAIN_AND_IDENTIFIER_FAILURES = [
    lambda: MATCHER.match("*", 5),
    lambda: MATCHER.match_compiled("*", "x"),
    lambda: zq.DomainMatcherList(["a", 5]),
    lambda: zq.DomainMatcherList("abc"),
    lambda: zq.DomainMatcherDict({"a": 1.5}),
    lambda: zq.DomainMatcherDict({5: 1}),
    lambda: zq.DomainMatcherDict([("a", 1)]),
    lambda: zq.DomainMatcherDict({"a": 2 ** 63}),
    lambda: zq.VORNObject(2500).objectId(9),
    lambda: zq.VORNObject(2500).objectId(-1),
    lambda: zq.VORNObject.fromObjectID(1, 3),
    lambda: zq.VORNObject.fromObjectID(-2001, 8),
    lambda: zq.VORNObject.fromBytesMaxShort(b"\x01" + bytes(8)),
    lambda: zq.VORNObject(1).fromBytes(bytearray(2)),
    lambda: zq.VORNObject(-1),
]


def domain_and_identifier_failures():
    each_raises(DOMAIN_AND_IDENTIFIER_FAILURES, (TypeError, OverflowError, KeyError, Exception))
    zq.DomainMatcherDict(_changing_dict()).match("x.a")


class DomainAndIdentifierLeakTest(GrowthTestCase):
    BLOCK_SLACK = 50
    RSS_SLACK = 512 * 1024

    def test_successful_calls(self):
        self.assert_no_growth(domain_and_identifier_successes)

    def test_failing_calls(self):
        self.assert_no_growth(domain_and_identifier_failures, ROUNDS // 4)


if __name__ == "__main__":
    unittest.main()
