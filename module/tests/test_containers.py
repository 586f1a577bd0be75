"""STPContainer, ITPContainer and DMPContainer: construction rules, properties, serialize() and
deserialize(), and what each refuses."""

import unittest

from duvevodavid._zqobjects import DMPContainer, ITPContainer, STPContainer


def raised(test, exc_type, call):
    with test.assertRaises(exc_type) as caught:
        call()
    return caught.exception


class STPContainerTest(unittest.TestCase):
    def test_defaults(self):
        container = STPContainer(None)
        self.assertEqual((container.payload, container.version, container.compression_info), (None, 0, None))

    def test_tuple_payload_reads_as_a_new_list_each_time(self):
        container = STPContainer((1, 2))
        self.assertEqual(container.payload, [1, 2])
        self.assertIsNot(container.payload, container.payload)

    def test_payload_errors_carry_no_note(self):
        for payload, message in ((object(), "unsupported type for ZQ serialization: object"),
                                 (STPContainer(1), "unsupported type for ZQ serialization: STPContainer")):
            error = raised(self, TypeError, lambda: STPContainer(payload))
            self.assertEqual(str(error), message)
            self.assertFalse(hasattr(error, "__notes__"))

    def test_exact_encoding(self):
        encoded = bytes.fromhex("0002010081a16101")
        self.assertEqual(STPContainer({"a": 1}, 1).serialize(), encoded)
        self.assertEqual(STPContainer({"a": 1}, 1, (0, 0, 0, 0)).serialize(), encoded)
        decoded = STPContainer.deserialize(encoded)
        self.assertEqual((decoded.payload, decoded.version, decoded.compression_info), ({"a": 1}, 1, (0, 0, 0, 0)))

    def test_plain_setting_fields_are_written_and_read_back(self):
        encoded = STPContainer(5, 0, (0, 1, 3, 2)).serialize()
        self.assertEqual(encoded[3], 0x4E)
        self.assertEqual(STPContainer.deserialize(encoded).compression_info, (0, 1, 3, 2))

    def test_compressed_round_trip(self):
        payload = {"text": "abc" * 1000, "items": list(range(100))}
        encoded = STPContainer(payload, 0, (1, 0, 0, 3)).serialize()
        self.assertEqual(encoded[:4], bytes.fromhex("00020083"))
        self.assertLess(len(encoded), 1000)
        decoded = STPContainer.deserialize(encoded)
        self.assertEqual((decoded.payload, decoded.compression_info), (payload, (1, 0, 0, 3)))
        self.assertEqual(STPContainer.deserialize(decoded.serialize()).payload, payload)

    def test_no_setting_reads_back_as_plain(self):
        self.assertEqual(STPContainer.deserialize(STPContainer([1]).serialize()).compression_info, (0, 0, 0, 0))

    def test_serialize_is_repeatable_and_changes_nothing(self):
        container = STPContainer({"k": [1, 2]}, 7, (1, 0, 0, 1))
        self.assertEqual(container.serialize(), container.serialize())
        self.assertEqual((container.payload, container.version, container.compression_info),
                         ({"k": [1, 2]}, 7, (1, 0, 0, 1)))

    def test_settings_the_wire_cannot_carry_are_kept_until_serialize(self):
        cases = [
            ((2, 0, 0, 0), "value too large for wire encoding"),
            ((0, 0, 0, 4), "value too large for wire encoding"),
            ((0, 2, 0, 0), "value too large for wire encoding"),
            ((0, 0, 16, 0), "value too large for wire encoding"),
            ((1, 1, 0, 0), "invalid wire data: pretrained map compression not implemented"),
            ((1, 0, 1, 0), "invalid wire data: unknown compression algorithm code"),
            ((1, 0, 0, 4), "invalid wire data: unknown compression level code"),
        ]
        for setting, message in cases:
            container = STPContainer(1, 0, setting)
            self.assertEqual(container.compression_info, setting)
            self.assertEqual(str(raised(self, ValueError, container.serialize)), message, setting)

    def test_version_limit_of_the_wire(self):
        self.assertEqual(STPContainer.deserialize(STPContainer(1, 2**62 - 1).serialize()).version, 2**62 - 1)
        for version in (2**62, 2**64 - 1):
            container = STPContainer(1, version)
            self.assertEqual(container.version, version)
            self.assertEqual(str(raised(self, ValueError, container.serialize)), "value too large for wire encoding")

    def test_decoding_failures_have_one_text(self):
        for data in (b"", b"\x00", b"\x00\x02", b"\x00\x02\x00\x00", bytes.fromhex("0002010081a16101c0"),
                     bytes.fromhex("00020000c1"), DMPContainer("s", 1).serialize(),
                     STPContainer(1, 0, (1, 0, 0, 0)).serialize()[:-2]):
            self.assertEqual(str(raised(self, ValueError, lambda: STPContainer.deserialize(data))),
                             "Invalid STP container data", data)


