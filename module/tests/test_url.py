"""The Url class: construction and setUrl on a live record, the component properties, typed
params in both directions (misbehaving Python values included), the text forms, the static
address helpers, borrow conflicts, float printing against repr(), and leaks."""

import ast
import inspect
import math
import random
import struct
import sys
import types
import unittest
from unittest import mock

from duvevodavid import _zqobjects as m
from duvevodavid._zqobjects import Url
from support import (SANITIZED, CaughtUnraisable, GrowthTestCase, NotedErrorTestCase, Unprintable, each_raises,
                     ignored_unraisable)

ALL_PARTS = ["transport", "route", "scheme", "hostname", "path", "params", "fragment"]


def components(url):
    return {name: getattr(url, name) for name in ALL_PARTS + ["isIp"]}


class ClassTest(NotedErrorTestCase):
    def test_type_object(self):
        self.assertEqual(Url.__module__, "duvevodavid.net.objects")
        self.assertEqual(Url.__qualname__, "Url")
        self.assertEqual(Url.__doc__, "`duvevodavid.net.objects.Url`.")
        self.assertEqual(str(inspect.signature(Url)), "(url=None)")
        signatures = {
            "setUrl": "($self, url)", "build": "($self, parts)", "toString": "($self)",
            "ipv4_with_port_to_ipv6_with_port": "(ipv4)", "ip_and_port_to_ipv6_with_port": "(ip, port)",
            "ip_to_ipv6": "(ip)", "ipv6_with_port_to_ipv6_and_port": "(ipv6)",
        }
        for name, signature in signatures.items():
            self.assertEqual(getattr(Url, name).__text_signature__, signature, name)
        self.assertIn("Url", m.__all__)
        self.assertLess(m.__all__.index("Url"), m.__all__.index("STPContainer"))

    def test_declaration_order(self):
        members = list(vars(Url))
        properties = [name for name in members if isinstance(vars(Url)[name], types.GetSetDescriptorType)]
        self.assertEqual(properties, ["transport", "route", "scheme", "hostname", "path", "fragment", "isIp", "params"])
        methods = [name for name in members if name in ("setUrl", "build", "toString") or name.startswith("ip")]
        self.assertEqual(methods, ["setUrl", "build", "toString", "ipv4_with_port_to_ipv6_with_port",
                                   "ip_and_port_to_ipv6_with_port", "ip_to_ipv6", "ipv6_with_port_to_ipv6_and_port"])

    def test_property_docstrings(self):
        self.assertIn("None", Url.scheme.__doc__)
        self.assertIn("[host]:port", Url.hostname.__doc__)
        self.assertIn("setUrl", Url.hostname.__doc__)
        self.assertIn("ast.literal_eval", Url.params.__doc__)
        for name in ("transport", "route", "path", "fragment", "isIp"):
            self.assertIsNone(getattr(Url, name).__doc__, name)

    def test_object_protocol(self):
        with self.assertRaises(TypeError):
            type("Sub", (Url,), {})
        url = Url("x://h")
        with self.assertRaises(AttributeError):
            url.extra = 1
        self.assertFalse(hasattr(url, "__dict__"))
        self.assertNotEqual(url, Url("x://h"))
        self.assertEqual(hash(url), hash(url))
        self.assertTrue(repr(url).startswith("<duvevodavid.net.objects.Url object at "))


