"""The CommandObject class: conversion of the constructor's value, the success rule, the text
forms, comparison by value without hashing or ordering, the registry test, misbehaving values
and the type object."""

import collections.abc
import enum
import inspect
import random
import types
import unittest

from duvevodavid import _zqobjects as m
from duvevodavid._zqobjects import CommandObject
from support import CaughtUnraisable, NotedErrorTestCase

COMMAND_TYPE_ERROR = "Command must be str, int, bool or bytes"


class Status(enum.IntEnum):
    OK = 200
    TEAPOT = 418


class ConstructionTest(NotedErrorTestCase):
    def test_values_by_type(self):
        cases = [
            (True, True), (False, False), (0, 0), (200, 200), (2**64 - 1, 2**64 - 1), (Status.OK, 200),
            ("ok", "ok"), ("", ""), ("zq:app:404", "zq:app:404"), (b"", b""), (b"\x00\xff", b"\x00\xff"),
        ]
        for given, value in cases:
            command = CommandObject(given)
            self.assertEqual(type(command.value), type(value), repr(given))
            self.assertEqual(command.value, value, repr(given))
        self.assertEqual(CommandObject(value=7).value, 7)

    def test_text_ok_stays_text(self):
        command = CommandObject("ok")
        self.assertIs(type(command.value), str)
        self.assertNotEqual(command, CommandObject(True))

    def test_refused_types_have_no_note(self):
        for value in (1.5, 200.0, None, bytearray(b"x"), memoryview(b"x"), CommandObject(1), [1], object()):
            self.assert_raises_noted(lambda: CommandObject(value), TypeError, COMMAND_TYPE_ERROR, None, repr(value))
        for value in (-1, 2**64, -(2**70)):
            self.assert_raises_noted(lambda: CommandObject(value), OverflowError, None, None, repr(value))

    def test_argument_shape(self):
        self.assert_raises_noted(CommandObject, TypeError,
                                 "CommandObject.__new__() missing 1 required positional argument: 'value'", None)
        self.assert_raises_noted(lambda: CommandObject(1, 2), TypeError,
                                 "CommandObject.__new__() takes 1 positional arguments but 2 were given", None)

    def test_subclasses_of_str_bytes_and_int(self):
        class Name(str):
            def __str__(self):
                return "shown"

        class Raw(bytes):
            pass

        self.assertEqual(CommandObject(Name("stored")).value, "shown")
        self.assertEqual(CommandObject(Raw(b"ab")).value, b"ab")
        self.assertIs(type(CommandObject(Raw(b"ab")).value), bytes)
        self.assertIs(type(CommandObject(Status.TEAPOT).value), int)

    def test_lone_surrogates_become_three_replacements_each(self):
        self.assertEqual(CommandObject("a\ud800b").value, "a\ufffd\ufffd\ufffdb")
        self.assertEqual(CommandObject("\udfff\ud800").value, "\ufffd" * 6)

    def test_unprintable_str_subclass(self):
        class Broken(str):
            def __str__(self):
                raise ValueError("cannot print")

        class NotText(str):
            def __str__(self):
                return 5

        for cls, error in ((Broken, ValueError), (NotText, TypeError)):
            with CaughtUnraisable() as caught:
                command = CommandObject(cls("x"))
            self.assertEqual(command.value, "<unprintable %s object>" % cls.__name__)
            self.assertEqual([type(u.exc_value) for u in caught.seen], [error])

    def test_value_is_a_new_object_each_read(self):
        command = CommandObject(b"payload")
        self.assertIsNot(command.value, command.value)


