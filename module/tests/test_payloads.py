"""VFSDContainer and FATManifestContainer, and the TempDataObject payload holder: construction
rules and their order, frames from hostile iterables, the holder's state table, its factories,
re-entrant calls, and payloads that decode but would not encode again."""

import collections.abc
import inspect
import itertools
import unittest

from duvevodavid._zqobjects import (DMPContainer, FATManifestContainer, ITPContainer, STPContainer,
                                    TempDataObject, VFSDContainer)
from support import CaughtUnraisable, NotedErrorTestCase, released_memoryview

ABS_ID = bytes(range(32))
FRAME = (1, "f", ABS_ID, 5, None)
EXPECTED_CONTAINER = "expected a ZQ container (STP/ITP/VFSD/FAT/DMP) or bytes"
STP_BYTES = bytes.fromhex("0002010081a16101")  # {"a": 1}, version 1
# A FAT manifest of 0 parts, a timestamp whose nanos exceed 999999999 and a value nested 513
# deep: each decodes, none is written again by its encoder.
FAT_WITHOUT_PARTS = bytes.fromhex("0004000040644400000000")
STP_TIMESTAMP_NANOS = bytes.fromhex("00020000d7fffffffffc00000000")
STP_NESTED_513 = bytes.fromhex("00020000") + b"\x91" * 513 + b"\xc0"


class Index:
    def __init__(self, value, before=None):
        self.value, self.before = value, before

    def __index__(self):
        if self.before:
            self.before()
        return self.value


