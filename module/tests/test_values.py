"""The value bridge, through the payload of STP containers: Python objects to values and back,
the limits of the conversion, and Python code that misbehaves while it is converted."""

import enum
import subprocess
import sys
import textwrap
import unittest

from duvevodavid._zqobjects import DMPContainer, STPContainer
from support import CaughtUnraisable, Unprintable, nested

# A container header of kind STP, version 0, stored plain: the body that follows is one value.
STP_HEADER = b"\x00\x02\x00\x00"


def through_wire(value):
    """The payload after a construction, a serialization and a deserialization."""
    return STPContainer.deserialize(STPContainer(value).serialize()).payload


class Colour(enum.IntEnum):
    RED = 3


class Text(str):
    """A str subclass whose str() is another text."""

    def __str__(self):
        return "replaced"


class NotText(str):
    def __str__(self):
        return 5


class RoundTripTest(unittest.TestCase):
    VALUES = [
        None, True, False, 0, 1, -1, 127, 128, -33, 2**31, -(2**31) - 1, 2**63 - 1, -(2**63), 2**63, 2**64 - 1,
        0.0, -1.5, float("inf"), 1e300, "", "text", "ü€😀", "x" * 70000, b"", b"ab", bytes(range(256)) * 300,
        [], [1, [2, [3]]], {}, {"a": 1, "b": [None, True], "c": {"d": b"e"}}, {1: "a", "1": "b", None: 0},
        {1.5: 2, b"k": 3, True: 4},
    ]

    def test_values_come_back_equal_and_of_the_same_type(self):
        for value in self.VALUES:
            for read in (lambda v: STPContainer(v).payload, through_wire,
                         lambda v: DMPContainer.deserialize(DMPContainer("s", v).serialize()).payload):
                result = read(value)
                self.assertEqual(result, value, repr(value)[:60])
                self.assertIs(type(result), type(value), repr(value)[:60])

    def test_nan_stays_nan(self):
        result = through_wire(float("nan"))
        self.assertNotEqual(result, result)

    def test_conversions_to_other_types(self):
        class Number(int):
            pass

        class Real(float):
            pass

        class Raw(bytes):
            pass

        class Items(list):
            def __iter__(self):
                raise AssertionError("lists are read by index")

        class Mapping(dict):
            def items(self):
                raise AssertionError("dicts are read through the interpreter's iteration")

            __iter__ = keys = values = items

        cases = [
            (Colour.RED, 3, int), (Number(5), 5, int), (Real(2.5), 2.5, float), (Text("x"), "replaced", str),
            (bytearray(b"ab"), b"ab", bytes), (Raw(b"ab"), b"ab", bytes), ((1, [2]), [1, [2]], list),
            (Items([1, 2]), [1, 2], list), (Mapping(a=1), {"a": 1}, dict), ("\ud800", "\ufffd" * 3, str),
            ("a\udc80b\ud83d", "a" + "\ufffd" * 3 + "b" + "\ufffd" * 3, str),
        ]
        for given, expected, expected_type in cases:
            for result in (STPContainer(given).payload, through_wire(given)):
                self.assertEqual(result, expected, repr(given))
                self.assertIs(type(result), expected_type, repr(given))

    def test_map_keys_read_back_many_times(self):
        # Keys of every length around the kept ones, shared and not, non-ASCII, and more keys
        # than there are kept slots.
        keys = ["", "a", "a\x00", "ü", "😀" * 6, "k" * 24, "k" * 25, "k" * 31, "k" * 40]
        keys += ["key%d" % i for i in range(3000)]
        table = {key: i for i, key in enumerate(keys)}
        data = STPContainer(table).serialize()
        for _ in range(3):
            payload = STPContainer.deserialize(data).payload
            self.assertEqual(payload, table)
            self.assertEqual(list(payload), keys)
        nested_maps = [{"id": i, "name": "n%d" % i} for i in range(100)]
        self.assertEqual(through_wire(nested_maps), nested_maps)

    def test_short_keys_are_kept_between_reads(self):
        # One key of each length class the kept slots compare differently (one partial word, a
        # whole one, two overlapping ones, three), each read back as the str kept from before.
        keys = ["", "ab", "abcdefg", "abcdefgh", "abcdefghi", "a" * 16, "b" * 17, "c" * 24]
        data = STPContainer(dict.fromkeys(keys, 0)).serialize()
        first = list(STPContainer.deserialize(data).payload)
        second = list(STPContainer.deserialize(data).payload)
        self.assertEqual(first, keys)
        for a, b in zip(first, second):
            self.assertIs(a, b, repr(a))

    def test_dict_keeps_distinct_keys_in_order(self):
        self.assertEqual(list(through_wire({1: "int", "1": "str"}).items()), [(1, "int"), ("1", "str")])

    def test_every_read_is_a_new_object(self):
        container = STPContainer({"a": [1]})
        first, second = container.payload, container.payload
        self.assertEqual(first, second)
        self.assertIsNot(first, second)
        first["a"].append(2)
        self.assertEqual(container.payload, {"a": [1]})

    def test_arguments_are_copied(self):
        payload = {"a": [1, 2]}
        container = STPContainer(payload)
        payload["a"].append(3)
        payload["b"] = 4
        self.assertEqual(container.payload, {"a": [1, 2]})


