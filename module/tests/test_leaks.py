"""Repeated calls, successful and failing, must not grow the interpreter's allocations or the
process's resident memory."""

import sys
import unittest

from duvevodavid._zqobjects import CommandObject, DMPContainer, ITPContainer, STPContainer
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


if __name__ == "__main__":
    unittest.main()
