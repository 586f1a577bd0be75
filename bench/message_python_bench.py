"""Python-level speed of requests and responses, against baselines measured in the same run.

Run with the built module on the path (msgspec, when built, adds its rows):
    d=$(../shared/peers/build-msgspec.sh)
    PYTHONPATH="build/python:$d" python3.12 bench/message_python_bench.py

- A typical request (a URL with a protocol chain, three cookies, a small dict payload) and its
  response: construction + serialize(), and deserialize() + reading cookies and payload, as
  multiples of the time of pickle (and msgspec's MessagePack) on an equivalent tuple: (method,
  URL text, cookies, payload) and (command, cookies, payload). Higher is faster. Goal: faster
  than pickle both ways.
- deserialize() of a response carrying a 1 MiB payload, as a multiple of bytearray(b) of the
  message (one copy; bytes(b) returns b itself). Goal: about one copy, at most 1.5 times.
"""

import os
import pickle
import sys

from duvevodavid._zqobjects import ITPContainer, TempDataObject, Url, ZQRequest, ZQResponse
from python_bench import best_times

try:
    import msgspec
except ImportError:
    msgspec = None

URL_TEXT = "edge~api~zq://example.org/items/list?page=2&limit=50#top"
COOKIES = {"zq": {"origin": "web"}, "session": "8f14e45fceea167a5a36dedd4bea2543", "lang": "en"}
PAYLOAD = {"id": 7, "name": "alpha", "tags": ["a", "b"], "score": 0.5, "ok": True}
ANSWER = {"id": 7, "items": [1, 2, 3], "next": None}
MIB = 1 << 20
BIG_GOAL = 1.5


def request_rows():
    message = ZQRequest("post", Url(URL_TEXT), PAYLOAD, COOKIES).serialize()
    read = ZQRequest.deserialize(message)
    assert (read.cookies, read.payload, str(read.url)) == (COOKIES, PAYLOAD, URL_TEXT)
    as_tuple = ("post", URL_TEXT, COOKIES, PAYLOAD)
    return message, as_tuple, {
        "zq_ser": lambda: ZQRequest("post", Url(URL_TEXT), PAYLOAD, COOKIES).serialize(),
        "zq_de": lambda: _read(ZQRequest.deserialize(message)),
    }


def response_rows():
    message = ZQResponse("ok", ANSWER, COOKIES).serialize()
    read = ZQResponse.deserialize(message)
    assert (read.cookies, read.payload, read.command.value) == (COOKIES, ANSWER, True)
    as_tuple = ("ok", COOKIES, ANSWER)
    return message, as_tuple, {
        "zq_ser": lambda: ZQResponse("ok", ANSWER, COOKIES).serialize(),
        "zq_de": lambda: _read(ZQResponse.deserialize(message)),
    }


def _read(message):
    return message.cookies, message.payload


def compare(name, rows):
    message, as_tuple, operations = rows
    pickled = pickle.dumps(as_tuple, protocol=pickle.HIGHEST_PROTOCOL)
    operations["pickle_ser"] = lambda: pickle.dumps(as_tuple, protocol=pickle.HIGHEST_PROTOCOL)
    operations["pickle_de"] = lambda: pickle.loads(pickled)
    if msgspec:
        packed = msgspec.msgpack.encode(as_tuple)
        operations["msgspec_ser"] = lambda: msgspec.msgpack.encode(as_tuple)
        operations["msgspec_de"] = lambda: msgspec.msgpack.decode(packed)
    t = best_times(operations)
    print("%s: %d bytes on the wire (pickle %d)" % (name, len(message), len(pickled)))
    ok = True
    for way, label in (("ser", "construct+serialize"), ("de", "deserialize+read")):
        line = "  %-20s %7.2f us | pickle %7.2f us: %.2fx" % (
            label, t["zq_" + way] * 1e6, t["pickle_" + way] * 1e6, t["pickle_" + way] / t["zq_" + way])
        if msgspec:
            line += " | msgspec %7.2f us: %.2fx" % (t["msgspec_" + way] * 1e6, t["msgspec_" + way] / t["zq_" + way])
        print(line)
        ok = ok and t["zq_" + way] < t["pickle_" + way]
    return ok


def big_response():
    message = ZQResponse(200, TempDataObject(ITPContainer("blob", os.urandom(MIB), 0))).serialize()
    assert ZQResponse.deserialize(message).payloadSize == len(message) - len(
        ZQResponse.deserialize(message).serializeHeader())
    t = best_times({
        "deserialize": lambda: ZQResponse.deserialize(message),
        "bytearray": lambda: bytearray(message),
    })
    ratio = t["deserialize"] / t["bytearray"]
    print("1 MiB response: deserialize %8.1f us, bytearray(b) %8.1f us: %.2fx (goal <= %.1fx)" % (
        t["deserialize"] * 1e6, t["bytearray"] * 1e6, ratio, BIG_GOAL))
    return ratio <= BIG_GOAL


def main():
    print("Python %s%s" % (sys.version.split()[0], "" if msgspec else " (msgspec not importable)"))
    ok = compare("request", request_rows())
    ok = compare("response", response_rows()) and ok
    ok = big_response() and ok
    if not ok:
        print("MISSED: a goal above")
        sys.exit(1)


if __name__ == "__main__":
    main()