class ITPContainerTest(unittest.TestCase):
    def test_interpreter_type_names_and_codes(self):
        cases = [("html", "html"), (2, "html"), ("none", "none"), (0, "none"), ("unknown", "unknown"), (1, "unknown"),
                 ("HTML", "HTML"), ("Html", "Html"), ("my-type", "my-type"), (71, "pem"), (72, 72), (300, 300),
                 (65535, 65535), (True, "unknown")]
        for given, answer in cases:
            self.assertEqual(ITPContainer(given, b"", 0).interpreterType, answer, given)

    def test_names_of_standard_codes_travel_as_codes(self):
        by_name, by_code = ITPContainer("html", b"<p>", 3), ITPContainer(2, b"<p>", 3)
        self.assertEqual(by_name.serialize(), by_code.serialize())
        decoded = ITPContainer.deserialize(by_name.serialize())
        self.assertEqual((decoded.interpreterType, decoded.payload, decoded.interpretatorVersion),
                         ("html", b"<p>", 3))

    def test_custom_names(self):
        # "none" and case variants of standard names are custom names: code 1 and the text.
        for name in ("none", "HTML", "my-type"):
            encoded = ITPContainer(name, b"ab", 0).serialize()
            self.assertEqual(encoded[:4], bytes.fromhex("00010001"), name)
            self.assertIn(name.encode(), encoded)
            decoded = ITPContainer.deserialize(encoded)
            self.assertEqual((decoded.interpreterType, decoded.compression_info), (name, (0, 0, 0, 0)))

    def test_codes_the_wire_refuses(self):
        for code in (0, 1):
            container = ITPContainer(code, b"", 0)
            self.assertEqual(str(raised(self, ValueError, container.serialize)),
                             "invalid wire data: ITP standard code must be >= 2")
        encoded = ITPContainer(300, b"ab", 0).serialize()
        self.assertEqual(str(raised(self, ValueError, lambda: ITPContainer.deserialize(encoded))),
                         "Invalid ITP container data")

    def test_interpreter_type_errors_come_last_and_carry_no_note(self):
        cases = [(65536, OverflowError, "out of range integral type conversion attempted"),
                 (-1, OverflowError, "out of range integral type conversion attempted"),
                 (1.5, TypeError, None), (None, TypeError, None), (b"html", TypeError, None),
                 ("\ud800", TypeError, "'str' object cannot be interpreted as an integer")]
        for given, exc_type, message in cases:
            error = raised(self, exc_type, lambda: ITPContainer(given, b"", 0))
            if message:
                self.assertEqual(str(error), message, given)
            self.assertFalse(hasattr(error, "__notes__"), given)
            # Every other parameter is converted first.
            for later in (lambda: ITPContainer(given, "text", 0), lambda: ITPContainer(given, b"", None),
                          lambda: ITPContainer(given, b"", 0, [0])):
                self.assertTrue(hasattr(raised(self, TypeError, later), "__notes__"), given)

    def test_default_compression_of_the_type(self):
        container = ITPContainer("html", b"<p>hello</p>" * 50, 0)
        self.assertIsNone(container.compression_info)
        encoded = container.serialize()
        self.assertEqual(encoded[5], 0x82)
        self.assertLess(len(encoded), 100)
        decoded = ITPContainer.deserialize(encoded)
        self.assertEqual((decoded.payload, decoded.compression_info), (b"<p>hello</p>" * 50, (1, 0, 0, 2)))

    def test_explicit_setting_overrides_the_default(self):
        encoded = ITPContainer("html", b"abc", 0, (0, 0, 0, 0)).serialize()
        self.assertTrue(encoded.endswith(b"abc"))
        self.assertEqual(ITPContainer.deserialize(encoded).compression_info, (0, 0, 0, 0))

    def test_payload_forms(self):
        for given in (b"\x00\xff", bytearray(b"\x00\xff"), [0, 255], (0, 255)):
            container = ITPContainer("bin", given, 0)
            self.assertEqual(container.payload, b"\x00\xff", given)
        self.assertEqual(ITPContainer("html", b"", 0).payload, b"")

    def test_decoding_failures_have_one_text(self):
        for data in (b"", b"\x00\x01", STPContainer(1).serialize(), ITPContainer("html", b"abc", 0).serialize()[:-1]):
            self.assertEqual(str(raised(self, ValueError, lambda: ITPContainer.deserialize(data))),
                             "Invalid ITP container data", data)


