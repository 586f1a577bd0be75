"""ZQRequest and ZQResponse: construction rules and their order, the wire forms with the version
each writes, cookies and payload getters, URL copies, the transport parser bridge and its
re-entry, subclassing of responses, and requests that read back as they were written."""

import inspect
import os
import random
import sys
import tempfile
import unittest

from duvevodavid._zqobjects import CommandObject, STPContainer, TempDataObject, Url, ZQRequest, ZQResponse
from support import NotedErrorTestCase

import duvevodavid.net.zqTransportProtocolParser as parser_module

WORKED = bytes.fromhex("25 02 01 80 08 7a 71 3a 2f 2f 68 2f 61 00 05 01 02 03 04 05")
# {"a": 1} in an STP container whose version is written as a two-byte varint: read and written
# again, it takes its one-byte form, so a decoded slot shows by its size.
STP_LONG_VARINT = bytes.fromhex("00 02 40 01 00 81 a1 61 01")
NIL_STP_SIZE = len(STPContainer(None).serialize())
RANGE_TEXT = "out of range integral type conversion attempted"


def request(**kwargs):
    return ZQRequest(kwargs.pop("method", "get"), kwargs.pop("url", Url("zq://h/p")), **kwargs)


def url_parts(url):
    return (url.transport, url.route, url.scheme, url.hostname, url.path, url.params, url.fragment, url.isIp)