class VFSDContainerTest(NotedErrorTestCase):
    def test_path_only(self):
        container = VFSDContainer("")
        self.assertEqual((container.path, container.frames, container.count), ("", [], 0))
        self.assertEqual((container.version, container.created_ns, container.updated_ns, container.epoch,
                          container.compression_info), (0, 0, 0, 0, None))
        self.assertEqual(container.serialize(), bytes.fromhex("000300000000000000"))
        self.assertEqual(VFSDContainer.deserialize(container.serialize()).compression_info, (0, 0, 0, 0))

    def test_frames_read_back_as_new_tuples(self):
        container = VFSDContainer("p", [FRAME])
        self.assertEqual((container.count, container.frames), (1, [FRAME]))
        self.assertIsNot(container.frames, container.frames)
        self.assertIsNot(container.frames[0], container.frames[0])
        as_list = VFSDContainer("p", [[2, "g", bytearray(ABS_ID), 7, b""]])
        self.assertEqual(as_list.frames, [(2, "g", ABS_ID, 7, b"")])

    def test_generator_and_other_iterables(self):
        frames = [(i, "n%d" % i, ABS_ID, i, bytes([i])) for i in range(3)]
        container = VFSDContainer("p", (frame for frame in frames))
        self.assertEqual((container.frames, container.count), (frames, 3))
        self.assertEqual(VFSDContainer("p", [iter(FRAME), list(ABS_ID) and FRAME]).frames, [FRAME, FRAME])
        self.assertEqual(VFSDContainer("p", [(1, "f", list(ABS_ID), 5, [1, 2])]).frames,
                         [(1, "f", ABS_ID, 5, b"\x01\x02")])

    def test_count_is_checked_by_serialize(self):
        container = VFSDContainer("p", [FRAME], count=3)
        self.assertEqual(container.count, 3)
        with self.assertRaises(ValueError) as caught:
            container.serialize()
        self.assertEqual(str(caught.exception), "invalid wire data: VFSD frame count mismatch")
        encoded = VFSDContainer("p", [FRAME], 4, 5, 6, 7, count=1, compression_info=(1, 0, 0, 1)).serialize()
        decoded = VFSDContainer.deserialize(encoded)
        self.assertEqual((decoded.frames, decoded.version, decoded.created_ns, decoded.updated_ns, decoded.epoch,
                          decoded.count, decoded.compression_info), ([FRAME], 4, 5, 6, 7, 1, (1, 0, 0, 1)))

    def test_frame_errors_carry_no_note(self):
        cases = [
            ((1, "f", ABS_ID, 5), ValueError, "VFSD frame must be a tuple/list of 5 items"),
            (FRAME + (None,), ValueError, "VFSD frame must be a tuple/list of 5 items"),
            ((65536, "f", ABS_ID, 5, None), ValueError, "frame type out of range"),
            ((-1, "f", ABS_ID, 5, None), ValueError, "frame type out of range"),
            ((2**63, "f", ABS_ID, 5, None), OverflowError, None),  # read as a signed 64-bit integer first
            ((1.0, "f", ABS_ID, 5, None), TypeError, None),
            ((1, 5, ABS_ID, 5, None), TypeError, "'int' object is not an instance of 'str'"),
            ((1, "f", ABS_ID[:31], 5, None), ValueError, "frame abs_id must be bytes(32)"),
            ((1, "f", "x" * 32, 5, None), TypeError, "a string cannot be taken as a sequence of items"),
            ((1, "f", ABS_ID, -1, None), OverflowError, None),
            ((1, "f", ABS_ID, 2**64, None), OverflowError, None),
            ((1, "f", ABS_ID, 5, "text"), TypeError, "a string cannot be taken as a sequence of items"),
            (5, TypeError, "'int' object is not iterable"),
        ]
        for frame, exc_type, message in cases:
            for build in (VFSDContainer, TempDataObject.VFSD):
                self.assert_raises_noted(lambda: build("p", [FRAME, frame]), exc_type, message, None, label=frame)

    def test_conversion_order(self):
        self.assert_raises_noted(lambda: VFSDContainer(5), TypeError, "'int' object is not an instance of 'str'",
                                 "path")
        self.assert_raises_noted(lambda: VFSDContainer("p", 5), TypeError, "'int' object is not iterable", None)
        # Every typed parameter is converted before the frames are looked at.
        for keyword in ("version", "created_ns", "updated_ns", "epoch", "count"):
            self.assert_raises_noted(lambda: VFSDContainer("p", 5, **{keyword: -1}), OverflowError, None, keyword)
        self.assert_raises_noted(lambda: VFSDContainer("p", 5, version=None), TypeError, None, "version")
        self.assert_raises_noted(lambda: VFSDContainer("p", 5, version=-1, compression_info=()), OverflowError,
                                 None, "version")
        self.assert_raises_noted(lambda: VFSDContainer("p", 5, compression_info=()), ValueError,
                                 "expected tuple of length 4, but got tuple of length 0", "compression_info")
        self.assertEqual(VFSDContainer("p", None, count=None).count, 0)

    def test_hostile_iterables(self):
        class Lying:
            """An iterator whose length hint lies or raises."""

            def __init__(self, items, hint):
                self.items, self.hint = iter(items), hint

            def __iter__(self):
                return self

            def __next__(self):
                return next(self.items)

            def __length_hint__(self):
                if isinstance(self.hint, BaseException):
                    raise self.hint
                return self.hint

        def raising_midway():
            yield FRAME
            raise KeyError("midway")

        self.assertEqual(VFSDContainer("p", Lying([FRAME], 2**62)).frames, [FRAME])
        self.assertEqual(VFSDContainer("p", [Lying(FRAME, 10**6)]).frames, [FRAME])
        with CaughtUnraisable() as caught:
            self.assertEqual(VFSDContainer("p", [Lying(FRAME, ValueError("hint"))]).frames, [FRAME])
        self.assertEqual([type(u.exc_value) for u in caught.seen], [ValueError])
        self.assert_raises_noted(lambda: VFSDContainer("p", raising_midway()), KeyError, None, None)
        self.assert_raises_noted(lambda: VFSDContainer("p", [FRAME, (x for x in raising_midway())]), KeyError,
                                 None, None)

    def test_released_memoryview_fails_the_call(self):
        # The call raises the error iter() came back with; it builds no container of no frames
        # and reports nothing as unraisable.
        cases = [
            ("frames", lambda build: build("p", released_memoryview())),
            ("one frame", lambda build: build("p", [FRAME, released_memoryview()])),
            ("abs_id", lambda build: build("p", [(1, "f", released_memoryview(), 5, None)])),
            ("frame payload", lambda build: build("p", [(1, "f", ABS_ID, 5, released_memoryview())])),
        ]
        for build in (VFSDContainer, TempDataObject.VFSD):
            for label, call in cases:
                with CaughtUnraisable() as caught:
                    self.assert_raises_noted(lambda: call(build), ValueError,
                                             "operation forbidden on released memoryview object", None,
                                             label="%s: %s" % (build.__qualname__, label))
                self.assertEqual(caught.seen, [], label)

    def test_endless_frame_stops_after_six_elements(self):
        pulled = itertools.count()
        self.assert_raises_noted(lambda: VFSDContainer("p", [pulled]), ValueError,
                                 "VFSD frame must be a tuple/list of 5 items", None)
        self.assertEqual(next(pulled), 6)
        self.assert_raises_noted(lambda: TempDataObject.VFSD("p", [itertools.repeat(1)]), ValueError,
                                 "VFSD frame must be a tuple/list of 5 items", None)

    def test_element_conversion_that_empties_its_frame(self):
        frame = [None, "f", ABS_ID, 5, b"x"]
        frame[0] = Index(3, frame.clear)
        self.assertEqual(VFSDContainer("p", [frame]).frames, [(3, "f", ABS_ID, 5, b"x")])
        frames = [None]
        frames[0] = (Index(4, frames.clear), "f", ABS_ID, 5, None)
        self.assertEqual(VFSDContainer("p", frames).frames, [(4, "f", ABS_ID, 5, None)])

    def test_deserialize_errors(self):
        frame_body = VFSDContainer("p", [FRAME]).serialize()
        cases = [
            (b"", "truncated wire buffer"),
            (STP_BYTES, "invalid wire data: not a VFSD container"),
            (frame_body[:-1], "invalid wire data: VFSD payload has trailing incomplete msgpack frame"),
        ]
        for data, message in cases:
            self.assert_raises_noted(lambda: VFSDContainer.deserialize(data), ValueError, message, None)
        self.assert_raises_noted(lambda: VFSDContainer.deserialize(bytearray(frame_body)), TypeError,
                                 "'bytearray' object is not an instance of 'bytes'", "data")


