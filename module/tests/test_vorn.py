"""VORNObject: the type object, objectId with its memo and its plain-Exception errors, the
static fromObjectID and its KeyError and overflow, the byte forms, and argument errors."""

import inspect
import unittest

from duvevodavid import _zqobjects as m
from duvevodavid._zqobjects import VORNObject
from support import NotedErrorTestCase

OUT_OF_RANGE = "vornid out of u64 range"


class VORNObjectTest(NotedErrorTestCase):
    def assert_plain_exception(self, call, text):
        with self.assertRaises(Exception) as caught:
            call()
        self.assertIs(type(caught.exception), Exception)
        self.assertEqual(caught.exception.args, (text,))

    def test_type_object(self):
        self.assertEqual(VORNObject.__module__, "duvevodavid.vorn.objects")
        self.assertEqual(VORNObject.__doc__, "`duvevodavid.vorn.objects.VORNObject`.")
        self.assertEqual(str(inspect.signature(VORNObject)), "(vornid)")
        self.assertEqual(m.__all__.index("VORNObject"), m.__all__.index("Url") - 1)
        declared = [name for name in vars(VORNObject) if not name.startswith("__")]
        self.assertEqual(declared, ["objectId", "fromObjectID", "toBytes", "fromBytes", "toBytesMaxShort",
                                    "fromBytesMaxShort", "vornid"])
        with self.assertRaises(TypeError):
            type("Sub", (VORNObject,), {})
        with self.assertRaises(AttributeError):
            VORNObject(1).extra = 1

    def test_object_id_and_memo(self):
        obj = VORNObject(2500)
        self.assertEqual(obj.objectId(8), 500)
        for kind in (9, 1):
            self.assertEqual(obj.objectId(object_type=kind), 500)
        obj.vornid = 100500
        self.assertEqual(obj.vornid, 100500)
        self.assertEqual(obj.objectId(9), 500)
        for vornid, kind, object_id in [(100000, 9, 0), (4295067295, 9, 4294967295), (2000, 8, 0), (2999, 8, 999)]:
            self.assertEqual(VORNObject(vornid).objectId(kind), object_id)

    def test_object_id_errors_leave_the_memo_empty(self):
        obj = VORNObject(2500)
        for kind, text in [(9, "Invalid object_id 2500 for object type region"),
                           (2, "Object type user has no supported object_id"),
                           (12, "Unknown object type 12"), (-1, "Unknown object type -1")]:
            self.assert_plain_exception(lambda: obj.objectId(kind), text)
        self.assertEqual(obj.objectId(8), 500)
        self.assert_plain_exception(lambda: VORNObject(3000).objectId(8),
                                    "Invalid object_id 3000 for object type federation")
        self.assert_raises_noted(lambda: obj.objectId(2 ** 63), OverflowError, None, "object_type")

    def test_from_object_id(self):
        for object_id, kind, vornid in [(5, 8, 2005), (0, 9, 100000), (1000, 8, 3000), (-2000, 8, 0),
                                        (2 ** 63 - 1, 9, 2 ** 63 - 1 + 100000)]:
            made = VORNObject.fromObjectID(object_id, kind)
            self.assertIs(type(made), VORNObject)
            self.assertEqual(made.vornid, vornid)
        for object_id, kind in [(-2001, 8), (-(2 ** 63), 9)]:
            with self.assertRaises(OverflowError) as caught:
                VORNObject.fromObjectID(object_id, kind)
            self.assertEqual(str(caught.exception), OUT_OF_RANGE)
        for kind in (3, -1):
            with self.assertRaises(KeyError) as caught:
                VORNObject.fromObjectID(object_id=1, object_type=kind)
            self.assertIs(type(caught.exception), KeyError)
            self.assertEqual(caught.exception.args, (kind,))
        # The kind is checked before the sum.
        with self.assertRaises(KeyError):
            VORNObject.fromObjectID(-(2 ** 63), 3)
        self.assert_raises_noted(lambda: VORNObject.fromObjectID(2 ** 63, 8), OverflowError, None, "object_id")
        self.assert_raises_noted(lambda: VORNObject.fromObjectID(1, None), TypeError, None, "object_type")

    def test_memo_starts_empty_in_made_instances(self):
        made = VORNObject.fromObjectID(5, 8)
        self.assert_plain_exception(lambda: made.objectId(9), "Invalid object_id 2005 for object type region")
        self.assertEqual(VORNObject.fromBytesMaxShort(VORNObject(100001).toBytesMaxShort()).objectId(9), 1)

    def test_byte_forms(self):
        one = VORNObject(1)
        self.assertEqual(one.toBytes(), bytes(31) + b"\x01")
        self.assertEqual(one.toBytesMaxShort(), bytes(7) + b"\x01")
        for vornid in (0, 1, 0x0102030405060708, 2 ** 64 - 1):
            obj = VORNObject(vornid)
            for form in (obj.toBytes(), obj.toBytesMaxShort()):
                self.assertEqual(VORNObject.fromBytesMaxShort(form).vornid, vornid)
        self.assertEqual(VORNObject.fromBytesMaxShort(b"").vornid, 0)
        for data in (b"\x01" + bytes(8), b"\x01" + bytes(16)):
            with self.assertRaises(OverflowError) as caught:
                VORNObject.fromBytesMaxShort(data)
            self.assertEqual(str(caught.exception), OUT_OF_RANGE)

    def test_from_bytes(self):
        obj = VORNObject(7)
        for data, vornid in [(bytes(range(12)), 0x0203040506070809), (b"\x00\x00\x01\x02", 258), (b"ab", 0),
                             (VORNObject(2 ** 64 - 1).toBytes(), 0), (b"", 0)]:
            self.assertIsNone(obj.fromBytes(data))
            self.assertEqual(obj.vornid, vornid, data)

    def test_from_bytes_keeps_the_memo(self):
        obj = VORNObject(2500)
        self.assertEqual(obj.objectId(8), 500)
        obj.fromBytes(bytes(range(12)))
        self.assertEqual(obj.objectId(8), 500)

    def test_argument_errors(self):
        for value in (-1, 2 ** 64):
            self.assert_raises_noted(lambda: VORNObject(value), OverflowError, None, "vornid")
        self.assert_raises_noted(lambda: VORNObject("1"), TypeError, None, "vornid")
        obj = VORNObject(1)

        def assign(value):
            obj.vornid = value

        self.assert_raises_noted(lambda: assign(-1), OverflowError, None, "value")
        self.assert_raises_noted(lambda: obj.fromBytes(bytearray(b"ab")), TypeError,
                                 "'bytearray' object is not an instance of 'bytes'", "data")
        self.assert_raises_noted(lambda: VORNObject.fromBytesMaxShort("ab"), TypeError, None, "data")
        with self.assertRaises(AttributeError):
            del obj.vornid
        with self.assertRaises(TypeError):
            obj.toBytes(1)
        self.assertEqual(obj.vornid, 1)


if __name__ == "__main__":
    unittest.main()
