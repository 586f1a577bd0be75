"""Repeated calls, successful and failing, must not grow the interpreter's allocations or the
process's resident memory."""

import collections.abc
import itertools
import sys
import unittest

from duvevodavid import _zqobjects as zq
from duvevodavid._zqobjects import (CommandObject, DMPContainer, FATManifestContainer, ITPContainer,
                                    STPContainer, TempDataObject, Url, VFSDContainer, ZQRequest, ZQResponse)
import duvevodavid.net.zqTransportProtocolParser as transport_parser
from support import ROUNDS, GrowthTestCase, Unprintable, each_raises, ignored_unraisable, nested

PAYLOAD = {"id": 1, "name": "entry", "items": list(range(50)), "blob": b"x" * 300, "nested": [{"a": [1.5, None]}]}
STP = STPContainer(PAYLOAD, 3, (1, 0, 0, 1))
STP_BYTES = STP.serialize()
ITP = ITPContainer("html", b"<p>" * 100, 1)
ITP_BYTES = ITP.serialize()
DMP = DMPContainer("schema", PAYLOAD, 2, None, 7)
DMP_BYTES = DMP.serialize()
COMMANDS = [CommandObject(v) for v in (True, 200, "zq:transport:5", b"\xffok", "a\ud800")]


class AngryEq:
    def __eq__(self, other):
        raise ValueError("eq")


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
    for command in COMMANDS:
        command.value, command.ok, bool(command), str(command), repr(command)
        command == 200, command != CommandObject(b"\xffok"), command == "zq:transport:5"
        command.is_(["transport", "ReceiveTimeout"]), command.is_(("zq",)), command.is_([])


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
    lambda: CommandObject(1.5),
    lambda: CommandObject(-1),
    lambda: CommandObject(2**64),
    lambda: CommandObject(),
    lambda: COMMANDS[2].is_("transport"),
    lambda: COMMANDS[2].is_(["transport", 5]),
    lambda: COMMANDS[2].is_(["\ud800"]),
    lambda: hash(COMMANDS[0]),
    lambda: COMMANDS[0] < COMMANDS[1],
    lambda: COMMANDS[1] == AngryEq(),
]


def failures():
    each_raises(FAILURES, (TypeError, ValueError, OverflowError, RuntimeError, UnicodeEncodeError, NotImplementedError))


def unprintable():
    STPContainer([Unprintable("x")])
    CommandObject(Unprintable("x"))


FRAMES = [(1, "f", bytes(32), 5, None), [2, "g", list(range(32)), 6, b"body" * 20]]
VFSD_BYTES = VFSDContainer("dir", FRAMES, 1, compression_info=(1, 0, 0, 0)).serialize()
FAT_BYTES = FATManifestContainer(4096, 1024, 2, bytes(range(64)), bytes(16)).serialize()
FAT_WITHOUT_PARTS = bytes.fromhex("0004000040644400000000")


def payload_successes():
    VFSDContainer("dir", FRAMES, count=2).serialize()
    VFSDContainer.deserialize(VFSD_BYTES).frames
    FATManifestContainer.deserialize(FAT_BYTES).parts_abs_ids
    FATManifestContainer(4096, 1024, 2, list(range(64))).checksum
    for data in (STP_BYTES, ITP_BYTES, DMP_BYTES, VFSD_BYTES, FAT_BYTES, FAT_WITHOUT_PARTS):
        holder = TempDataObject(data)
        holder.container
        holder.container
        holder.serialize()
        TempDataObject.deserialize(bytearray(data), True).serialize()
    holder = TempDataObject(STP)
    holder.setContainer(list(b"raw"))
    holder.setContainer(VFSDContainer("d"))
    holder.serialize()
    TempDataObject.STP(PAYLOAD).serialize()
    TempDataObject.ITP("html", b"x" * 100).container
    TempDataObject.VFSD("d", iter(FRAMES)).serialize()
    TempDataObject.FATManifest(4096, 1024, 2, bytes(64)).container.parts_abs_ids
    TempDataObject.DMP("s", PAYLOAD).serialize()


class Severe(collections.abc.Sequence):
    def __len__(self):
        raise KeyboardInterrupt

    def __getitem__(self, i):
        raise IndexError(i)


PAYLOAD_FAILURES = [
    lambda: VFSDContainer(5),
    lambda: VFSDContainer("d", 5),
    lambda: VFSDContainer("d", [FRAMES[0], (1, "f")]),
    lambda: VFSDContainer("d", [itertools.count()]),
    lambda: VFSDContainer("d", [(70000, "f", bytes(32), 0, None)]),
    lambda: VFSDContainer("d", [(1, "f", bytes(31), 0, None)]),
    lambda: VFSDContainer("d", [(1, "f", bytes(32), 0, "text")]),
    lambda: VFSDContainer("d", FRAMES, count=5).serialize(),
    lambda: VFSDContainer.deserialize(VFSD_BYTES[:-2]),
    lambda: FATManifestContainer(1, 1024, 1, checksum=bytes(15)),
    lambda: FATManifestContainer(1, 1000, 1),
    lambda: FATManifestContainer(1, 1024, 1, bytes(33)),
    lambda: FATManifestContainer(1, 1024, 0).serialize(),
    lambda: TempDataObject("text"),
    lambda: TempDataObject([1, 2, 300]),
    lambda: TempDataObject(b"junk").container,
    lambda: TempDataObject(b"junk").setContainer(None),
    lambda: TempDataObject.deserialize(b"junk", True),
    lambda: TempDataObject.deserialize("text"),
    lambda: TempDataObject.ITP("html", None),
    lambda: TempDataObject.STP([object()]),
    lambda: TempDataObject.DMP("", PAYLOAD),
    lambda: TempDataObject.VFSD("d", [[1]]),
    lambda: TempDataObject.FATManifest(1, 1024, 1, bytes(33)),
    lambda: TempDataObject.VFSD("d", count=1).serialize(),
]


