"""The main road: a request built from a URL, cookies and a Python payload, serialized, read
back as the receiving side sees it, and answered by a response that is read back in turn."""

from duvevodavid._zqobjects import TempDataObject, Url, ZQRequest, ZQResponse

url = Url("edge~api~zq://example.org/items/list?page=2&limit=50#top")
cookies = {"zq": {"origin": "web"}, "session": "8f14e45f"}
payload = {"user": "alice", "scores": [3, 1, 4], "active": True, "avatar": b"\x89PNG"}

request = ZQRequest("post", url, payload, cookies)
wire = request.serialize()
print(request)
print("request on the wire (%d bytes): %s" % (len(wire), wire.hex()))

received = ZQRequest.deserialize(wire)
print("received:", received.method, received.url)
# transportObject asks the system's transport parser, which is installed apart from this module.
try:
    print("  transport", received.transportObject)
except ModuleNotFoundError as missing:
    print("  transport %r (not parsed: %s)" % (received.transport, missing))
print("  origin %r, cookies %r" % (received.origin, received.cookies))
print("  payload (a container of %s bytes, decoded on first read): %r" % (received.payloadSize, received.payload))
assert (received.payload, received.cookies, str(received.url)) == (payload, cookies, str(url))

answer = ZQResponse("ok", {"items": [1, 2, 3], "page": received.url.params["page"]}, {"session": "8f14e45f"})
reply = answer.serialize()
print("response on the wire (%d bytes): %s" % (len(reply), reply.hex()))

back = ZQResponse.deserialize(reply)
print("answer: ok=%s command=%r payload=%r cookies=%r" % (back.command.ok, back.command.value, back.payload,
                                                          back.cookies))
assert back.command.value is True and back.payload == {"items": [1, 2, 3], "page": 2}

# A bare status with nothing after it is one byte.
assert ZQResponse("ok", TempDataObject()).serialize() == b"\x02"