class FATManifestContainerTest(NotedErrorTestCase):
    def test_without_payload(self):
        manifest = FATManifestContainer(100, 1024, 1)
        self.assertEqual((manifest.size, manifest.part_size, manifest.parts_count, manifest.parts_abs_ids,
                          manifest.checksum, manifest.created_ns, manifest.version, manifest.compression_info),
                         (100, 1024, 1, [], None, 0, 0, None))
        for parts_count, message in ((1, "FAT manifest part count mismatch"), (0, "parts_count must be > 0")):
            with self.assertRaises(ValueError) as caught:
                FATManifestContainer(100, 1024, parts_count, None).serialize()
            self.assertEqual(str(caught.exception), "invalid wire data: " + message)

    def test_round_trip(self):
        ids = bytes(range(64))
        manifest = FATManifestContainer(2048, 1024, 2, list(ids), bytearray(range(16)), 9, 3)
        self.assertEqual(manifest.parts_abs_ids, [ids[:32], ids[32:]])
        self.assertEqual(manifest.checksum, bytes(range(16)))
        decoded = FATManifestContainer.deserialize(manifest.serialize())
        self.assertEqual((decoded.size, decoded.part_size, decoded.parts_count, decoded.parts_abs_ids,
                          decoded.checksum, decoded.created_ns, decoded.version, decoded.compression_info),
                         (2048, 1024, 2, [ids[:32], ids[32:]], bytes(range(16)), 9, 3, (0, 0, 0, 0)))
        compressed = FATManifestContainer(2048, 1024, 2, ids, compression_info=(1, 0, 0, 3)).serialize()
        self.assertEqual(FATManifestContainer.deserialize(compressed).parts_abs_ids, [ids[:32], ids[32:]])

    def test_checks_in_order(self):
        cases = [
            (dict(part_size=1023, checksum=bytes(15)), "checksum must be bytes(16)"),
            (dict(part_size=1023, payload=bytes(33)), "invalid wire data: part_size must be >= 1024 bytes"),
            (dict(payload=bytes(33)), "invalid wire data: FAT manifest payload length must be divisible by 32"),
        ]
        for build in (FATManifestContainer, TempDataObject.FATManifest):
            for extra, message in cases:
                arguments = dict(size=100, part_size=1024, parts_count=1)
                arguments.update(extra)
                self.assert_raises_noted(lambda: build(**arguments), ValueError, message, None, label=message)

    def test_no_parts_and_no_relation_between_sizes_are_accepted(self):
        self.assertEqual(FATManifestContainer(0, 1024, 0).parts_count, 0)
        self.assertEqual(TempDataObject.FATManifest(1, 1024, 5, bytes(32)).container.parts_count, 5)

    def test_parameter_conversions(self):
        cases = [
            (lambda: FATManifestContainer(), TypeError, None, None),
            (lambda: FATManifestContainer(None, 1024, 1), TypeError, None, "size"),
            (lambda: FATManifestContainer(1, -1, 1), OverflowError, None, "part_size"),
            (lambda: FATManifestContainer(1, 1024, 1, "ids"), TypeError,
             "a string cannot be taken as a sequence of items", "payload"),
            (lambda: FATManifestContainer(1, 1024, 1, None, 5), TypeError,
             "'int' object is not an instance of 'Sequence'", "checksum"),
            (lambda: FATManifestContainer(1, 1024, 1, "ids", created_ns=-1), TypeError, None, "payload"),
            (lambda: FATManifestContainer(1, 1023, 1, None, None, None), TypeError, None, "created_ns"),
            (lambda: FATManifestContainer(1, 1023, 1, version=-1), OverflowError, None, "version"),
            (lambda: FATManifestContainer(1, 1023, 1, compression_info=[]), TypeError,
             "'list' object is not an instance of 'tuple'", "compression_info"),
        ]
        for call, exc_type, message, note in cases:
            if note is None and message is None:
                self.assertRaises(exc_type, call)
                continue
            self.assert_raises_noted(call, exc_type, message, note, label=note)

    def test_deserialize_errors(self):
        checksum_5 = bytes.fromhex("00040000406444000105") + bytes(5) + b"\x00" + bytes(32)
        cases = [
            (b"\x00", "truncated wire buffer"),
            (STP_BYTES, "invalid wire data: not a FAT manifest container"),
            (checksum_5, "invalid wire data: checksum must be bytes(16)"),
        ]
        for data, message in cases:
            self.assert_raises_noted(lambda: FATManifestContainer.deserialize(data), ValueError, message, None)