class RefusedObjectsTest(unittest.TestCase):
    UNSUPPORTED = [(object(), "object"), ({1, 2}, "set"), (memoryview(b"ab"), "memoryview"),
                   (frozenset(), "frozenset"), (1j, "complex"), (STPContainer(1), "STPContainer"),
                   (sys, "module"), ([1, {"k": {2}}], "set")]

    def test_unsupported_types(self):
        for value, name in self.UNSUPPORTED:
            with self.assertRaises(TypeError) as caught:
                STPContainer(value)
            self.assertEqual(str(caught.exception), "unsupported type for ZQ serialization: " + name)
            self.assertFalse(hasattr(caught.exception, "__notes__"))

    def test_integers_beyond_64_bits(self):
        for value in (2**64, -(2**63) - 1, [0, 2**100], {"k": -(2**70)}):
            with self.assertRaises(OverflowError, msg=value) as caught:
                STPContainer(value)
            self.assertEqual(str(caught.exception), "int exceeds 64-bit msgpack range")

    def test_nesting_limit(self):
        self.assertEqual(STPContainer(nested(512)).payload, nested(512))
        self.assertEqual(STPContainer(nested(512, [])).payload, nested(512, []))
        for value in (nested(513), nested(512, [0]), nested(511, {"k": [1]}), nested(600, None)):
            with self.assertRaises(ValueError) as caught:
                STPContainer(value)
            self.assertEqual(str(caught.exception), "recursion limit exceeded")

    def test_encoder_limit_is_lower_than_the_bridge_limit(self):
        # The bridge takes a list at depth 512; the encoder writes arrays down to depth 511 only.
        deep = STPContainer(nested(512, []))
        with self.assertRaises(ValueError) as caught:
            deep.serialize()
        self.assertEqual(str(caught.exception), "invalid wire data: bad msgpack payload")
        self.assertEqual(through_wire(nested(512)), nested(512))


class MisbehavingObjectsTest(unittest.TestCase):
    def test_str_subclass_that_cannot_print(self):
        for cls, error in ((Unprintable, ValueError), (NotText, TypeError)):
            with CaughtUnraisable() as caught:
                payload = STPContainer([cls("x"), 1]).payload
            self.assertEqual(payload, ["<unprintable %s object>" % cls.__name__, 1])
            self.assertEqual(len(caught.seen), 1)
            self.assertIsInstance(caught.seen[0].exc_value, error)

    def test_list_shortened_while_converted(self):
        items = []

        class Shrinking(str):
            def __str__(self):
                del items[1:]
                return "first"

        items.extend([Shrinking(), 1, 2, 3])
        self.assertEqual(STPContainer(items).payload, ["first"])

    def test_list_grown_while_converted(self):
        items = []

        class Growing(str):
            def __str__(self):
                items.extend(range(100))
                return "first"

        items.extend([Growing(), 1])
        self.assertEqual(STPContainer(items).payload, ["first", 1])

    def test_item_dropped_by_its_own_conversion(self):
        items = []

        class Dropping(str):
            def __str__(self):
                items.clear()
                return str.__str__(self) + "!"

        items.append(Dropping("gone"))
        self.assertEqual(STPContainer(items).payload, ["gone!"])

    def test_dict_changed_while_converted(self):
        def keys_that(mutate):
            class Key(str):
                def __str__(self):
                    mutate(table)
                    return str.__str__(self)

            table = {"a": 1, Key("b"): 2}
            return table

        def grow(d):
            d["c"] = 3

        def swap(d):
            del d["a"]
            d["z"] = 9

        for mutate, message in ((grow, "dictionary changed size during iteration"),
                                (swap, "dictionary keys changed during iteration")):
            with self.assertRaises(RuntimeError) as caught:
                STPContainer({"outer": keys_that(mutate)})
            self.assertEqual(str(caught.exception), message)

    def test_dict_value_replaced_while_its_key_converts(self):
        table = {}

        class Key(str):
            def __str__(self):
                table[self] = ["new"]  # drops the old value while it waits to be converted
                return "k"

        table[Key("k")] = ["old" * 10]
        self.assertEqual(STPContainer(table).payload, {"k": ["old" * 10]})

    def test_long_items_dropped_after_they_were_read(self):
        # Long byte strings and texts are copied only once the whole payload is converted; a
        # later item's conversion drops the only other reference to them. One text holds a
        # lone surrogate, so that it converts through a repaired copy.
        items = []
        table = {}

        class Dropping(str):
            def __str__(self):
                items.clear()
                table.clear()
                return "dropped"

        cases = [  # (a new long item made from n, what it reads back as)
            (lambda n: bytes([n]) * 10000, lambda n: bytes([n]) * 10000),
            (lambda n: chr(0x40 + n) * 10000, lambda n: chr(0x40 + n) * 10000),
            (lambda n: "\ud800" + chr(0xe0 + n) * 5000, lambda n: "\ufffd" * 3 + chr(0xe0 + n) * 5000),
        ]
        for make, read_back in cases:
            items[:] = [make(1), Dropping(), make(9)]
            self.assertEqual(STPContainer([items, "end"]).payload, [[read_back(1), "dropped"], "end"])
            table["a"] = make(2)
            self.assertEqual(STPContainer([table, [Dropping()]]).payload, [{"a": read_back(2)}, ["dropped"]])

    def test_list_cut_below_its_announced_length(self):
        # 20 items announced, 2 converted: the array's head shrinks and the long byte strings
        # inside and after it move with it.
        inner = []

        class Cutting(str):
            def __str__(self):
                del inner[2:]
                return "cut"

        long_bytes = bytes(range(256)) * 20
        inner.extend([long_bytes, Cutting()] + list(range(18)))
        payload = [inner, long_bytes, {"k": long_bytes}]
        expected = [[long_bytes, "cut"], long_bytes, {"k": long_bytes}]
        self.assertEqual(STPContainer(payload).payload, expected)
        self.assertEqual(through_wire([[long_bytes, Cutting()] + list(range(18)), long_bytes])[1], long_bytes)

    def test_failure_deep_inside_leaves_arguments_alone(self):
        item = Text("x")
        payload = [[item] * 50, {"a": [item, object()]}]
        before = sys.getrefcount(item)
        for _ in range(100):
            with self.assertRaises(TypeError):
                STPContainer(payload)
        self.assertEqual(sys.getrefcount(item), before)


