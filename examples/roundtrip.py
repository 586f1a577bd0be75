"""A container built from a Python value, serialized, deserialized and printed."""

from duvevodavid._zqobjects import STPContainer

value = {"user": "alice", "scores": [3, 1, 4], "active": True, "avatar": b"\x89PNG"}

container = STPContainer(value, version=1, compression_info=(1, 0, 0, 1))
encoded = container.serialize()
decoded = STPContainer.deserialize(encoded)

print("value:           ", value)
print("encoded (%d bytes): %s" % (len(encoded), encoded.hex()))
print("decoded payload: ", decoded.payload)
print("version:         ", decoded.version)
print("compression_info:", decoded.compression_info)
assert decoded.payload == value