class ClassShapeTest(unittest.TestCase):
    SIGNATURES = {
        VFSDContainer: "(path, payload=None, version=0, created_ns=0, updated_ns=0, epoch=0, count=None, "
                       "compression_info=None)",
        FATManifestContainer: "(size, part_size, parts_count, payload=None, checksum=None, created_ns=0, "
                              "version=0, compression_info=None)",
        TempDataObject: "(container=None)",
    }
    STATIC = {
        "deserialize": "(data, unpack_container=False)",
        "STP": "(payload, version=0, compression_info=None)",
        "ITP": "(interpreterType, payload, interpretatorVersion=0, compression_info=None)",
        "VFSD": "(path, payload=None, version=0, created_ns=0, updated_ns=0, epoch=0, count=None, "
                "compression_info=None)",
        "FATManifest": "(size, part_size, parts_count, payload=None, checksum=None, created_ns=0, version=0, "
                       "compression_info=None)",
        "DMP": "(schema_name, payload, version=0, compression_info=None, schema_kind=0)",
    }

    def test_signatures_and_docstrings(self):
        for cls, signature in self.SIGNATURES.items():
            self.assertEqual(cls.__module__, "duvevodavid.net.objects")
            self.assertEqual(str(inspect.signature(cls)), signature)
            self.assertFalse(cls.__doc__, cls)
            self.assertEqual(cls.serialize.__text_signature__, "($self)")
            with self.assertRaises(TypeError):
                type("Sub", (cls,), {})
        for name, signature in self.STATIC.items():
            self.assertEqual(getattr(TempDataObject, name).__text_signature__, signature, name)
        self.assertEqual(TempDataObject.setContainer.__text_signature__, "($self, container)")
        self.assertEqual(VFSDContainer.deserialize.__text_signature__, "(data)")
        self.assertIn("5-кортеж", VFSDContainer.frames.__doc__)
        self.assertIn("32 байта", FATManifestContainer.parts_abs_ids.__doc__)
        self.assertIsNone(VFSDContainer.path.__doc__)
        self.assertIsNone(TempDataObject.container.__doc__)

    def test_factory_argument_messages_name_the_factory(self):
        cases = [
            (lambda: TempDataObject.ITP(), "TempDataObject.ITP() missing 2 required positional arguments: "
                                           "'interpreterType' and 'payload'"),
            (lambda: TempDataObject.STP(), "TempDataObject.STP() missing 1 required positional argument: 'payload'"),
            (lambda: TempDataObject.VFSD(colour=1), "TempDataObject.VFSD() got an unexpected keyword argument "
                                                    "'colour'"),
            (lambda: TempDataObject.FATManifest(1, 2), "TempDataObject.FATManifest() missing 1 required positional "
                                                       "argument: 'parts_count'"),
            (lambda: TempDataObject.DMP("s", 1, 0, None, 0, 6), "TempDataObject.DMP() takes from 2 to 5 positional "
                                                                "arguments but 6 were given"),
            (lambda: TempDataObject(1, 2), "TempDataObject.__new__() takes from 0 to 1 positional arguments but 2 "
                                           "were given"),
            (lambda: TempDataObject().setContainer(), "TempDataObject.setContainer() missing 1 required positional "
                                                      "argument: 'container'"),
            (lambda: TempDataObject.deserialize(), "TempDataObject.deserialize() missing 1 required positional "
                                                   "argument: 'data'"),
            (lambda: VFSDContainer(), "VFSDContainer.__new__() missing 1 required positional argument: 'path'"),
        ]
        for call, message in cases:
            with self.assertRaises(TypeError) as caught:
                call()
            self.assertEqual(str(caught.exception), message)


