"""The calling frame, tested once through the classes that use it: argument shape, parameter
kinds with their notes, type objects, module start-up and the mapping of core errors."""

import collections.abc
import importlib.util
import inspect
import unittest

import duvevodavid.net.zqTransportProtocolParser as parser_module
from duvevodavid import _zqobjects as m
from duvevodavid._zqobjects import DMPContainer, ITPContainer, STPContainer
from support import CaughtUnraisable, NotedErrorTestCase, released_memoryview

CLASSES = (STPContainer, ITPContainer, DMPContainer)

# What the module adds at start-up, in this order; names not built yet are simply absent.
REGISTRATION_ORDER = [
    "ZQDomain", "CompiledDomainPattern", "DomainMatcher", "DomainMatcherList", "DomainMatcherDict", "VORNObject",
    "Url", "CommandObject", "STPContainer", "ITPContainer", "VFSDContainer", "FATManifestContainer",
    "DMPContainer", "TempDataObject", "ZQRequest", "ZQResponse", "_core_tables",
]


class Index:
    """An object the interpreter converts to an integer through __index__."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        if isinstance(self.value, BaseException):
            raise self.value
        return self.value


class Outer:
    class Inner:
        """A type whose qualified name differs from its name."""


class NoNoteError(Exception):
    """An exception that refuses notes."""

    def add_note(self, note):
        raise RuntimeError("no notes here")


class ArgumentShapeTest(NotedErrorTestCase):
    CASES = [
        (lambda: STPContainer(),
         "STPContainer.__new__() missing 1 required positional argument: 'payload'"),
        (lambda: DMPContainer(),
         "DMPContainer.__new__() missing 2 required positional arguments: 'schema_name' and 'payload'"),
        (lambda: ITPContainer(),
         "ITPContainer.__new__() missing 3 required positional arguments: "
         "'interpreterType', 'payload', and 'interpretatorVersion'"),
        (lambda: ITPContainer("html", b""),
         "ITPContainer.__new__() missing 1 required positional argument: 'interpretatorVersion'"),
        (lambda: ITPContainer(payload=b"", interpretatorVersion=0),
         "ITPContainer.__new__() missing 1 required positional argument: 'interpreterType'"),
        (lambda: STPContainer(1, 2, 3, 4),
         "STPContainer.__new__() takes from 1 to 3 positional arguments but 4 were given"),
        (lambda: DMPContainer("s", 1, 0, None, 0, 6),
         "DMPContainer.__new__() takes from 2 to 5 positional arguments but 6 were given"),
        (lambda: STPContainer.deserialize(b"", b""),
         "STPContainer.deserialize() takes 1 positional arguments but 2 were given"),
        (lambda: DMPContainer.deserialize(),
         "DMPContainer.deserialize() missing 1 required positional argument: 'data'"),
        (lambda: STPContainer(1, payload=2),
         "STPContainer.__new__() got multiple values for argument 'payload'"),
        (lambda: STPContainer(1, colour=2),
         "STPContainer.__new__() got an unexpected keyword argument 'colour'"),
        (lambda: ITPContainer.deserialize(data=b"", extra=1),
         "ITPContainer.deserialize() got an unexpected keyword argument 'extra'"),
        # The positional count is checked before any keyword.
        (lambda: STPContainer(1, 2, 3, 4, colour=5),
         "STPContainer.__new__() takes from 1 to 3 positional arguments but 4 were given"),
        # Keywords are examined in the order given.
        (lambda: STPContainer(1, colour=2, payload=3),
         "STPContainer.__new__() got an unexpected keyword argument 'colour'"),
        (lambda: STPContainer(1, payload=3, colour=2),
         "STPContainer.__new__() got multiple values for argument 'payload'"),
        (lambda: STPContainer.deserialize(b"", data=b""),
         "STPContainer.deserialize() got multiple values for argument 'data'"),
        # Shape errors come before any conversion.
        (lambda: DMPContainer(5),
         "DMPContainer.__new__() missing 1 required positional argument: 'payload'"),
    ]

    def test_messages(self):
        for call, message in self.CASES:
            self.assert_raises_noted(call, TypeError, message, None, label=message)

    def test_every_parameter_by_keyword(self):
        stp = STPContainer(compression_info=(0, 0, 0, 0), version=3, payload="p")
        self.assertEqual((stp.payload, stp.version, stp.compression_info), ("p", 3, (0, 0, 0, 0)))
        itp = ITPContainer(interpretatorVersion=1, payload=b"x", interpreterType="html")
        self.assertEqual((itp.interpreterType, itp.payload, itp.interpretatorVersion), ("html", b"x", 1))
        dmp = DMPContainer(schema_kind=2, payload=1, schema_name="s")
        self.assertEqual((dmp.schema_name, dmp.payload, dmp.schema_kind), ("s", 1, 2))
        self.assertEqual(STPContainer.deserialize(data=stp.serialize()).payload, "p")

    def test_keyword_names_match_by_text(self):
        # Names built at run time are not the interned parameter names.
        name = "".join(["pay", "load"])
        self.assertEqual(STPContainer(**{name: 5}).payload, 5)
        self.assertEqual(STPContainer.deserialize(**{"".join(["da", "ta"]): STPContainer(6).serialize()}).payload, 6)

    def test_no_argument_method_refuses_arguments(self):
        with self.assertRaises(TypeError):
            STPContainer(1).serialize(1)
        with self.assertRaises(TypeError):
            STPContainer(1).serialize(version=1)


class ParameterKindsTest(NotedErrorTestCase):
    # (label, call, exception, message or None for the interpreter's own, noted parameter)
    REFUSED = [
        ("u64 None", lambda: STPContainer(1, None), TypeError, None, "version"),
        ("u64 negative", lambda: STPContainer(1, -1), OverflowError, None, "version"),
        ("u64 above 2**64-1", lambda: STPContainer(1, 2**64), OverflowError, None, "version"),
        ("u64 float", lambda: DMPContainer("s", 1, 1.5), TypeError, None, "version"),
        ("u64 str", lambda: ITPContainer("html", b"", "1"), TypeError, None, "interpretatorVersion"),
        ("u64 __index__ raising", lambda: STPContainer(1, Index(KeyError("k"))), KeyError, None, "version"),
        ("u8 256", lambda: DMPContainer("s", 1, schema_kind=256), OverflowError,
         "out of range integral type conversion attempted", "schema_kind"),
        ("u8 -1", lambda: DMPContainer("s", 1, schema_kind=-1), OverflowError,
         "out of range integral type conversion attempted", "schema_kind"),
        ("u8 beyond i64", lambda: DMPContainer("s", 1, schema_kind=2**70), OverflowError, None, "schema_kind"),
        ("u8 None", lambda: DMPContainer("s", 1, schema_kind=None), TypeError, None, "schema_kind"),
        ("u8 __index__ 256", lambda: DMPContainer("s", 1, schema_kind=Index(256)), OverflowError,
         "out of range integral type conversion attempted", "schema_kind"),
        ("text int", lambda: DMPContainer(5, 1), TypeError, "'int' object is not an instance of 'str'",
         "schema_name"),
        ("text None", lambda: DMPContainer(None, 1), TypeError, "'None' is not an instance of 'str'",
         "schema_name"),
        ("text bytes", lambda: DMPContainer(b"s", 1), TypeError, "'bytes' object is not an instance of 'str'",
         "schema_name"),
        ("text nested class", lambda: DMPContainer(Outer.Inner(), 1), TypeError,
         "'Outer.Inner' object is not an instance of 'str'", "schema_name"),
        ("text lone surrogate", lambda: DMPContainer("\ud800", 1), UnicodeEncodeError, None, "schema_name"),
        ("bytes only bytearray", lambda: STPContainer.deserialize(bytearray(b"x")), TypeError,
         "'bytearray' object is not an instance of 'bytes'", "data"),
        ("bytes only str", lambda: ITPContainer.deserialize("x"), TypeError,
         "'str' object is not an instance of 'bytes'", "data"),
        ("bytes only memoryview", lambda: DMPContainer.deserialize(memoryview(b"x")), TypeError,
         "'memoryview' object is not an instance of 'bytes'", "data"),
        ("bytes only None", lambda: STPContainer.deserialize(None), TypeError,
         "'None' is not an instance of 'bytes'", "data"),
        ("bytes-like str", lambda: ITPContainer("html", "abc", 0), TypeError,
         "a string cannot be taken as a sequence of items", "payload"),
        ("bytes-like None", lambda: ITPContainer("html", None, 0), TypeError,
         "'None' is not an instance of 'Sequence'", "payload"),
        ("bytes-like int", lambda: ITPContainer("html", 5, 0), TypeError,
         "'int' object is not an instance of 'Sequence'", "payload"),
        ("bytes-like generator", lambda: ITPContainer("html", (i for i in b"ab"), 0), TypeError,
         "'generator' object is not an instance of 'Sequence'", "payload"),
        ("bytes-like set", lambda: ITPContainer("html", {1}, 0), TypeError,
         "'set' object is not an instance of 'Sequence'", "payload"),
        ("bytes-like item 300", lambda: ITPContainer("html", [1, 2, 300], 0), OverflowError,
         "out of range integral type conversion attempted", "payload"),
        ("bytes-like item str", lambda: ITPContainer("html", [1, "2"], 0), TypeError, None, "payload"),
        ("compression list", lambda: STPContainer(1, compression_info=[1, 0, 0, 0]), TypeError,
         "'list' object is not an instance of 'tuple'", "compression_info"),
        ("compression 3 items", lambda: STPContainer(1, compression_info=(1, 0, 0)), ValueError,
         "expected tuple of length 4, but got tuple of length 3", "compression_info"),
        ("compression 5 items", lambda: DMPContainer("s", 1, compression_info=(0,) * 5), ValueError,
         "expected tuple of length 4, but got tuple of length 5", "compression_info"),
        ("compression item 256", lambda: ITPContainer("html", b"", 0, (0, 0, 0, 256)), OverflowError,
         "out of range integral type conversion attempted", "compression_info"),
        ("compression item None", lambda: STPContainer(1, 0, (0, None, 0, 0)), TypeError, None,
         "compression_info"),
    ]

    def test_refused(self):
        for label, call, exc_type, message, note in self.REFUSED:
            self.assert_raises_noted(call, exc_type, message, note, label=label)

    def test_failed_note_is_discarded(self):
        self.assert_raises_noted(lambda: STPContainer(1, Index(NoNoteError("x"))), NoNoteError, "x", None)

    def test_accepted_integers(self):
        for given, stored in [(True, 1), (Index(7), 7), (2**64 - 1, 2**64 - 1), (0, 0)]:
            self.assertEqual(STPContainer(None, given).version, stored, given)
        self.assertEqual(DMPContainer("s", 1, schema_kind=Index(255)).schema_kind, 255)
        self.assertEqual(DMPContainer("s", 1, schema_kind=False).schema_kind, 0)

    def test_accepted_bytes_like(self):
        class Lenless(collections.abc.Sequence):
            def __len__(self):
                raise ValueError("len() fails; the items are still taken")

            def __getitem__(self, i):
                if i < 3:
                    return i + 1
                raise IndexError(i)

        class Raw(bytes):
            pass

        for given in [b"\x01\x02\x03", bytearray(b"\x01\x02\x03"), Raw(b"\x01\x02\x03"), [1, 2, 3], (1, 2, 3),
                      range(1, 4), memoryview(b"\x01\x02\x03"), Lenless(), [Index(1), True + 1, 3]]:
            self.assertEqual(ITPContainer("html", given, 0).payload, b"\x01\x02\x03", given)

    def test_released_memoryview_fails_with_its_own_error(self):
        # Every parameter that iterates its argument raises the error iter() came back with,
        # with its note.
        calls = [
            ("payload", lambda: ITPContainer("html", released_memoryview(), 0)),
            ("payload", lambda: m.FATManifestContainer(100, 1024, 1, released_memoryview())),
            ("checksum", lambda: m.FATManifestContainer(100, 1024, 1, None, released_memoryview())),
            ("data", lambda: m.TempDataObject.deserialize(released_memoryview())),
            ("payload", lambda: m.TempDataObject.ITP("html", released_memoryview())),
            ("payload", lambda: m.TempDataObject.FATManifest(100, 1024, 1, released_memoryview())),
            ("checksum", lambda: m.TempDataObject.FATManifest(100, 1024, 1, None, released_memoryview())),
            ("patterns", lambda: m.DomainMatcherList(released_memoryview())),
            ("parts", lambda: m.Url("x://h/p").build(released_memoryview())),
            ("path", lambda: m.CommandObject("zq:app:404").is_(released_memoryview())),
        ]
        for note, call in calls:
            with CaughtUnraisable() as caught:
                self.assert_raises_noted(call, ValueError, "operation forbidden on released memoryview object", note)
            self.assertEqual(caught.seen, [], note)

    def test_bytes_like_is_copied(self):
        source = bytearray(b"abc")
        itp = ITPContainer("html", source, 0)
        source[0] = 0x7A
        self.assertEqual(itp.payload, b"abc")

    def test_bytes_only_takes_subclasses(self):
        class Raw(bytes):
            pass

        encoded = STPContainer([1]).serialize()
        self.assertEqual(STPContainer.deserialize(Raw(encoded)).payload, [1])

    def test_text_takes_subclasses_as_their_own_text(self):
        class Name(str):
            def __str__(self):
                return "other"

        self.assertEqual(DMPContainer(Name("schema"), 1).schema_name, "schema")

    def test_compression_absent_none_and_tuple_subclass(self):
        class Setting(tuple):
            pass

        self.assertIsNone(STPContainer(1).compression_info)
        self.assertIsNone(STPContainer(1, compression_info=None).compression_info)
        self.assertEqual(STPContainer(1, 0, Setting((0, 1, Index(2), 3))).compression_info, (0, 1, 2, 3))

    def test_numeric_default_refuses_explicit_none(self):
        self.assert_raises_noted(lambda: DMPContainer("s", 1, version=None), TypeError, None, "version")
        self.assert_raises_noted(lambda: DMPContainer("s", 1, schema_kind=None), TypeError, None, "schema_kind")

    def test_conversions_run_in_declaration_order_and_stop_at_the_first_failure(self):
        # version is refused before compression_info is looked at.
        self.assert_raises_noted(lambda: STPContainer(1, -1, [0]), OverflowError, None, "version")
        # Typed parameters are converted before the body converts the payload.
        self.assert_raises_noted(lambda: DMPContainer("s", object(), schema_kind=256), OverflowError, None,
                                 "schema_kind")
        self.assert_raises_noted(lambda: STPContainer(object(), compression_info=()), ValueError, None,
                                 "compression_info")


class TypeObjectTest(unittest.TestCase):
    SIGNATURES = {
        STPContainer: "(payload, version=0, compression_info=None)",
        ITPContainer: "(interpreterType, payload, interpretatorVersion, compression_info=None)",
        DMPContainer: "(schema_name, payload, version=0, compression_info=None, schema_kind=0)",
    }
    INSTANCES = lambda: [STPContainer(1), ITPContainer("html", b"", 0), DMPContainer("s", 1)]  # noqa: E731

    def test_names_module_and_signatures(self):
        for cls, signature in self.SIGNATURES.items():
            self.assertEqual(cls.__module__, "duvevodavid.net.objects")
            self.assertEqual(cls.__qualname__, cls.__name__)
            self.assertEqual(str(inspect.signature(cls)), signature)
            self.assertFalse(cls.__doc__, cls)  # the docstring is the signature line alone
            self.assertEqual(cls.serialize.__text_signature__, "($self)")
            self.assertEqual(cls.deserialize.__text_signature__, "(data)")

    def test_not_subclassable(self):
        for cls in CLASSES:
            with self.assertRaises(TypeError, msg=cls):
                type("Sub", (cls,), {})

    def test_instances_have_no_dict_and_read_only_properties(self):
        for instance in TypeObjectTest.INSTANCES():
            with self.assertRaises(AttributeError):
                instance.extra = 1
            self.assertFalse(hasattr(instance, "__dict__"))
            for name in ("payload", "compression_info"):
                with self.assertRaises(AttributeError):
                    setattr(instance, name, None)
                with self.assertRaises(AttributeError):
                    delattr(instance, name)

    def test_class_attributes_can_be_set(self):
        for cls in CLASSES:
            cls.extra = 1
            self.assertEqual(cls(*{STPContainer: (1,), ITPContainer: ("html", b"", 0),
                                   DMPContainer: ("s", 1)}[cls]).extra, 1)
            del cls.extra

    def test_identity_comparison(self):
        first, second = STPContainer(1), STPContainer(1)
        self.assertIsNot(first, second)
        self.assertNotEqual(first, second)
        self.assertEqual(first, first)
        self.assertEqual(hash(first), hash(first))


class ModuleTest(unittest.TestCase):
    def test_all_lists_classes_in_registration_order(self):
        self.assertEqual(m.__all__, REGISTRATION_ORDER)
        for cls in CLASSES:
            self.assertIn(cls.__name__, m.__all__)

    def test_docstring(self):
        self.assertIn("duvevodavid._zqobjects", m.__doc__)
        self.assertIn("PyInit__zqobjects", m.__doc__)
        self.assertIn("интерпретатор", m.__doc__)

    def fresh_module(self):
        spec = importlib.util.spec_from_file_location(m.__name__, m.__file__)
        return spec, importlib.util.module_from_spec(spec)

    def test_another_module_object_shares_the_type_objects(self):
        spec, module = self.fresh_module()
        module.__all__ = ["before"]
        spec.loader.exec_module(module)
        self.assertEqual(module.__all__, ["before"] + m.__all__)
        self.assertIs(module.STPContainer, STPContainer)

    def test_all_that_is_not_a_list_fails_the_start_up(self):
        spec, module = self.fresh_module()
        module.__all__ = ("before",)
        with self.assertRaises(TypeError) as caught:
            spec.loader.exec_module(module)
        self.assertEqual(str(caught.exception), "'tuple' object is not an instance of 'list'")


class CoreErrorTest(unittest.TestCase):
    CASES = [
        (lambda: DMPContainer.deserialize(b""), "truncated wire buffer"),
        (lambda: DMPContainer.deserialize(STPContainer(1).serialize()), "invalid wire data: not a DMP container"),
        (lambda: DMPContainer.deserialize(b"\x00\x05\x00\x00\x00\x00\xc1"), "invalid wire data: bad msgpack payload"),
        (lambda: STPContainer(1, 2**62).serialize(), "value too large for wire encoding"),
    ]

    def test_mapping(self):
        for call, message in self.CASES:
            with self.assertRaises(ValueError, msg=message) as caught:
                call()
            error = caught.exception
            self.assertEqual(error.args, (message,))
            self.assertIsNone(error.__cause__)
            self.assertFalse(hasattr(error, "__notes__"), message)


class bool_:  # noqa: N801 - converted as a NumPy boolean, by its type's name and module
    """Runs `action` while it is converted, as a boolean (__bool__) or an integer (__index__)."""

    __module__ = "numpy"

    def __init__(self, action):
        self.action = action

    def __bool__(self):
        self.action()
        return True

    def __index__(self):
        self.action()
        return 0


class CallOrderTest(NotedErrorTestCase):
    """Members that convert their argument before taking the instance, so that the conversion may
    use the same instance, beside members that take it first."""

    def test_members_converting_first(self):
        url = m.Url("x://h/p")
        r = m.ZQRequest("get", m.Url("x://h/p"))
        posted = m.ZQRequest("post", m.Url("x://h/p"))
        cases = [
            ("Url.isIp", lambda: setattr(url, "isIp", bool_(lambda: setattr(url, "path", "/new"))),
             lambda: (url.isIp, url.path), (True, "/new")),
            ("Url.isIp reading", lambda: setattr(url, "isIp", bool_(lambda: url.path)), lambda: url.isIp, True),
            ("ZQRequest.serialize", lambda: r.serialize(bool_(lambda: r.setMethod("post"))), None,
             posted.serialize()),
            ("ZQRequest.serializeHeader", lambda: r.serializeHeader(bool_(lambda: r.setUrl(m.Url("y://q/")))),
             None, m.ZQRequest("post", m.Url("y://q/")).serializeHeader()),
        ]
        for label, call, state, expected in cases:
            with self.subTest(label):
                result = call()
                self.assertEqual(state() if state else result, expected)

    def test_cookies_setter_tests_the_type_before_taking_the_request(self):
        r = m.ZQRequest("get", m.Url("x://h/p"), cookies={"a": 1})
        outcomes = []

        def assign_while_borrowed(token):
            for value, error, text, note in [(5, TypeError, "'int' object is not an instance of 'dict'", "value"),
                                             (None, TypeError, "'None' is not an instance of 'dict'", "value"),
                                             ({}, RuntimeError, "Already borrowed", None)]:
                outcomes.append(self.assert_raises_noted(lambda: setattr(r, "cookies", value), error, text, note))
            return token

        self.addCleanup(setattr, parser_module, "parse_zq_protocol", parser_module.parse_zq_protocol)
        parser_module.parse_zq_protocol = assign_while_borrowed
        r.transportObject
        self.assertEqual((len(outcomes), r.cookies), (3, {"a": 1}))

    def test_members_borrowing_first(self):
        v = m.VORNObject(2500)
        cases = [
            ("VORNObject.vornid", lambda: setattr(v, "vornid", bool_(lambda: v.vornid)), "value"),
            ("VORNObject.objectId", lambda: v.objectId(bool_(lambda: v.vornid)), "object_type"),
        ]
        for label, call, note in cases:
            with self.subTest(label):
                self.assert_raises_noted(call, RuntimeError, "Already mutably borrowed", note)
        self.assertEqual(v.vornid, 2500)


if __name__ == "__main__":
    unittest.main()