class WireValuesTest(unittest.TestCase):
    """Values only a decoded container can hold."""

    def payload_of(self, body):
        return STPContainer.deserialize(STP_HEADER + body).payload

    def test_map_with_equal_keys_keeps_the_first_position_and_the_last_value(self):
        payload = self.payload_of(bytes.fromhex("83 a161 01 a162 02 a161 03"))
        self.assertEqual(list(payload.items()), [("a", 3), ("b", 2)])

    def test_unsigned_integers(self):
        self.assertEqual(self.payload_of(bytes.fromhex("cf ffffffffffffffff")), 2**64 - 1)
        self.assertEqual(self.payload_of(bytes.fromhex("cf 0000000000000001")), 1)

    def test_values_without_a_python_form(self):
        cases = [
            ("81 91 01 02", TypeError, None),  # an array as a map key is unhashable
            ("81 80 01", TypeError, None),
            ("91 d6ff 00000000", NotImplementedError, "datetime/Timestamp payload not yet supported by zqpyobjects"),
            ("82 a161 01 a162 d405 00", NotImplementedError, "msgpack ExtType payload not yet supported by zqpyobjects"),
        ]
        for body, exc_type, message in cases:
            container = STPContainer.deserialize(STP_HEADER + bytes.fromhex(body))
            with self.assertRaises(exc_type, msg=body) as caught:
                container.payload
            if message:
                self.assertEqual(str(caught.exception), message)

    def test_ext_types_read_as_bytes(self):
        self.assertEqual(self.payload_of(bytes.fromhex("d411 7a")), b"z")


class DecodedSizeTest(unittest.TestCase):
    """What a decoded payload costs: about the bytes of its encoding, however many items."""

    # The peak resident size of the measuring process itself (a child's ru_maxrss starts from
    # its parent's), before and after the decodes.
    MEASURE = textwrap.dedent("""
        import sys
        from duvevodavid._zqobjects import STPContainer, TempDataObject

        def peak():
            with open("/proc/self/status") as status:
                return next(int(line.split()[1]) * 1024 for line in status if line.startswith("VmHWM:"))

        data = sys.stdin.buffer.read()
        before = peak()
        kept = [STPContainer.deserialize(data), TempDataObject.deserialize(data, True)]
        print(peak() - before)
    """)

    def test_small_compressed_body_of_many_items(self):
        # 16 MiB of nils compress to well under a kilobyte; decoded, each nil costs its one byte.
        items = 16 << 20
        data = STPContainer([None] * items, 0, (1, 0, 0, 1)).serialize()
        self.assertLess(len(data), 4096)
        done = subprocess.run([sys.executable, "-c", self.MEASURE], input=data, capture_output=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        # Two decoded copies and the inflated body: about 48 MiB, where a value per item took
        # over a gigabyte.
        self.assertLess(int(done.stdout), 160 << 20)


if __name__ == "__main__":
    unittest.main()