class ConstructionTest(NotedErrorTestCase):
    DEFAULTS = {"transport": None, "route": None, "scheme": None, "hostname": None, "path": "/",
                "params": {}, "fragment": None, "isIp": False}

    def test_defaults(self):
        for label, url in [("no argument", Url()), ("None", Url(None)), ("empty", Url("")), ("keyword", Url(url=None))]:
            self.assertEqual(components(url), self.DEFAULTS, label)
            self.assertEqual(str(url), "zq:///", label)

    def test_parsed(self):
        url = Url("a~b~c://h/p?x=1#f")
        self.assertEqual(components(url), {"transport": "a", "route": "b", "scheme": "c", "hostname": "h",
                                           "path": "/p", "params": {"x": 1}, "fragment": "f", "isIp": False})
        self.assertEqual(str(Url("t~~s://h/x")), "t~~s://h/x")
        self.assertEqual(str(Url("x://h")), "x://h/")
        self.assertEqual(Url("lib://name/x?v=1").path, "name/x")
        self.assertEqual(Url("lib://name/x").hostname, "lib.sys")

    def test_copy_carries_everything_but_is_ip(self):
        source = Url("t~r~s://[::1]:8080/p?a=[1, 2]&b=x#frag")
        self.assertTrue(source.isIp)
        copy = Url(source)
        expected = components(source)
        expected["isIp"] = False
        self.assertEqual(components(copy), expected)
        copy.path = "/other"
        copy.params = {}
        self.assertEqual((source.path, source.params), ("/p", {"a": [1, 2], "b": "x"}))

    def test_parse_errors(self):
        cases = [
            ("h", "Invalid URL: h"),
            ("zq://", "Invalid URL: zq://"),
            ("a~b~c~d://h", "Invalid protocol chain: a~b~c~d"),
            ("x:///p", "Missing hostname in URL: x:///p"),
            ("x://[]/", "Invalid hostname: []"),
            ("x://h:8a", "Invalid hostname: h:8a"),
            ("x://h\x00", "Invalid hostname: h\x00"),
        ]
        for text, message in cases:
            error = self.assert_raises_noted(lambda: Url(text), ValueError, message, None, text)
            self.assertEqual(error.args, (message,), text)

    def test_wrong_types_have_no_note(self):
        cases = [(123, "'int' object is not an instance of 'str'"),
                 (b"x://h", "'bytes' object is not an instance of 'str'")]
        for value, message in cases:
            self.assert_raises_noted(lambda: Url(value), TypeError, message, None, repr(value))
        self.assert_raises_noted(lambda: Url("x://h\ud800"), UnicodeEncodeError, None, None)
        self.assert_raises_noted(lambda: Url("x://h", 1), TypeError,
                                 "Url.__new__() takes from 0 to 1 positional arguments but 2 were given", None)
        self.assert_raises_noted(lambda: Url(link="x://h"), TypeError,
                                 "Url.__new__() got an unexpected keyword argument 'link'", None)


class SetUrlTest(NotedErrorTestCase):
    LIVE = "t~r~s://[::1]:80/old?a=1#frag"

    def live(self):
        url = Url(self.LIVE)
        url.isIp = False
        return url

    def test_text_replaces_components(self):
        url = self.live()
        self.assertIsNone(url.setUrl("x://h/p?b=2"))
        self.assertEqual(components(url), {"transport": None, "route": None, "scheme": "x", "hostname": "h",
                                           "path": "/p", "params": {"b": 2}, "fragment": None, "isIp": False})
        url.setUrl(url="y://[10.0.0.1]")
        self.assertEqual((url.hostname, url.isIp, url.path), ("::ffff:10.0.0.1", True, "/"))

    def test_failure_keeps_what_the_parser_wrote(self):
        untouched = components(self.live())
        # (text, message, the components that are new after the failure)
        cases = [
            ("h", "Invalid URL: h", {}),
            ("", "Invalid URL: ", {}),
            ("a~b~c~d://h", "Invalid protocol chain: a~b~c~d", {}),
            ("x:///p#g", "Missing hostname in URL: x:///p#g",
             {"transport": None, "route": None, "scheme": "x", "path": "/p", "fragment": "g"}),
            ("u~~v://h:x/q", "Invalid hostname: h:x",
             {"transport": "u", "route": None, "scheme": "v", "path": "/q", "fragment": None}),
        ]
        for text, message, replaced in cases:
            url = self.live()
            self.assert_raises_noted(lambda: url.setUrl(text), ValueError, message, None, text)
            self.assertEqual(components(url), {**untouched, **replaced}, text)
            url.path = "/after"  # the exclusive borrow was released
            self.assertEqual(url.path, "/after", text)

    def test_file_url_keeps_the_host(self):
        url = self.live()
        url.setUrl("file:///etc/x")
        self.assertEqual((url.scheme, url.path, url.hostname, url.params), ("file", "/etc/x", "[::1]:80", {}))

    def test_url_argument_keeps_the_receivers_is_ip(self):
        bracketed, plain = Url("x://[::1]/a"), Url("y://h/b?k=v")
        receiver = Url("z://q")
        receiver.setUrl(bracketed)
        self.assertEqual((receiver.hostname, receiver.path, receiver.isIp), ("::1", "/a", False))
        receiver.isIp = True
        receiver.setUrl(plain)
        self.assertEqual(components(receiver), {**components(plain), "isIp": True})
        receiver.params = {"changed": 1}
        self.assertEqual(plain.params, {"k": "v"})

    def test_wrong_types_have_no_note(self):
        url = self.live()
        for value in (None, 5, b"x://h"):
            self.assert_raises_noted(lambda: url.setUrl(value), TypeError, None, None, repr(value))
        self.assert_raises_noted(lambda: url.setUrl(), TypeError,
                                 "Url.setUrl() missing 1 required positional argument: 'url'", None)
        self.assertEqual(str(url), str(self.live()))