class RequestTest(NotedErrorTestCase):
    def test_worked_example(self):
        r = ZQRequest("post", Url("zq://h/a"), TempDataObject(bytes([1, 2, 3, 4, 5])))
        self.assertEqual(r.serialize(), WORKED)
        self.assertEqual(r.serializeHeader(), WORKED[:-5])
        back = ZQRequest.deserialize(WORKED)
        self.assertEqual((back.method, back.transport, back.route, str(back.url), back.cookies),
                         ("post", "zq:quik:real", "api", "zq://h/a", {}))
        self.assertEqual((back.payloadSize, back.tdo.serialize()), (5, bytes([1, 2, 3, 4, 5])))
        with self.assertRaisesRegex(ValueError, "^truncated wire buffer$"):
            ZQRequest.deserialize(r.serializeHeader())

    def test_defaults_and_repr(self):
        r = request(method="GeT")
        self.assertEqual((r.method, r.transport, r.route, r.origin), ("GeT", "zq:quik:real", "api", None))
        self.assertEqual(repr(r), "<ZQRequest [zq:quik:real]: [GeT zq://h/p]>")
        self.assertEqual(str(r), repr(r))
        # Only an explicit route reaches the wire as given; a read default-bit route is the wire's.
        self.assertEqual(ZQRequest.deserialize(bytes.fromhex("26 02 00 07 7a 71 3a 2f 2f 68 2f")).route, "zq:net")

    def test_signatures_and_class_rules(self):
        self.assertEqual(ZQRequest.__module__, "duvevodavid.net.objects")
        self.assertEqual(str(inspect.signature(ZQRequest)), "(method, url, payload=None, cookies=None, transport=None, "
                         "route=None, origin=None, payloadSize=None)")
        self.assertIn("varavizaza", ZQRequest.__doc__)
        for name, signature in [("setMethod", "($self, method)"), ("setUrl", "($self, url)"),
                                ("setRoute", "($self, route=None)"), ("setTransport", "($self, transport=None)"),
                                ("setCookies", "($self, cookies)"), ("serialize", "($self, version=0)"),
                                ("serializeHeader", "($self, version=0)"), ("deserialize", "(data)")]:
            self.assertEqual(getattr(ZQRequest, name).__text_signature__, signature, name)
        for name in ("transportObject", "origin", "tdo", "payload"):
            self.assertTrue(ZQRequest.__dict__[name].__doc__, name)
        self.assertIsNone(ZQRequest.__dict__["method"].__doc__)
        with self.assertRaises(TypeError):
            type("Sub", (ZQRequest,), {})
        r = request()
        with self.assertRaises(AttributeError):
            r.anything = 1
        with self.assertRaises(AttributeError):
            r.method = "post"
        with self.assertRaisesRegex(AttributeError, "^property has no deleter$"):
            del r.cookies

    def test_constructor_checks_in_order(self):
        cases = [
            ("method", lambda: ZQRequest(1, "not a url", cookies=[]), TypeError,
             "'int' object is not an instance of 'str'", "method"),
            ("cookies", lambda: ZQRequest("get", "not a url", cookies=[]), TypeError,
             "'list' object is not an instance of 'dict'", "cookies"),
            ("transport", lambda: ZQRequest("get", "x", transport=1, route=2), TypeError, None, "transport"),
            ("route", lambda: ZQRequest("get", "x", route=2, origin=3), TypeError, None, "route"),
            ("origin", lambda: ZQRequest("get", "x", origin=3, payloadSize=1.5), TypeError, None, "origin"),
            ("payloadSize", lambda: ZQRequest("get", "x", payloadSize=1.5), TypeError, None, "payloadSize"),
            ("payloadSize range", lambda: ZQRequest("get", "x", payloadSize=2**63), OverflowError, None,
             "payloadSize"),
            ("cookie value", lambda: ZQRequest("get", "x", cookies={"k": object()}), TypeError, None, None),
            ("url str", lambda: ZQRequest("get", "zq://h/", payload=object()), TypeError, "url must be a Url", None),
            ("url None", lambda: ZQRequest("get", None), TypeError, "url must be a Url", None),
            ("payload", lambda: request(payload=object()), TypeError, None, None),
            ("container payload", lambda: request(payload=STPContainer(1)), TypeError, None, None),
        ]
        for label, call, exc_type, message, note in cases:
            self.assert_raises_noted(call, exc_type, message, note, label)

    def test_accepted_and_dropped_arguments(self):
        for size in (-5, True, 2**63 - 1, -2**63, None):
            self.assertEqual(request(payloadSize=size, origin="o").origin, None)
        self.assertEqual(request(cookies=None).cookies, {})

    def test_payload_forms(self):
        plain = request()
        self.assertEqual((plain.hasPayload, plain.payload, plain.payloadSize), (True, None, NIL_STP_SIZE))
        self.assertTrue(plain.serialize().endswith(STPContainer(None).serialize()))
        empty = request(payload=TempDataObject())
        self.assertEqual((empty.hasPayload, empty.payload, empty.payloadSize), (False, None, None))
        self.assertEqual(empty.serialize(), empty.serializeHeader())
        self.assertFalse(ZQRequest.deserialize(empty.serialize()).hasPayload)
        blob = request(payload=b"\x00\x02")
        self.assertEqual(blob.payload, b"\x00\x02")  # a byte-string value, not container bytes
        wrapped = request(payload=TempDataObject(STPContainer([1, 2])))
        self.assertEqual(wrapped.payload, [1, 2])
        self.assertEqual(wrapped.tdo.container.payload, [1, 2])

    def test_payload_is_decoded_once_on_first_read(self):
        message = request(payload=TempDataObject(STP_LONG_VARINT)).serialize()
        r = ZQRequest.deserialize(message)
        self.assertEqual((r.payloadSize, r.tdo.serialize()), (9, STP_LONG_VARINT))  # kept raw
        first = r.payload
        self.assertEqual((first, r.payloadSize), ({"a": 1}, 8))  # decoded in place
        second = r.payload
        self.assertEqual(second, first)
        self.assertIsNot(second, first)
        bad = ZQRequest.deserialize(request(payload=TempDataObject(b"\xff\xff")).serialize())
        for _ in range(2):
            with self.assertRaises(ValueError):
                bad.payload
        self.assertEqual(bad.tdo.serialize(), b"\xff\xff")

    def test_versions(self):
        r = request()
        self.assertEqual(r.serialize(3)[0] >> 6, 3)
        self.assertEqual(r.serialize(version=1)[0] >> 6, 1)
        self.assert_raises_noted(lambda: r.serialize(4), ValueError, "invalid wire data: version must be 0..3", None)
        self.assert_raises_noted(lambda: r.serializeHeader(4), ValueError,
                                 "invalid wire data: version must be 0..3", None)
        for bad in (256, -1):
            self.assert_raises_noted(lambda: r.serialize(bad), OverflowError, RANGE_TEXT, "version")
        self.assert_raises_noted(lambda: r.serialize(2**64), OverflowError, None, "version")
        self.assert_raises_noted(lambda: r.serialize(None), TypeError, None, "version")
        # A read version stays in the record; writing uses the one given, 0 by default.
        read = ZQRequest.deserialize(r.serialize(2))
        self.assertEqual(read.serialize()[0] >> 6, 0)

    def test_setters(self):
        r = request()
        r.setRoute("r")
        r.setTransport("t")
        r.setMethod("PUT")
        self.assertEqual((r.route, r.transport, r.method), ("r", "t", "PUT"))
        r.setRoute()
        r.setTransport(None)
        self.assertEqual((r.route, r.transport), ("api", "zq:quik:real"))
        r.setRoute(None)
        self.assertEqual(r.route, "api")
        self.assert_raises_noted(lambda: r.setMethod(None), TypeError, None, "method")
        self.assert_raises_noted(lambda: r.setRoute(1), TypeError, None, "route")
        self.assert_raises_noted(lambda: r.setUrl("zq://h/"), TypeError, "url must be a Url", None)
        self.assert_raises_noted(lambda: r.setCookies(None), TypeError, None, "cookies")
        r.setCookies({"a": 1})
        self.assert_raises_noted(lambda: r.setCookies({"b": object()}), TypeError, None, None)
        self.assertEqual(r.cookies, {"a": 1})
        r.cookies = {"b": 2}
        self.assertEqual(r.cookies, {"b": 2})
        with self.assertRaises(TypeError) as caught:
            r.cookies = None
        self.assertEqual(caught.exception.__notes__, ["while processing 'value'"])
        self.assertEqual(str(r.url), "zq://h/p")

    def test_returned_and_given_objects_are_copies(self):
        given = Url("zq://h/p")
        r = ZQRequest("get", given, cookies={"k": [1]})
        given.path = "/changed"
        r.url.path = "/changed"
        r.cookies["k"].append(2)
        self.assertEqual((str(r.url), r.cookies), ("zq://h/p", {"k": [1]}))
        other = Url("x://o/")
        r.setUrl(other)
        other.path = "/changed"
        self.assertEqual(str(r.url), "x://o/")

    def test_url_copies_keep_is_ip_where_url_copies_do_not(self):
        u = Url("x://h/p")
        u.isIp = True
        self.assertTrue(ZQRequest("get", u).url.isIp)
        self.assertFalse(Url(u).isIp)
        r = request()
        r.setUrl(u)
        self.assertTrue(r.url.isIp)
        self.assertTrue(r.url.isIp)  # every read is a full copy

    def test_cookies(self):
        r = request(cookies={"s": 1, b"s": 2, 3: [None]})
        back = ZQRequest.deserialize(r.serialize())
        self.assertEqual(back.cookies, {"s": 1, b"s": 2, 3: [None]})
        self.assertEqual(request(cookies={}).serialize()[3] & 0x40, 0)
        self.assertEqual(request().serialize(), request(cookies={}).serialize())
        # A map holding "zq" twice: origin from the first, cookies keep the last.
        cookies = bytes.fromhex("82 a2 7a 71 81 a6 6f 72 69 67 69 6e a1 61 a2 7a 71 a1 62")
        header = bytes.fromhex("25 02 01 40 07") + b"zq://h/" + bytes([len(cookies)]) + cookies
        read = ZQRequest.deserialize(header)
        self.assertEqual((read.origin, read.cookies, read.hasPayload), ("a", {"zq": "b"}, False))

    def test_origin(self):
        cases = [({"zq": {"origin": "a"}}, "a"), ({"zq": "a"}, None), ({"zq": {"Origin": "a"}}, None),
                 ({b"zq": {"origin": "a"}}, None), ({"zq": {b"origin": "a"}}, None), ({}, None),
                 ({"zq": {"other": 1, "origin": [1, {"x": None}]}}, [1, {"x": None}])]
        for cookies, expected in cases:
            self.assertEqual(request(cookies=cookies).origin, expected, cookies)

    def test_deserialize_errors(self):
        cases = [
            (WORKED + b"\x00", "invalid wire data: Trailing bytes"),
            (WORKED[:-1], "truncated wire buffer"),
            (bytes.fromhex("25 02 01 00 03 ff fe fd"), "invalid wire data: invalid utf-8 in url"),
            (bytes.fromhex("25 02 01 00 03 61 62 63"), "invalid wire data: invalid url"),
            (bytes.fromhex("25 02 01 40 07") + b"zq://h/" + b"\x01\x90", "invalid wire data: cookies must be msgpack map"),
            (bytes.fromhex("25 02 01 40 07") + b"zq://h/" + b"\x02\x80\x80", "invalid wire data: bad msgpack payload"),
        ]
        for data, message in cases:
            self.assert_raises_noted(lambda: ZQRequest.deserialize(data), ValueError, message, None, message)
        for data in (bytearray(WORKED), memoryview(WORKED), "text", None):
            self.assert_raises_noted(lambda: ZQRequest.deserialize(data), TypeError, None, "data")