def hostile_sequence(on_call, items=b"\x00\x01\x02"):
    """A Sequence whose __len__ and __getitem__ run `on_call` first."""

    class Hostile(collections.abc.Sequence):
        def __len__(self):
            on_call()
            return len(items)

        def __getitem__(self, i):
            on_call()
            return items[i]

    return Hostile()


class TempDataObjectTest(NotedErrorTestCase):
    def test_empty(self):
        for holder in (TempDataObject(), TempDataObject(None), TempDataObject(container=None)):
            self.assertIsNone(holder.serialize())
            self.assertIsNone(holder.container)

    def test_bytes_like_gives_raw_bytes_unchecked(self):
        for given in (b"", b"not a container", bytearray(b"\x00\x06"), [0, 2, 255], (1,), range(3)):
            holder = TempDataObject(given)
            self.assertEqual(holder.serialize(), bytes(given), given)
            for _ in range(2):  # every read fails again, and the bytes stay
                with self.assertRaises(ValueError):
                    holder.container
                self.assertEqual(holder.serialize(), bytes(given), given)
        with self.assertRaises(ValueError) as caught:
            TempDataObject(b"").container
        self.assertEqual(str(caught.exception), "truncated wire buffer")

    def test_refused_arguments_raise_value_error(self):
        for given in ("text", [1, 2, 300], [1, "2"], TempDataObject(), object(), 5, {1: 2}):
            self.assert_raises_noted(lambda: TempDataObject(given), ValueError, EXPECTED_CONTAINER, None, label=given)
        holder = TempDataObject(STP_BYTES)
        for given in (None, "text", TempDataObject(b"x")):
            self.assert_raises_noted(lambda: holder.setContainer(given), ValueError, EXPECTED_CONTAINER, None)
            self.assertEqual(holder.serialize(), STP_BYTES)

    def test_every_container_class(self):
        containers = [STPContainer({"a": [1, 2.5]}, 3, (1, 0, 0, 1)), ITPContainer("html", b"<p>" * 50, 1),
                      VFSDContainer("p", [FRAME]), FATManifestContainer(100, 1024, 1, ABS_ID, bytes(16)),
                      DMPContainer("schema", [None], 1, None, 4)]
        for container in containers:
            holder = TempDataObject(container)
            self.assertEqual(holder.serialize(), container.serialize(), container)
            first, second = holder.container, holder.container
            self.assertIs(type(first), type(container))
            self.assertIsNot(first, second)
            self.assertEqual(first.serialize(), container.serialize())
            raw = TempDataObject.deserialize(container.serialize())
            self.assertEqual(raw.container.serialize(), container.serialize())

    def test_state_table(self):
        def states():
            return {"Empty": TempDataObject(), "Raw": TempDataObject(STP_BYTES),
                    "Decoded": TempDataObject(STPContainer(7))}

        # setContainer given bytes-like: Raw; given a container: Decoded; anything else: unchanged.
        for name, holder in states().items():
            holder.setContainer(bytearray(b"new"))
            self.assertEqual(holder.serialize(), b"new", name)
            holder.setContainer(DMPContainer("s", 1))
            self.assertEqual(holder.container.schema_name, "s", name)
        for name, holder in states().items():
            before = holder.serialize()
            with self.assertRaises(ValueError):
                holder.setContainer(1.5)
            self.assertEqual(holder.serialize(), before, name)

    def test_raw_is_written_byte_for_byte_until_read(self):
        long_varint = bytes.fromhex("000240010081a16101")  # version 1 as a two-byte varint
        holder = TempDataObject.deserialize(long_varint)
        self.assertEqual(holder.serialize(), long_varint)
        self.assertEqual(holder.container.version, 1)
        self.assertEqual(holder.serialize(), STP_BYTES)  # the container's fresh encoding
        self.assertEqual(holder.container.payload, {"a": 1})

    def test_deserialize(self):
        self.assertEqual(TempDataObject.deserialize(b"junk").serialize(), b"junk")
        self.assertEqual(TempDataObject.deserialize(bytearray(STP_BYTES), True).container.payload, {"a": 1})
        self.assertEqual(TempDataObject.deserialize(list(STP_BYTES), unpack_container=True).serialize(), STP_BYTES)
        self.assert_raises_noted(lambda: TempDataObject.deserialize(b"junk", True), ValueError,
                                 "invalid wire data: Invalid TempDataObject data", None)
        self.assert_raises_noted(lambda: TempDataObject.deserialize("text"), TypeError,
                                 "a string cannot be taken as a sequence of items", "data")
        self.assert_raises_noted(lambda: TempDataObject.deserialize([1, 2, 300]), OverflowError,
                                 "out of range integral type conversion attempted", "data")
        for flag in (1, None):
            self.assert_raises_noted(lambda: TempDataObject.deserialize(b"", flag), TypeError, None,
                                     "unpack_container")

    def test_factories(self):
        cases = [
            (TempDataObject.STP((1, 2), 3), STPContainer((1, 2), 3)),
            (TempDataObject.ITP("html", b"x"), ITPContainer("html", b"x", 0)),
            (TempDataObject.ITP(2, [1], 4, (0, 0, 0, 0)), ITPContainer(2, [1], 4, (0, 0, 0, 0))),
            (TempDataObject.VFSD("p", [FRAME], epoch=2), VFSDContainer("p", [FRAME], epoch=2)),
            (TempDataObject.FATManifest(100, 1024, 1, ABS_ID), FATManifestContainer(100, 1024, 1, ABS_ID)),
            (TempDataObject.DMP("s", {"k": b"v"}, schema_kind=9), DMPContainer("s", {"k": b"v"}, schema_kind=9)),
        ]
        for holder, container in cases:
            self.assertEqual(holder.serialize(), container.serialize(), container)
            self.assertIs(type(holder.container), type(container))
        self.assertEqual(TempDataObject.ITP("html", b"x").container.interpretatorVersion, 0)
        vfsd = TempDataObject.VFSD("p", count=3)
        self.assertEqual(vfsd.container.count, 3)
        self.assertRaises(ValueError, vfsd.serialize)

    def test_factory_errors_match_the_constructors(self):
        cases = [
            (lambda: TempDataObject.ITP("html", b"x", None), TypeError, None, "interpretatorVersion"),
            (lambda: TempDataObject.ITP(1.5, "x"), TypeError, "a string cannot be taken as a sequence of items",
             "payload"),
            (lambda: TempDataObject.ITP(70000, b"x"), OverflowError, "out of range integral type conversion attempted",
             None),
            (lambda: TempDataObject.STP(object(), -1), OverflowError, None, "version"),
            (lambda: TempDataObject.STP(STPContainer(1)), TypeError,
             "unsupported type for ZQ serialization: STPContainer", None),
            (lambda: TempDataObject.DMP("", 1), ValueError, "invalid wire data: schema_name must be a non-empty str",
             None),
            (lambda: TempDataObject.DMP("", object()), TypeError, "unsupported type for ZQ serialization: object",
             None),
            (lambda: TempDataObject.DMP("s", 1, schema_kind=256), OverflowError, None, "schema_kind"),
            (lambda: TempDataObject.VFSD(5), TypeError, "'int' object is not an instance of 'str'", "path"),
        ]
        for call, exc_type, message, note in cases:
            self.assert_raises_noted(call, exc_type, message, note, label=(exc_type, message, note))

    def test_reentrant_calls_from_the_argument(self):
        holder = TempDataObject(STP_BYTES)
        seen = []

        def reenter():
            for call in (holder.serialize, lambda: holder.container, lambda: holder.setContainer(b"x"),
                         lambda: TempDataObject.STP(holder)):
                try:
                    call()
                except (RuntimeError, TypeError) as error:
                    seen.append(str(error))

        holder.setContainer(hostile_sequence(reenter))
        self.assertEqual(holder.serialize(), b"\x00\x01\x02")
        self.assertEqual(set(seen), {"Already mutably borrowed", "Already borrowed",
                                     "unsupported type for ZQ serialization: TempDataObject"})

        # A borrow error escaping the argument's __getitem__ is an ordinary failure of the
        # bytes-like conversion; the holder is then unchanged.
        before = holder.serialize()
        self.assert_raises_noted(lambda: holder.setContainer(hostile_sequence(lambda: holder.serialize())),
                                 ValueError, EXPECTED_CONTAINER, None)
        self.assertEqual(holder.serialize(), before)

    def test_severe_errors_propagate_unchanged(self):
        class Fault(BaseException):
            """Stands for the module's internal fault, also derived from BaseException."""

        for error in (KeyboardInterrupt(), SystemExit(3), MemoryError(), Fault()):
            def fail():
                raise error

            class FailingLen(collections.abc.Sequence):
                def __len__(self):
                    fail()

                def __getitem__(self, i):
                    raise IndexError(i)

            holder = TempDataObject(STP_BYTES)
            for given in (hostile_sequence(fail), [Index(1, fail)], FailingLen()):
                for call in (lambda: TempDataObject(given), lambda: holder.setContainer(given),
                             lambda: ITPContainer("html", given, 0)):
                    with self.assertRaises(type(error), msg=(error, given)):
                        call()
            self.assertEqual(holder.serialize(), STP_BYTES)
        # An ordinary error of len() is dropped and the items are still taken.
        self.assertEqual(TempDataObject(hostile_sequence(lambda: None)).serialize(), b"\x00\x01\x02")

    def test_read_payload_that_would_not_encode_again_stays_writable(self):
        for data in (FAT_WITHOUT_PARTS, STP_TIMESTAMP_NANOS, STP_NESTED_513):
            for holder in (TempDataObject(data), TempDataObject.deserialize(data, True)):
                container = holder.container
                self.assertIsInstance(container, (FATManifestContainer, STPContainer))
                with self.assertRaises(ValueError):
                    container.serialize()  # its encoder refuses it
                self.assertEqual(holder.serialize(), data)
                self.assertEqual(holder.serialize(), data)
        self.assertEqual(TempDataObject(FAT_WITHOUT_PARTS).container.parts_count, 0)
        self.assertRaises(NotImplementedError, lambda: TempDataObject(STP_TIMESTAMP_NANOS).container.payload)


if __name__ == "__main__":
    unittest.main()