class PropertiesTest(NotedErrorTestCase):
    def test_optional_texts(self):
        # (property, value assigned, value read back)
        cases = [
            ("transport", "t", "t"), ("transport", "", ""), ("transport", None, None),
            ("route", "r", "r"), ("route", "", ""), ("route", None, None),
            ("fragment", "f", "f"), ("fragment", "", ""), ("fragment", None, None),
            ("scheme", "s", "s"), ("scheme", "", None), ("scheme", None, None),
            ("path", "no/slash", "no/slash"), ("path", "", ""),
        ]
        for name, value, expected in cases:
            url = Url("a~b~c://h/p#x")
            setattr(url, name, value)
            self.assertEqual(getattr(url, name), expected, (name, value))

    def test_stored_unchanged_and_printed(self):
        url = Url()
        url.scheme, url.path, url.fragment = "s", "/a b?c", ""
        self.assertEqual(str(url), "s:///a b?c#")
        url.transport, url.route = "t", ""
        self.assertEqual(url.build(["scheme"]), "t~~s://")
        url.scheme = None
        self.assertEqual(url.build(["scheme"]), "t~~://")
        self.assertEqual(url.transport, "t")

    def test_str_subclass_is_stored_as_its_text(self):
        class Name(str):
            def __str__(self):
                return "other"

        url = Url()
        url.path = Name("/mine")
        self.assertEqual(url.path, "/mine")
        self.assertIs(type(url.path), str)

    def test_hostname(self):
        cases = [("x://h:80", "[::ffff:h]:80", False), ("x://[::1]:8080/p", "[::1]:8080", True),
                 ("x://host", "host", False), ("x://[10.0.0.1]", "::ffff:10.0.0.1", True),
                 ("x://h:18446744073709551615", "[::ffff:h]:18446744073709551615", False)]
        for text, hostname, is_ip in cases:
            url = Url(text)
            self.assertEqual((url.hostname, url.isIp), (hostname, is_ip), text)
            url.isIp = not is_ip
            self.assertEqual(url.hostname, hostname, text)
        with self.assertRaises(AttributeError):
            Url().hostname = "h"
        with self.assertRaises(AttributeError):
            del Url().hostname

    def test_is_ip_changes_only_the_flag(self):
        url = Url("x://h/p")
        url.isIp = True
        self.assertEqual((url.isIp, url.hostname, str(url)), (True, "h", "x://[h]/p"))
        url.isIp = False
        self.assertEqual(str(url), "x://h/p")

    def test_refused_values(self):
        # (property, value, exception, message or None for the interpreter's own, note)
        cases = [
            ("path", None, TypeError, "'None' is not an instance of 'str'", "v"),
            ("path", 5, TypeError, "'int' object is not an instance of 'str'", "v"),
            ("path", "/\ud800", UnicodeEncodeError, None, "v"),
            ("transport", 5, TypeError, "'int' object is not an instance of 'str'", "v"),
            ("route", b"r", TypeError, "'bytes' object is not an instance of 'str'", "v"),
            ("scheme", 1.5, TypeError, "'float' object is not an instance of 'str'", "v"),
            ("fragment", ["f"], TypeError, "'list' object is not an instance of 'str'", "v"),
            ("isIp", 1, TypeError, "'int' object is not an instance of 'bool'", "v"),
            ("isIp", None, TypeError, "'None' is not an instance of 'bool'", "v"),
            ("params", None, TypeError, "'None' is not an instance of 'dict'", "value"),
            ("params", [("a", 1)], TypeError, "'list' object is not an instance of 'dict'", "value"),
        ]
        for name, value, exc_type, message, note in cases:
            url = Url("a~b~c://h/p?k=1#f")
            before = components(url)
            self.assert_raises_noted(lambda: setattr(url, name, value), exc_type, message, note, (name, value))
            self.assertEqual(components(url), before, (name, value))

    def test_delete_refused(self):
        for name in ("transport", "route", "scheme", "path", "fragment", "isIp", "params"):
            url = Url("x://h")
            with self.assertRaises(AttributeError, msg=name) as caught:
                delattr(url, name)
            self.assertEqual(str(caught.exception), "property has no deleter", name)


class Other(str):
    def __str__(self):
        return "other text"


class BadRepr:
    def __repr__(self):
        raise ValueError("no repr")