class RoundTripTest(unittest.TestCase):
    """A request read back from its own bytes is the request written."""

    def assert_reads_back(self, r, label):
        back = ZQRequest.deserialize(r.serialize())
        self.assertEqual(url_parts(back.url), url_parts(r.url), label)
        self.assertEqual((back.method, back.transport, back.route, back.cookies, back.payloadSize),
                         (r.method, r.transport, r.route, r.cookies, r.payloadSize), label)
        self.assertEqual(back.serialize(), r.serialize(), label)

    def test_empty_url_and_library_urls(self):
        empty = ZQRequest("get", Url())
        back = ZQRequest.deserialize(empty.serialize())
        self.assertEqual((back.url.hostname, back.url.path, str(back.url)), (None, "/", "zq:///"))
        self.assertEqual(back.serialize(), empty.serialize())
        for text in ("lib://name/x?v=1", "lib://x", "a~b~lib://n#f", "lib://lib.sys/y"):
            r = ZQRequest("get", Url(text))
            once = ZQRequest.deserialize(r.serialize())
            twice = ZQRequest.deserialize(once.serialize())
            self.assertEqual((once.url.path, twice.url.path), (r.url.path, r.url.path), text)
            self.assert_reads_back(r, text)

    def test_setter_made_urls(self):
        tilde = Url("x://h/p")
        tilde.scheme = "a~b~c~d"  # written without a transport, it cannot split as a chain
        library = Url("lib://x")
        library.path = ""
        for url in (tilde, library):
            self.assert_reads_back(ZQRequest("get", url), str(url))
        bare = Url()
        bare.path = ""
        self.assertEqual(ZQRequest.deserialize(ZQRequest("get", bare).serialize()).url.path, "/")

    def test_many_random_requests(self):
        rng = random.Random(9)
        chains = ["", "t~", "t~r~", "t~~", "a~~b~"]
        schemes = ["zq", "x", "lib", "file", "http"]
        hosts = ["h", "a.b", "[::1]", "[10.0.0.1]", "h:80", "[::1]:8080", "", "[[::1]"]
        paths = ["", "/", "/a/b", "/lib.sys", "/é"]
        queries = ["", "?a=1", "?a=1&b&a=2", "?s=x&f=1.5&t=True&n=None", "?k='q'&l=[1]"]
        fragments = ["", "#f", "#a?b"]
        tried = 0
        for _ in range(3000):
            text = (rng.choice(chains) + rng.choice(schemes) + "://" + rng.choice(hosts) + rng.choice(paths)
                    + rng.choice(queries) + rng.choice(fragments))
            try:
                url = Url(text)
            except ValueError:
                continue
            if "]:" in (url.hostname or ""):
                url.isIp = True  # a host with a port is always written bracketed
            cookies = rng.choice([None, {}, {"zq": {"origin": "o"}}, {"a": 1, b"a": [1.5, None]}])
            payload = rng.choice([None, TempDataObject(), TempDataObject(b""), {"k": list(range(rng.randrange(5)))}])
            r = ZQRequest(rng.choice(["get", "post", "custom"]), url, payload, cookies,
                          rng.choice([None, "t"]), rng.choice([None, "zq:net", "r"]))
            self.assert_reads_back(r, text)
            tried += 1
        self.assertGreater(tried, 1500)