class TruthAndTextTest(unittest.TestCase):
    CASES = [
        # value, truth, str()
        (True, True, "ok"),
        (False, False, "zq:error:false"),
        (200, True, "ok"),
        (201, False, "zq:error:201"),
        (1, False, "zq:error:1"),
        (0, False, "zq:error:0"),
        (2**64 - 1, False, "zq:error:18446744073709551615"),
        ("ok", True, "ok"),
        ("OK", False, "OK"),
        ("200", False, "200"),
        (":ok", True, ":ok"),
        ("ok:", False, "ok:"),
        ("zq:ok", True, "zq:ok"),
        (":200", True, ":200"),
        ("zq:error:200", True, "zq:error:200"),
        ("", False, ""),
        (b"", False, ""),
        (b"\xff", True, "\ufffd"),
        (b"\xffok", True, "\ufffdok"),
        (b"\x00", True, "\x00"),
    ]

    def test_truth_ok_and_text(self):
        for value, truth, text in self.CASES:
            command = CommandObject(value)
            self.assertIs(bool(command), truth, repr(value))
            self.assertIs(command.ok, truth, repr(value))
            self.assertEqual(str(command), text, repr(value))

    def test_repr_shows_the_python_value(self):
        for value in (200, True, False, "zq:app:404", "it's", b"\x00ab", 0):
            self.assertEqual(repr(CommandObject(value)), "CommandObject(%r)" % (value,))
        self.assertEqual(repr(CommandObject(Status.OK)), "CommandObject(200)")

    def test_bytes_text_is_python_replacement_decoding(self):
        rng = random.Random(7)
        samples = [bytes(rng.randrange(256) for _ in range(rng.randrange(12))) for _ in range(2000)]
        samples += [b"\xed\xa0\x80", b"\xf0\x9f\x98", b"\xe0\x80\xaf", b"a\xf1\x80\x80\xe1\x80\xc2b\x80c\x80\xbfd"]
        for data in samples:
            self.assertEqual(str(CommandObject(data)), data.decode("utf-8", "replace"), data)


class ComparisonTest(unittest.TestCase):
    def test_equality_of_python_forms(self):
        equal = [
            (CommandObject(200), 200), (CommandObject(200), 200.0), (CommandObject(True), 1),
            (CommandObject(True), CommandObject(1)), (CommandObject("a"), "a"), (CommandObject(b"a"), b"a"),
            (CommandObject(200), CommandObject(Status.OK)), (CommandObject(False), 0),
        ]
        unequal = [
            (CommandObject("a"), CommandObject(b"a")), (CommandObject("ok"), CommandObject(True)),
            (CommandObject(200), "200"), (CommandObject(b"a"), bytearray(b"b")), (CommandObject(1), None),
        ]
        for a, b in equal:
            self.assertTrue(a == b, (a, b))
            self.assertTrue(b == a, (b, a))
            self.assertFalse(a != b, (a, b))
            self.assertFalse(b != a, (b, a))
        for a, b in unequal:
            self.assertFalse(a == b, (a, b))
            self.assertTrue(a != b, (a, b))

    def test_two_instances_compare_as_their_values_do(self):
        values = [True, False, 0, 1, 2, 200, 2**64 - 1, "", "a", "1", "ok", b"", b"a", b"ok", Status.OK]
        for a in values:
            for b in values:
                self.assertIs(CommandObject(a) == CommandObject(b), a == b, (a, b))
                self.assertIs(CommandObject(a) != CommandObject(b), a != b, (a, b))

    def test_no_hash_and_no_ordering(self):
        command = CommandObject(200)
        self.assertIsNone(CommandObject.__hash__)
        for use in (lambda: hash(command), lambda: {command}, lambda: {command: 1}):
            with self.assertRaises(TypeError):
                use()
        for order in (lambda: command < CommandObject(201), lambda: command <= 200, lambda: command > 1,
                      lambda: command >= "x"):
            with self.assertRaises(TypeError):
                order()

    def test_ordering_falls_back_to_the_other_operand(self):
        class Anything:
            def __gt__(self, other):
                return "reflected"

        self.assertEqual(CommandObject(1) < Anything(), "reflected")

    def test_errors_of_the_partner_propagate(self):
        class Angry:
            def __eq__(self, other):
                raise KeyError("eq")

        class Truthless:
            def __bool__(self):
                raise ZeroDivisionError("bool")

        class Odd:
            def __eq__(self, other):
                return Truthless()

        for partner, error in ((Angry(), KeyError), (Odd(), ZeroDivisionError)):
            for compare in (lambda: CommandObject(1) == partner, lambda: CommandObject(1) != partner):
                with self.assertRaises(error):
                    compare()

    def test_not_equal_is_the_negated_equality(self):
        class OnlyEq:
            def __eq__(self, other):
                return True

            def __ne__(self, other):
                raise AssertionError("!= of the partner is not used")

        self.assertFalse(CommandObject(5) != OnlyEq())