def payload_failures():
    each_raises(PAYLOAD_FAILURES, (TypeError, ValueError, OverflowError))
    each_raises([lambda: TempDataObject(Severe())], KeyboardInterrupt)


MESSAGE_URL = Url("t~r~zq://h:80/p?a=1&b=x#f")
COOKIES = {"zq": {"origin": "o"}, b"k": [1, 2.5], 3: None}
REQUEST_BYTES = ZQRequest("post", MESSAGE_URL, PAYLOAD, COOKIES).serialize()
RESPONSE_BYTES = ZQResponse("ok", PAYLOAD, COOKIES).serialize()


class AnswerResponse(ZQResponse):
    pass


def message_successes():
    r = ZQRequest("get", MESSAGE_URL, PAYLOAD, COOKIES, "tcp", None, "origin", 5)
    r.serialize(), r.serializeHeader(1), repr(r), r.url, r.cookies, r.origin, r.tdo, r.payload, r.payloadSize
    r.setUrl(MESSAGE_URL), r.setMethod("put"), r.setRoute(), r.setTransport("t"), r.setCookies({"a": [1]})
    r.cookies = COOKIES
    r.transportObject
    read = ZQRequest.deserialize(REQUEST_BYTES)
    read.payload, read.payload, read.cookies, read.url, read.serialize()
    response = AnswerResponse(b"\xff", TempDataObject(STP), {"c": 1})
    response.extra = [1]
    response.serialize(), response.command, response.payload, response.tdo
    read = ZQResponse.deserialize(RESPONSE_BYTES)
    read.payload, read.cookies, read.command, read.serializeHeader(), read.payloadSize
    ZQResponse.deserialize(b"\x02").hasPayload


def raising_parser(token):
    raise LookupError(token)


def reentrant_parser(token):
    REENTERED.setMethod(token)


REENTERED = ZQRequest("get", MESSAGE_URL)
MESSAGE_FAILURES = [
    lambda: ZQRequest(1, MESSAGE_URL),
    lambda: ZQRequest("get", "zq://h/"),
    lambda: ZQRequest("get", MESSAGE_URL, object()),
    lambda: ZQRequest("get", MESSAGE_URL, cookies={"k": [object()]}),
    lambda: ZQRequest("get", MESSAGE_URL, payloadSize=1.5),
    lambda: ZQRequest("get", MESSAGE_URL, STPContainer(1)),
    lambda: ZQRequest("get", MESSAGE_URL).serialize(4),
    lambda: ZQRequest("get", MESSAGE_URL).serialize(256),
    lambda: ZQRequest("get", MESSAGE_URL, transport="t" * 300).serialize(),
    lambda: ZQRequest("get", MESSAGE_URL).setCookies({"k": object()}),
    lambda: ZQRequest("get", MESSAGE_URL).setUrl(None),
    lambda: ZQRequest.deserialize(REQUEST_BYTES + b"\x00"),
    lambda: ZQRequest.deserialize(REQUEST_BYTES[:-1]),
    lambda: ZQRequest.deserialize(bytes.fromhex("25 02 01 00 03 61 62 63")),
    lambda: ZQRequest.deserialize(bytearray(REQUEST_BYTES)),
    lambda: ZQRequest.deserialize(ZQRequest("get", MESSAGE_URL, TempDataObject(b"\xff")).serialize()).payload,
    lambda: ZQResponse(CommandObject(1)),
    lambda: ZQResponse(-1),
    lambda: ZQResponse(1, object()),
    lambda: ZQResponse(1, cookies=[]),
    lambda: ZQResponse(2**62).serialize(),
    lambda: ZQResponse.deserialize(RESPONSE_BYTES + b"\x00"),
    lambda: ZQResponse.deserialize(bytes([0x22, 0xff, 0xfe])),
]


def message_failures():
    each_raises(MESSAGE_FAILURES, (TypeError, ValueError, OverflowError))
    saved = transport_parser.parse_zq_protocol
    try:
        transport_parser.parse_zq_protocol = raising_parser
        each_raises([lambda: REENTERED.transportObject], LookupError)
        transport_parser.parse_zq_protocol = reentrant_parser
        each_raises([lambda: REENTERED.transportObject], RuntimeError)
    finally:
        transport_parser.parse_zq_protocol = saved


class LeakTest(GrowthTestCase):
    BLOCK_SLACK = 50
    RSS_SLACK = 512 * 1024

    def test_successful_calls(self):
        self.assert_no_growth(successes)

    def test_failing_calls(self):
        self.assert_no_growth(failures, ROUNDS // 4)

    def test_payload_successes(self):
        self.assert_no_growth(payload_successes)

    def test_payload_failures(self):
        self.assert_no_growth(payload_failures)

    def test_message_successes(self):
        self.assert_no_growth(message_successes)

    def test_message_failures(self):
        self.assert_no_growth(message_failures)

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