class Parser:
    """A replacement parse_zq_protocol that records its calls and runs `action` first."""

    def __init__(self, action=None, result="parsed"):
        self.calls, self.action, self.result = [], action, result

    def __call__(self, *args, **kwargs):
        self.calls.append((args, kwargs))
        if self.action:
            self.action()
        return self.result


class TransportObjectTest(unittest.TestCase):
    def setUp(self):
        self.saved = parser_module.parse_zq_protocol
        self.addCleanup(setattr, parser_module, "parse_zq_protocol", self.saved)

    def test_stand_in_parses_the_token(self):
        self.assertEqual(request().transportObject, ("zq", "quik", "real"))
        self.assertEqual(request(transport="tcp").transportObject, ("tcp",))

    def test_imported_on_every_read_and_returned_unchanged(self):
        r = request(transport="tok")
        result = object()
        parser_module.parse_zq_protocol = first = Parser(result=result)
        self.assertIs(r.transportObject, result)
        parser_module.parse_zq_protocol = second = Parser(result=7)
        self.assertEqual(r.transportObject, 7)
        self.assertEqual((first.calls, second.calls), ([(("tok",), {})], [(("tok",), {})]))

    def test_errors_propagate(self):
        r = request()

        def boom():
            raise KeyError("parser")

        parser_module.parse_zq_protocol = Parser(boom)
        with self.assertRaises(KeyError):
            r.transportObject
        del parser_module.parse_zq_protocol
        with self.assertRaises(AttributeError):
            r.transportObject
        saved_module = sys.modules.pop("duvevodavid.net.zqTransportProtocolParser")
        self.addCleanup(sys.modules.__setitem__, "duvevodavid.net.zqTransportProtocolParser", saved_module)
        sys.modules["duvevodavid.net.zqTransportProtocolParser"] = None
        with self.assertRaises(ImportError):
            r.transportObject

    def test_parser_reaching_the_same_request(self):
        r = request()
        seen = []
        for action, error in [(lambda: r.setMethod("post"), "Already borrowed"),
                              (lambda: r.payload, "Already borrowed"),
                              (lambda: setattr(r, "cookies", {}), "Already borrowed")]:
            def attempt(action=action):
                with self.assertRaises(RuntimeError) as caught:
                    action()
                seen.append(str(caught.exception))
                seen.append((r.method, r.hasPayload, r.serialize() == request().serialize()))

            parser_module.parse_zq_protocol = Parser(attempt)
            r.transportObject
            self.assertEqual(seen, [error, ("get", True, True)])
            seen.clear()
        self.assertEqual(r.method, "get")

    def test_installed_regular_package_takes_precedence(self):
        with tempfile.TemporaryDirectory() as root:
            package = os.path.join(root, "duvevodavid", "net")
            os.makedirs(package)
            open(os.path.join(package, "__init__.py"), "w").close()
            with open(os.path.join(package, "zqTransportProtocolParser.py"), "w") as f:
                f.write("def parse_zq_protocol(token):\n    return 'installed', token\n")
            saved = {name: sys.modules.pop(name) for name in list(sys.modules)
                     if name.startswith("duvevodavid.net")}
            sys.path.append(root)  # last on the path, still ahead of namespace portions
            try:
                self.assertEqual(request().transportObject, ("installed", "zq:quik:real"))
            finally:
                sys.path.remove(root)
                for name in [n for n in sys.modules if n.startswith("duvevodavid.net")]:
                    del sys.modules[name]
                sys.modules.update(saved)
        self.assertEqual(request().transportObject, ("zq", "quik", "real"))