class RegistryTest(NotedErrorTestCase):
    def test_paths(self):
        cases = [
            ("zq:transport:5", ["transport", "ReceiveTimeout"], True),
            ("zq:transport:5", ["transport"], True),
            ("zq:transport:5", [], True),
            ("zq:transport:5", ["transport", "SendTimeout"], False),
            ("zq:zq:tps:dnf", ["zq", "Types"], False),
            ("zq:zq:tps:dnf", ["zq"], True),
            ("zq:app:404", ["NotFound"], True),
            ("zq:app:404", ["app", "NotFound"], True),
            ("zq:app:404", ["app", "Missing"], False),
            ("zq:zq:avl:us", ["zq", "layer"], True),
            ("zq:zq:avl:core:dnscore", ["zq", "availability", "Core", "CoreApi"], True),
            ("zq:transport:5", ["Transport"], False),
            (True, ["ok"], True),
            (1, ["ok"], True),
            (200, ["ok"], False),
            ("ok", ["ok"], False),
            (False, [], False),
            (b"zq:app:404", ["NotFound"], False),
            (b"zq:app:404", [], False),
        ]
        for value, path, matches in cases:
            self.assertIs(CommandObject(value).is_(path), matches, (value, path))

    def test_path_kinds(self):
        class Segments(collections.abc.Sequence):
            def __init__(self, *items):
                self.items = items

            def __len__(self):
                return len(self.items)

            def __getitem__(self, i):
                return self.items[i]

        command = CommandObject("zq:app:404")
        for path in (("app", "NotFound"), ["app", "NotFound"], Segments("app", "NotFound")):
            self.assertTrue(command.is_(path), type(path))
        self.assertTrue(command.is_(path=["NotFound"]))

    def test_refused_paths_carry_the_note(self):
        command = CommandObject("zq:app:404")
        self.assert_raises_noted(lambda: command.is_("NotFound"), TypeError, None, "path")
        self.assert_raises_noted(lambda: command.is_(["app", 404]), TypeError,
                                 "'int' object is not an instance of 'str'", "path")
        self.assert_raises_noted(lambda: command.is_({"app"}), TypeError,
                                 "'set' object is not an instance of 'Sequence'", "path")
        self.assert_raises_noted(lambda: command.is_(None), TypeError, None, "path")
        self.assert_raises_noted(lambda: command.is_(["\ud800"]), UnicodeEncodeError, None, "path")
        self.assert_raises_noted(command.is_, TypeError,
                                 "CommandObject.is_() missing 1 required positional argument: 'path'", None)


class TypeObjectTest(unittest.TestCase):
    def test_names_docstrings_and_members(self):
        self.assertEqual(CommandObject.__module__, "duvevodavid.net.objects")
        self.assertEqual(CommandObject.__qualname__, "CommandObject")
        self.assertEqual(CommandObject.__doc__, "`duvevodavid.net.objects.CommandObject`.")
        self.assertEqual(str(inspect.signature(CommandObject)), "(value)")
        self.assertEqual(CommandObject.is_.__text_signature__, "($self, path)")
        self.assertIn("bool(cmd)", CommandObject.ok.__doc__)
        self.assertIn("список", CommandObject.is_.__doc__)
        properties = [name for name, member in vars(CommandObject).items()
                      if isinstance(member, types.GetSetDescriptorType)]
        self.assertEqual(properties, ["value", "ok"])
        self.assertLess(m.__all__.index("CommandObject"), m.__all__.index("STPContainer"))
        self.assertEqual(m.__all__.index("CommandObject"), m.__all__.index("Url") + 1)

    def test_fixed_value_no_dict_no_subclass(self):
        command = CommandObject(1)
        for name in ("value", "ok"):
            with self.assertRaises(AttributeError):
                setattr(command, name, 2)
        with self.assertRaises(AttributeError):
            command.extra = 1
        self.assertFalse(hasattr(command, "__dict__"))
        with self.assertRaises(TypeError):
            type("Sub", (CommandObject,), {})


if __name__ == "__main__":
    unittest.main()