class LoneSurrogateRepr:
    def __repr__(self):
        return "a\ud800"


class BigUnprintableInt(int):
    def __str__(self):
        raise ValueError("no digits")


class ParamsReadTest(NotedErrorTestCase):
    def test_typed_values(self):
        url = Url("x://h?a=1&b=1.5&c=True&d&e=abc&f=[1, 2]&g={1: 'x'}&h=(x)&i=99999999999999999999&j='q'")
        expected = {"a": 1, "b": 1.5, "c": True, "d": None, "e": "abc", "f": [1, 2], "g": {1: "x"},
                    "h": "(x)", "i": 99999999999999999999, "j": "q"}
        params = url.params
        self.assertEqual(params, expected)
        self.assertEqual(list(params), list(expected))
        for key, value in expected.items():
            self.assertIs(type(params[key]), type(value), key)
        self.assertIsNot(url.params, params)

    def test_names_read_back_many_times(self):
        # Names of every length around the kept ones, non-ASCII, and more names than there are
        # kept slots, read from the record and from the text, again and again.
        names = ["", "a", "a\x00", "ü", "😀" * 6, "k" * 24, "k" * 25, "k" * 40]
        names += ["name%d" % i for i in range(3000)]
        url = Url("x://h")
        url.params = {name: i for i, name in enumerate(names)}
        for _ in range(3):
            for params in (url.params, Url(str(url)).params):
                self.assertEqual(list(params.items()), [(name, i) for i, name in enumerate(names)])

    def test_literal_eval_is_looked_up_on_every_read(self):
        url = Url("x://h?a=[1]&b=2")
        with mock.patch.object(ast, "literal_eval", lambda text: ("patched", text)):
            self.assertEqual(url.params, {"a": ("patched", "[1]"), "b": 2})
        self.assertEqual(url.params, {"a": [1], "b": 2})

    def test_failed_import_or_lookup_raises(self):
        url = Url("x://h?a=[1]")
        with mock.patch.dict(sys.modules, {"ast": None}):
            with self.assertRaises(ImportError):
                url.params
            self.assertEqual(Url("x://h?b=2").params, {"b": 2})  # no Literal, no import
        saved = ast.literal_eval
        del ast.literal_eval
        try:
            with self.assertRaises(AttributeError):
                url.params
        finally:
            ast.literal_eval = saved
        self.assertEqual(url.params, {"a": [1]})

    def test_any_evaluation_error_gives_the_text(self):
        def failing(text):
            raise KeyError(text)

        url = Url("x://h?a=[1]")
        with mock.patch.object(ast, "literal_eval", failing):
            self.assertEqual(url.params, {"a": "[1]"})