class ResponseTest(NotedErrorTestCase):
    def test_command_only_has_a_nil_payload(self):
        r = ZQResponse("ok")
        self.assertEqual((r.hasPayload, r.payload, r.payloadSize, r.cookies), (True, None, NIL_STP_SIZE, {}))
        self.assertEqual(r.command.value, "ok")  # normal form only on the wire
        self.assertTrue(r.serialize().endswith(STPContainer(None).serialize()))
        self.assertEqual(r.serializeHeader(), r.serialize()[:-NIL_STP_SIZE])

    def test_inline_ok(self):
        r = ZQResponse("ok", TempDataObject())
        self.assertEqual(r.serialize(), b"\x02")
        back = ZQResponse.deserialize(b"\x02")
        self.assertEqual((back.command.value, back.hasPayload, back.payload), (True, False, None))
        self.assertIs(ZQResponse.deserialize(ZQResponse("ok").serialize()).command.value, True)

    def test_commands(self):
        for value in (False, 0, 2**64 - 1, "", "zq:error:5", b"", b"\xff"):
            self.assertEqual(ZQResponse(value, TempDataObject()).command.value, value)
        self.assertEqual(ZQResponse(CommandObject(5).value).command.value, 5)
        for bad in (CommandObject(5), None, 1.5, [1]):
            self.assert_raises_noted(lambda: ZQResponse(bad), TypeError, "Command must be str, int, bool or bytes",
                                     None, repr(bad))
        for bad in (-1, 2**64):
            self.assert_raises_noted(lambda: ZQResponse(bad), OverflowError, None, None, bad)
        self.assert_raises_noted(lambda: ZQResponse(2**62).serialize(), ValueError,
                                 "value too large for wire encoding", None)
        self.assertEqual(ZQResponse.deserialize(ZQResponse(2**62 - 1).serialize()).command.value, 2**62 - 1)
        r = ZQResponse(200)
        first, second = r.command, r.command
        self.assertEqual(first, second)
        self.assertIsNot(first, second)

    def test_constructor_checks_in_order(self):
        cases = [
            ("cookies", lambda: ZQResponse(None, object(), [], 1.5), TypeError,
             "'list' object is not an instance of 'dict'", "cookies"),
            ("payloadSize", lambda: ZQResponse(None, object(), None, 1.5), TypeError, None, "payloadSize"),
            ("cookie value", lambda: ZQResponse(None, object(), {"k": object()}), TypeError, None, None),
            ("command", lambda: ZQResponse(None, object()), TypeError, "Command must be str, int, bool or bytes",
             None),
            ("payload", lambda: ZQResponse(1, object()), TypeError, None, None),
        ]
        for label, call, exc_type, message, note in cases:
            self.assert_raises_noted(call, exc_type, message, note, label)
        for size in (-2**63, 2**63 - 1, True):
            self.assertTrue(ZQResponse(1, payloadSize=size).hasPayload)

    def test_version_is_the_records(self):
        message = bytes([0x80 | 0x02])  # version 2, Bool true, inline
        r = ZQResponse.deserialize(message)
        self.assertEqual(r.serialize(), message)
        self.assertEqual(ZQResponse(1).serialize()[0] >> 6, 0)
        with self.assertRaises(TypeError):
            r.serialize(0)
        with self.assertRaises(TypeError):
            r.serializeHeader(0)
        self.assertEqual(ZQResponse.serialize.__text_signature__, "($self)")
        self.assertEqual(str(inspect.signature(ZQResponse)), "(command, payload=None, cookies=None, payloadSize=None)")

    def test_subclass(self):
        class Answer(ZQResponse):
            def describe(self):
                return "answer %s" % self.command.value

        a = Answer("ok", [1], {"c": 1})
        a.note = "kept"
        self.assertIsInstance(a, Answer)
        self.assertEqual((a.describe(), a.note, a.__dict__, a.payload), ("answer ok", "kept", {"note": "kept"}, [1]))
        self.assertIs(type(Answer.deserialize(a.serialize())), ZQResponse)
        self.assertIs(type(a.command), CommandObject)
        self.assertIs(type(a.tdo), TempDataObject)
        with self.assertRaises(AttributeError):
            ZQResponse(1).note = "refused"
        self.assertNotIn("__repr__", ZQResponse.__dict__)

    def test_cookies_and_payload(self):
        r = ZQResponse(1, {"k": "v"}, {"a": [1]})
        r.cookies["a"].append(2)
        self.assertEqual(r.cookies, {"a": [1]})
        r.cookies = {"b": 2}
        self.assertEqual(r.cookies, {"b": 2})
        with self.assertRaisesRegex(AttributeError, "^property has no deleter$"):
            del r.cookies
        back = ZQResponse.deserialize(r.serialize())
        self.assertEqual((back.command.value, back.cookies, back.payload), (1, {"b": 2}, {"k": "v"}))
        self.assertEqual(back.serialize(), r.serialize())

    def test_deserialize_errors(self):
        cases = [
            (b"", "truncated wire buffer"),
            (ZQResponse(1).serialize() + b"\x00", "invalid wire data: Trailing bytes"),
            (bytes([0x22, 0xff, 0xfe]), "invalid wire data: invalid utf-8 in command"),
        ]
        for data, message in cases:
            self.assert_raises_noted(lambda: ZQResponse.deserialize(data), ValueError, message, None, message)
        self.assert_raises_noted(lambda: ZQResponse.deserialize(bytearray(b"\x02")), TypeError, None, "data")


if __name__ == "__main__":
    unittest.main()
