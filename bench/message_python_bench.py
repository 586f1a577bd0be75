"""Python-level speed of requests and responses, against baselines measured in the same run.

Run with the built module on the path (msgspec, when built, adds its columns):
    PY=$(scripts/find_pythons.sh | head -1)
    d=$(../shared/peers/build-msgspec.sh)
    PYTHONPATH="build/python:$d" "$PY" bench/message_python_bench.py
    PYTHONPATH="build/python:$d" "$PY" bench/message_python_bench.py --instructions
The second form prints callgrind's instructions per call of every operation below (see
callgrind_counts.py), baselines included.

- A request with a protocol chain, an IPv6 host with a port, three typed query values and a
  fragment in its URL, three cookies (one a nested map) and a small dict payload, and a response
  carrying the same cookies and payload: construction + serialize() (for the request with a Url
  made beforehand, and with the Url parsed from its text in the call), and deserialize() +
  reading cookies and payload, as multiples of the time of pickle (and msgspec's MessagePack)
  on an equivalent tuple: (method, URL text, cookies, payload) and (command, cookies, payload).
  Higher is faster. Goals: faster than pickle both ways, and at least 0.8x with the URL parsed
  in the call; against msgspec, within 2x.
- deserialize() of a response carrying a 1 MiB payload, as a multiple of bytearray(b) of the
  message (one copy; bytes(b) returns b itself). Goal: at most 1.3 times.
"""

import os
import pickle
import sys

from callgrind_counts import counted_main
from duvevodavid._zqobjects import ITPContainer, TempDataObject, Url, ZQRequest, ZQResponse
from timing import best_times

try:
    import msgspec
except ImportError:
    msgspec = None

URL_TEXT = "zq:quik:real~api~zq://[2001:db8::7]:8080/v1/items?id=42&ratio=0.5&name=alpha#top"
COOKIES = {"session": "x" * 32, "lang": "en", "zq": {"origin": "zq://a.b"}}
PAYLOAD = {"id": 123, "name": "alice", "ok": True, "score": 1.5}
MIB = 1 << 20
BIG_GOAL = 1.3
MSGSPEC_AIM = 2.0

# Each row: its label, our operation, the baseline operation of the same way, the least ratio
# (baseline time / ours) it must reach.
ROWS = [
    ("request construct+serialize, Url given", "request_ser", "ser", 1.0),
    ("request construct+serialize, Url parsed", "request_ser_url_text", "ser", 0.8),
    ("request deserialize+cookies+payload", "request_de", "de", 1.0),
    ("response construct+serialize", "response_ser", "ser", 1.0),
    ("response deserialize+cookies+payload", "response_de", "de", 1.0),
]


def _read(message):
    return message.cookies, message.payload


def operations():
    url = Url(URL_TEXT)
    request = ZQRequest("get", url, PAYLOAD, COOKIES).serialize()
    read = ZQRequest.deserialize(request)
    assert (read.cookies, read.payload, str(read.url)) == (COOKIES, PAYLOAD, URL_TEXT)
    response = ZQResponse("ok", PAYLOAD, COOKIES).serialize()
    read = ZQResponse.deserialize(response)
    assert (read.cookies, read.payload, read.command.value) == (COOKIES, PAYLOAD, True)
    big = ZQResponse(200, TempDataObject(ITPContainer("blob", os.urandom(MIB), 0))).serialize()
    assert ZQResponse.deserialize(big).payloadSize == len(big) - len(ZQResponse.deserialize(big).serializeHeader())

    ops = {
        "request_ser": lambda: ZQRequest("get", url, PAYLOAD, COOKIES).serialize(),
        "request_ser_url_text": lambda: ZQRequest("get", Url(URL_TEXT), PAYLOAD, COOKIES).serialize(),
        "request_de": lambda: _read(ZQRequest.deserialize(request)),
        "response_ser": lambda: ZQResponse("ok", PAYLOAD, COOKIES).serialize(),
        "response_de": lambda: _read(ZQResponse.deserialize(response)),
        "big_response_de": lambda: ZQResponse.deserialize(big),
        "big_bytearray": lambda: bytearray(big),
    }
    for kind, as_tuple in (("request", ("get", URL_TEXT, COOKIES, PAYLOAD)), ("response", ("ok", COOKIES, PAYLOAD))):
        pickled = pickle.dumps(as_tuple, protocol=pickle.HIGHEST_PROTOCOL)
        ops["pickle_%s_ser" % kind] = lambda t=as_tuple: pickle.dumps(t, protocol=pickle.HIGHEST_PROTOCOL)
        ops["pickle_%s_de" % kind] = lambda p=pickled: pickle.loads(p)
        if msgspec:
            packed = msgspec.msgpack.encode(as_tuple)
            ops["msgspec_%s_ser" % kind] = lambda t=as_tuple: msgspec.msgpack.encode(t)
            ops["msgspec_%s_de" % kind] = lambda p=packed: msgspec.msgpack.decode(p)
    return ops


def main():
    print("Python %s%s" % (sys.version.split()[0], "" if msgspec else " (msgspec not importable)"))
    print("request %d bytes on the wire, response %d" % (
        len(ZQRequest("get", Url(URL_TEXT), PAYLOAD, COOKIES).serialize()), len(ZQResponse("ok", PAYLOAD, COOKIES).serialize())))
    t = best_times(operations())
    misses = []
    for label, ours, way, goal in ROWS:
        kind = ours.split("_")[0]
        pickle_ratio = t["pickle_%s_%s" % (kind, way)] / t[ours]
        line = "  %-42s %6.0f ns | pickle %6.0f ns: %.2fx" % (
            label, t[ours] * 1e9, t["pickle_%s_%s" % (kind, way)] * 1e9, pickle_ratio)
        if pickle_ratio < goal:
            misses.append("%s: %.2fx pickle (goal %.1fx)" % (label, pickle_ratio, goal))
        if msgspec:
            baseline = t["msgspec_%s_%s" % (kind, way)]
            line += " | msgspec %6.0f ns: %.2fx" % (baseline * 1e9, baseline / t[ours])
            if t[ours] / baseline > MSGSPEC_AIM:
                misses.append("%s: %.2fx msgspec's time (aim within %.0fx)" % (label, t[ours] / baseline, MSGSPEC_AIM))
        print(line)
    ratio = t["big_response_de"] / t["big_bytearray"]
    print("  1 MiB response: deserialize %8.1f us, bytearray(b) %8.1f us: %.2fx (goal <= %.1fx)" % (
        t["big_response_de"] * 1e6, t["big_bytearray"] * 1e6, ratio, BIG_GOAL))
    if ratio > BIG_GOAL:
        misses.append("1 MiB response: %.2fx bytearray(b) (goal %.1fx)" % (ratio, BIG_GOAL))
    if misses:
        print("MISSED:\n  " + "\n  ".join(misses))
        sys.exit(1)


if __name__ == "__main__":
    counted_main(operations, main)