class ParamsWriteTest(NotedErrorTestCase):
    def test_conversion_table(self):
        import decimal
        import enum

        class Colour(enum.IntEnum):
            RED = 3

        class Real(float):
            pass

        probe = object()
        # (value, value read back, text printed)
        cases = [
            (None, None, "k"),
            (True, True, "k=True"),
            (False, False, "k=False"),
            (0, 0, "k=0"),
            (-2**63, -2**63, "k=-9223372036854775808"),
            (2**63 - 1, 2**63 - 1, "k=9223372036854775807"),
            (2**63, 2**63, "k=9223372036854775808"),
            (-2**63 - 1, -2**63 - 1, "k=-9223372036854775809"),
            (2**70, 2**70, "k=1180591620717411303424"),
            (Colour.RED, 3, "k=3"),
            (1.5, 1.5, "k=1.5"),
            (Real(0.25), 0.25, "k=0.25"),
            (-0.0, -0.0, "k=-0.0"),
            ("a b", "a b", "k=a b"),
            ("", "", "k="),
            (Other("mine"), "other text", "k=other text"),
            ("x\ud800", "x\ufffd\ufffd\ufffd", "k=x\ufffd\ufffd\ufffd"),
            ([1, 2], [1, 2], "k=[1, 2]"),
            ((1, "a"), (1, "a"), "k=(1, 'a')"),
            ({"n": [None]}, {"n": [None]}, "k={'n': [None]}"),
            (b"x", b"x", "k=b'x'"),
            (1j, 1j, "k=1j"),
            (decimal.Decimal("1.5"), "Decimal('1.5')", "k=Decimal('1.5')"),
            (probe, repr(probe), "k=" + repr(probe)),
            (LoneSurrogateRepr(), "a\ufffd\ufffd\ufffd", "k=a\ufffd\ufffd\ufffd"),
        ]
        for value, expected, printed in cases:
            url = Url("x://h")
            url.params = {"k": value}
            read = url.params["k"]
            self.assertEqual(read, expected, repr(value))
            self.assertIs(type(read), type(expected), repr(value))
            self.assertEqual(url.build(["params"]), "?" + printed, repr(value))

    def test_order_keys_and_dict_subclass(self):
        class Table(dict):
            def items(self):
                raise AssertionError("the interpreter's own iteration is used")

        class Key(str):
            def __str__(self):
                return "other"

        url = Url("x://h?old=1")
        url.params = Table([("z", 1), (Key("key"), 2), ("a", None), ("", 3)])
        self.assertEqual(list(url.params.items()), [("z", 1), ("key", 2), ("a", None), ("", 3)])
        self.assertEqual(url.build(["params"]), "?z=1&key=2&a&=3")
        url.params = {}
        self.assertEqual((url.params, url.build(["params"])), ({}, ""))

    def test_failures_keep_the_old_params(self):
        def changed_size(table):
            class Grows:
                def __repr__(self):
                    table["more"] = 1
                    return "g"
            table.update(a=Grows(), b=1)
            return table

        def changed_keys(table):
            # The size stays, but a visited key makes room for one that is still to come.
            class Swaps:
                def __repr__(self):
                    del table["a"]
                    table["c"] = 1
                    return "s"
            table.update(a=1, b=Swaps())
            return table

        # (label, dict, exception, message or None)
        cases = [
            ("int key", {"a": 1, 1: 2}, TypeError, "'int' object is not an instance of 'str'"),
            ("None key", {None: 1}, TypeError, "'None' is not an instance of 'str'"),
            ("surrogate key", {"a": 1, "\udc80": 2}, UnicodeEncodeError, None),
            ("repr raises", {"a": 1, "b": BadRepr()}, ValueError, "no repr"),
            ("big int str raises", {"a": BigUnprintableInt(2**80)}, ValueError, "no digits"),
            ("size changed", changed_size({}), RuntimeError, "dictionary changed size during iteration"),
            ("keys changed", changed_keys({}), RuntimeError, "dictionary keys changed during iteration"),
        ]
        for label, table, exc_type, message in cases:
            url = Url("x://h?old=[1]&n=2")
            self.assert_raises_noted(lambda: setattr(url, "params", table), exc_type, message, None, label)
            self.assertEqual(url.params, {"old": [1], "n": 2}, label)
            url.params = {"after": 1}  # the exclusive borrow was released
            self.assertEqual(url.params, {"after": 1}, label)

    def test_unprintable_str_subclass(self):
        url = Url("x://h")
        with CaughtUnraisable() as caught:
            url.params = {"a": Unprintable("x"), "b": 1}
        self.assertEqual(url.params, {"a": "<unprintable Unprintable object>", "b": 1})
        self.assertEqual(len(caught.seen), 1)
        self.assertIsInstance(caught.seen[0].exc_value, ValueError)
        self.assertEqual(str(caught.seen[0].exc_value), "cannot print")

    def test_values_keep_their_reference_counts(self):
        values = [object(), [1, 2], "text", 2**70, Other("o")]
        before = [sys.getrefcount(v) for v in values]
        url = Url("x://h")
        for _ in range(100):
            url.params = {str(i): v for i, v in enumerate(values)}
            with self.assertRaises(ValueError):
                url.params = {**{str(i): v for i, v in enumerate(values)}, "bad": BadRepr()}
        self.assertEqual([sys.getrefcount(v) for v in values], before)


class BuildTest(NotedErrorTestCase):
    URL = "a~b~c://h/p?x=1#f"

    def test_masks(self):
        cases = [
            ([], ""),
            (["transport"], "a~b~c://"),
            (["route"], "a~b~c://"),
            (["scheme", "scheme", "port"], "a~b~c://"),
            (["hostname", "path"], "h/p"),
            (["params"], "?x=1"),
            (["fragment"], "#f"),
            (["Path", "port", "host", ""], ""),
            (ALL_PARTS, self.URL),
            (list(reversed(ALL_PARTS)), self.URL),
        ]
        url = Url(self.URL)
        for parts, text in cases:
            self.assertEqual(url.build(parts), text, parts)
            self.assertEqual(url.build(parts=tuple(parts)), text, parts)
        self.assertEqual(url.toString(), self.URL)
        self.assertEqual(str(url), self.URL)

    def test_any_sequence(self):
        class Names:
            """A sequence known to collections.abc only through registration."""

            def __len__(self):
                return 2

            def __getitem__(self, index):
                if index >= 2:
                    raise IndexError(index)
                return ["hostname", "path"][index]

        import collections.abc
        collections.abc.Sequence.register(Names)
        self.assertEqual(Url(self.URL).build(Names()), "h/p")

    def test_refused(self):
        url = Url(self.URL)
        cases = [("path", TypeError, None), ({"path"}, TypeError, "'set' object is not an instance of 'Sequence'"),
                 (["path", 5], TypeError, "'int' object is not an instance of 'str'"),
                 (["path\ud800"], UnicodeEncodeError, None), (None, TypeError, "'None' is not an instance of 'Sequence'")]
        for parts, exc_type, message in cases:
            self.assert_raises_noted(lambda: url.build(parts), exc_type, message, "parts", repr(parts))