class DMPContainerTest(unittest.TestCase):
    def test_round_trip(self):
        container = DMPContainer("schema.v1", {"id": 1, "tags": ["a"]}, 9, (1, 0, 0, 0), 200)
        decoded = DMPContainer.deserialize(container.serialize())
        self.assertEqual((decoded.schema_name, decoded.payload, decoded.version, decoded.compression_info,
                          decoded.schema_kind), ("schema.v1", {"id": 1, "tags": ["a"]}, 9, (1, 0, 0, 0), 200))
        self.assertEqual((container.schema_kind, container.compression_info), (200, (1, 0, 0, 0)))

    def test_defaults(self):
        container = DMPContainer("s", None)
        self.assertEqual((container.payload, container.version, container.compression_info, container.schema_kind),
                         (None, 0, None, 0))

    def test_empty_schema_name_is_refused_after_the_payload_converts(self):
        error = raised(self, ValueError, lambda: DMPContainer("", 1))
        self.assertEqual(str(error), "invalid wire data: schema_name must be a non-empty str")
        self.assertFalse(hasattr(error, "__notes__"))
        self.assertEqual(str(raised(self, TypeError, lambda: DMPContainer("", object()))),
                         "unsupported type for ZQ serialization: object")

    def test_empty_schema_name_from_the_wire_is_accepted(self):
        self.assertEqual(DMPContainer.deserialize(bytes.fromhex("000500000000c0")).schema_name, "")

    def test_decoding_failures_keep_the_core_text(self):
        cases = [(b"", "truncated wire buffer"), (b"\x00\x05\x00", "truncated wire buffer"),
                 (STPContainer(1).serialize(), "invalid wire data: not a DMP container"),
                 (DMPContainer("s", 1).serialize() + b"\x00", "invalid wire data: bad msgpack payload")]
        for data, message in cases:
            self.assertEqual(str(raised(self, ValueError, lambda: DMPContainer.deserialize(data))), message, data)

    def test_serialize_errors(self):
        self.assertEqual(str(raised(self, ValueError, DMPContainer("s", 1, 2**62).serialize)),
                         "value too large for wire encoding")
        self.assertEqual(str(raised(self, ValueError, DMPContainer("s", 1, 0, (1, 0, 0, 9)).serialize)),
                         "invalid wire data: unknown compression level code")


if __name__ == "__main__":
    unittest.main()