class BorrowTest(NotedErrorTestCase):
    def test_url_given_to_its_own_set_url(self):
        url = Url("x://[::1]:80/p?a=1#f")
        before = components(url)
        self.assert_raises_noted(lambda: url.setUrl(url), RuntimeError, "Already mutably borrowed", None)
        self.assertEqual(components(url), before)
        url.setUrl("y://h")
        self.assertEqual(url.scheme, "y")

    def test_reading_or_copying_during_a_setter(self):
        url = Url("x://h?a=1")
        attempts = [lambda: url.params, lambda: url.path, lambda: str(url), lambda: Url(url),
                    lambda: Url("z://q").setUrl(url), lambda: url.build(["path"])]
        for attempt in attempts:
            class Reentrant:
                def __repr__(self):
                    attempt()
                    return "r"

            self.assert_raises_noted(lambda: setattr(url, "params", {"b": Reentrant()}), RuntimeError,
                                     "Already mutably borrowed", None)
            self.assertEqual(url.params, {"a": 1})

    def test_writing_during_a_read(self):
        url = Url("x://h/p?a=[1]")
        caught = []

        def writing(text):
            for write in (lambda: setattr(url, "path", "/new"), lambda: url.setUrl("y://q")):
                try:
                    write()
                except RuntimeError as error:
                    caught.append(str(error))
            return "evaluated"

        with mock.patch.object(ast, "literal_eval", writing):
            self.assertEqual(url.params, {"a": "evaluated"})
        self.assertEqual(caught, ["Already borrowed", "Already borrowed"])
        self.assertEqual(str(url), "x://h/p?a=[1]")

    def test_writing_while_build_reads_its_parts(self):
        url = Url("x://h/p")

        class Names(list):
            def __iter__(self):
                url.path = "/changed"
                return super().__iter__()

        self.assert_raises_noted(lambda: url.build(Names(["path"])), RuntimeError, "Already borrowed", "parts")
        self.assertEqual(url.path, "/p")


class StaticHelpersTest(NotedErrorTestCase):
    def test_results(self):
        cases = [
            (Url.ip_to_ipv6, ("10.1.2.3",), "::ffff:10.1.2.3"),
            (Url.ip_to_ipv6, ("127.0.0.1",), "::1"),
            (Url.ip_to_ipv6, ("fe80::1",), "fe80::1"),
            (Url.ip_to_ipv6, ("",), "::ffff:"),
            (Url.ip_and_port_to_ipv6_with_port, ("127.0.0.1", 8080), "[::1]:8080"),
            (Url.ip_and_port_to_ipv6_with_port, ("::1", 0), "[::1]:0"),
            (Url.ip_and_port_to_ipv6_with_port, ("10.0.0.1", 2**64 - 1), "[::ffff:10.0.0.1]:18446744073709551615"),
            (Url.ip_and_port_to_ipv6_with_port, ("h", True), "[::ffff:h]:1"),
            (Url.ipv6_with_port_to_ipv6_and_port, ("[::1]:8080",), ("::1", 8080)),
            (Url.ipv6_with_port_to_ipv6_and_port, ("[::ffff:1.2.3.4]:+0080",), ("::ffff:1.2.3.4", 80)),
            (Url.ipv6_with_port_to_ipv6_and_port, ("[]:80",), ("", 80)),
            (Url.ipv6_with_port_to_ipv6_and_port, ("[h]:18446744073709551615",), ("h", 2**64 - 1)),
            (Url.ipv4_with_port_to_ipv6_with_port, ("1.2.3.4:80",), "[::ffff:1.2.3.4]:80"),
            (Url.ipv4_with_port_to_ipv6_with_port, ("127.0.0.1:443",), "[::1]:443"),
            (Url.ipv4_with_port_to_ipv6_with_port, ("a:b:c",), "a:b:c"),
        ]
        for function, args, expected in cases:
            self.assertEqual(function(*args), expected, (function.__name__, args))
        self.assertEqual(Url().ip_to_ipv6(ip="1.2.3.4"), "::ffff:1.2.3.4")
        self.assertEqual(Url.ip_and_port_to_ipv6_with_port(port=5, ip=""), "[::ffff:]:5")

    def test_failures(self):
        for text in ("[::1]:", "[::1]:-1", "[::1]", "[a]:1]:2", "[::1]:18446744073709551616"):
            self.assert_raises_noted(lambda: Url.ipv6_with_port_to_ipv6_and_port(text), ValueError,
                                     "Invalid hostname: " + text, None, text)
        cases = [
            (lambda: Url.ip_and_port_to_ipv6_with_port("h", -1), OverflowError, None, "port"),
            (lambda: Url.ip_and_port_to_ipv6_with_port("h", 2**64), OverflowError, None, "port"),
            (lambda: Url.ip_and_port_to_ipv6_with_port("h", 1.0), TypeError, None, "port"),
            (lambda: Url.ip_and_port_to_ipv6_with_port(None, 1), TypeError, "'None' is not an instance of 'str'", "ip"),
            (lambda: Url.ip_to_ipv6(5), TypeError, "'int' object is not an instance of 'str'", "ip"),
            (lambda: Url.ipv6_with_port_to_ipv6_and_port(b"[::1]:1"), TypeError, None, "ipv6"),
            (lambda: Url.ipv4_with_port_to_ipv6_with_port("\ud800"), UnicodeEncodeError, None, "ipv4"),
            (lambda: Url.ip_to_ipv6(), TypeError, "Url.ip_to_ipv6() missing 1 required positional argument: 'ip'", None),
        ]
        for call, exc_type, message, note in cases:
            self.assert_raises_noted(call, exc_type, message, note)


def random_doubles(rng, count):
    """Doubles from random bit patterns (every exponent, NaN and infinity included) and from
    magnitudes in and around the positional range of repr()."""
    values = [struct.unpack("<d", struct.pack("<Q", rng.getrandbits(64)))[0] for _ in range(count)]
    values += [rng.uniform(-1, 1) * 10.0 ** rng.randint(-7, 18) for _ in range(count)]
    values += [float(rng.randint(-10**17, 10**17)) for _ in range(count // 4)]
    values += [round(rng.uniform(0, 1000), rng.randint(0, 6)) for _ in range(count // 4)]
    values += [0.0, -0.0, 1e16, 1e15, 1e-5, 1e-4, 9999999999999998.0, 5e-324, 1.7976931348623157e308,
               2.2250738585072014e-308, float("inf"), -float("inf"), float("nan"), 0.1, 1 / 3]
    return values


class FloatReprTest(NotedErrorTestCase):
    SEED = 20261210
    COUNT = 8000
    BATCH = 500

    def test_printed_like_repr(self):
        values = random_doubles(random.Random(self.SEED), self.COUNT)
        url = Url("x://h")
        for start in range(0, len(values), self.BATCH):
            batch = values[start:start + self.BATCH]
            url.params = {"k%d" % i: x for i, x in enumerate(batch)}
            printed = url.build(["params"])
            self.assertEqual(printed[0], "?")
            pieces = printed[1:].split("&")
            self.assertEqual(len(pieces), len(batch))
            for x, piece in zip(batch, pieces):
                self.assertEqual(piece.partition("=")[2], repr(x), x.hex())
            self.assertTrue(url.toString().endswith(printed))
            for x, read in zip(batch, url.params.values()):
                self.assertEqual(struct.pack("<d", read), struct.pack("<d", x), x.hex())

    def test_printed_text_parses_back(self):
        values = [x for x in random_doubles(random.Random(self.SEED + 1), self.COUNT // 4) if math.isfinite(x)]
        for start in range(0, len(values), self.BATCH):
            batch = values[start:start + self.BATCH]
            source = Url("x://h")
            source.params = {"k%d" % i: x for i, x in enumerate(batch)}
            parsed = Url(str(source)).params
            for i, x in enumerate(batch):
                self.assertEqual(struct.pack("<d", parsed["k%d" % i]), struct.pack("<d", x), x.hex())


def long_decimals():
    """Float texts of 99,990 to 200,000 digits whose exponents lie around the count of digits
    before or after the point, so that the two nearly cancel: short and long mantissas, either
    sign, with and without underscores."""
    texts = [".%s1e100000" % ("0" * 100000), ".%s1e100001" % ("0" * 99977), "0.%s3094e100003" % ("0" * 100004)]
    for digits in (99990, 99999, 100000, 100001, 100004, 131072, 199999, 200000):
        half = (digits - 2) // 2
        for delta in (-330, -23, -22, -1, 0, 1, 22, 23, 309):
            texts += [
                ".%s3094e%d" % ("0" * (digits - 4), digits + delta),
                "-0.%s1e+%d" % ("0" * (digits - 5), digits - 4 + delta),
                "%s.9e-%d" % ("9" * (digits - 3), digits - 3 + delta),
                "+.%s1_5E%d" % ("0_" * half, half + 2 + delta),
            ]
    return texts


class LongDecimalTest(NotedErrorTestCase):
    def test_read_exactly_in_a_url_and_after_a_request_round_trip(self):
        texts = long_decimals()
        url = Url("x://h/p?" + "&".join("v%d=%s" % (i, text) for i, text in enumerate(texts)))
        read = url.params
        round_trip = m.ZQRequest.deserialize(m.ZQRequest("get", url).serialize()).url.params
        for i, text in enumerate(texts):
            expected = float(text)
            shown = text[:12] + "..." + text[-12:]
            self.assertEqual(struct.pack("<d", read["v%d" % i]), struct.pack("<d", expected), shown)
            # Infinity prints as "inf", which reads back as text.
            if math.isfinite(expected):
                self.assertEqual(struct.pack("<d", round_trip["v%d" % i]), struct.pack("<d", expected), shown)


TEXT = "zq:quik:real~api~zq://[::1]:8080/a/b?id=42&ratio=0.5&name=alpha&list=[1, 2]#frag"
SOURCE = Url(TEXT)


def successes():
    url = Url(TEXT)
    str(url)
    url.toString()
    url.build(["hostname", "params"])
    url.params
    url.params = {"a": 1, "b": 2.5, "c": "x", "d": None, "e": True, "f": 2**70, "g": [1], "h": "x\ud800",
                  "i": Other("o")}
    url.hostname
    url.scheme = "s"
    url.fragment = None
    url.setUrl(SOURCE)
    url.setUrl("a~b~c://h:80/p?q=(x)")
    Url(SOURCE).params
    Url.ipv6_with_port_to_ipv6_and_port("[::1]:80")
    Url.ip_and_port_to_ipv6_with_port("1.2.3.4", 80)


def grows(table):
    class Grows:
        def __repr__(self):
            table["more"] = 1
            return "g"
    table["a"] = Grows()
    return table


FAILURES = [
    lambda: Url("h" * 50),
    lambda: Url("a~b~c~d://h"),
    lambda: Url(123),
    lambda: Url("x://h", 1),
    lambda: Url("x://h\ud800"),
    lambda: SOURCE.build("path"),
    lambda: SOURCE.build(["path", 5]),
    lambda: Url(TEXT).setUrl("x:///p"),
    lambda: Url(TEXT).setUrl(None),
    lambda: SOURCE.setUrl(SOURCE),
    lambda: setattr(Url(), "path", None),
    lambda: setattr(Url(), "isIp", 1),
    lambda: setattr(Url(), "params", []),
    lambda: setattr(Url(), "params", {"a": 1, 2: 3}),
    lambda: setattr(Url(), "params", {"a": [1] * 10, "b": BadRepr()}),
    lambda: setattr(Url(), "params", grows({})),
    lambda: delattr(Url(), "path"),
    lambda: Url.ipv6_with_port_to_ipv6_and_port("[::1]"),
    lambda: Url.ip_and_port_to_ipv6_with_port("h", -1),
]


def failures():
    each_raises(FAILURES, (TypeError, ValueError, OverflowError, RuntimeError, AttributeError, UnicodeEncodeError))


def unprintable():
    Url().params = {"a": Unprintable("x")}


@unittest.skipIf(SANITIZED, "block counts read 0 under PYTHONMALLOC=malloc; LeakSanitizer checks instead")
class UrlLeakTest(GrowthTestCase):
    BLOCK_SLACK = 200
    RSS_SLACK = 2 * 1024 * 1024

    def test_successful_calls(self):
        self.assert_no_growth(successes)

    def test_failing_calls(self):
        self.assert_no_growth(failures)

    def test_unraisable_text(self):
        with ignored_unraisable():
            self.assert_no_growth(unprintable)


if __name__ == "__main__":
    unittest.main()
