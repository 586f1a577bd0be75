"""The workload a release build is trained on: the module's everyday use, from building and
writing requests and responses to reading containers, URLs and domain names. The build runs it
once against an instrumented module, and the compiler then lays out the module's code by what it
ran (hot paths together, rarely taken branches apart). It checks nothing; the test suite does.

Inputs are varied and drawn from a fixed seed, so that no single shape of message dominates:
methods, URLs with and without chains, ports, query values of every type and fragments, cookies
and payloads, mostly maps of short texts, numbers and booleans, with lists, bytes and nesting.
"""

import random
import sys

from duvevodavid._zqobjects import (
    CommandObject,
    DMPContainer,
    DomainMatcher,
    DomainMatcherDict,
    DomainMatcherList,
    FATManifestContainer,
    ITPContainer,
    STPContainer,
    TempDataObject,
    Url,
    VFSDContainer,
    VORNObject,
    ZQDomain,
    ZQRequest,
    ZQResponse,
    _core_tables,
)

ROUNDS = int(sys.argv[1]) if len(sys.argv) > 1 else 3000
rng = random.Random(20261211)

WORDS = ["alpha", "beta", "items", "v1", "api", "users", "files", "search", "x" * 40, "é-ü", "日本"]
HOSTS = ["example.org", "a.b.example.com", "10.1.2.3", "[2001:db8::7]", "[::1]", "files.sys", "edge.gw"]
CHAINS = ["", "zq:quik:real~api~", "edge~~", "tcp~api~", "edge~web~"]
SCHEMES = ["zq", "http", "https", "file", "lib"]
METHODS = ["get", "post", "put", "delete", "patch", "zq:sys", "custom"]
COMMANDS = ["ok", True, False, 200, 404, "zq:app:404", "zq:error:500", b"\x01", 7]


def text():
    return rng.choice(WORDS) + str(rng.randrange(100))


def query_value():
    choice = rng.randrange(8)
    if choice == 0:
        return str(rng.randrange(-10**6, 10**6))
    if choice == 1:
        return repr(rng.choice([0.5, 1.25, -3.0, 1e-7, 123456.789, 2.0**60]))
    if choice == 2:
        return rng.choice(["True", "False", "None"])
    if choice == 3:
        return "'" + text() + "'"
    if choice == 4:
        return "[1, 2, 3]"
    if choice == 5:
        return "0x%x" % rng.randrange(1 << 20)
    return text()


def url_text():
    host = rng.choice(HOSTS)
    if rng.random() < 0.4 and not host.startswith("["):
        host += ":%d" % rng.randrange(1, 65536)
    elif rng.random() < 0.3 and host.startswith("["):
        host += ":%d" % rng.randrange(1, 65536)
    path = "/" + "/".join(text() for _ in range(rng.randrange(4)))
    query = "&".join("%s=%s" % (rng.choice(WORDS[:8]) + str(i), query_value()) for i in range(rng.randrange(5)))
    fragment = "#" + text() if rng.random() < 0.3 else ""
    return "%s%s://%s%s%s%s" % (rng.choice(CHAINS), rng.choice(SCHEMES), host, path,
                                "?" + query if query else "", fragment)


def scalar():
    draw = rng.random()
    if draw < 0.30:
        return rng.randrange(1000)
    if draw < 0.60:
        return text()
    if draw < 0.70:
        return rng.random() * 1000
    if draw < 0.80:
        return rng.choice([None, True, False])
    if draw < 0.88:
        return rng.randrange(-2**40, 2**40)
    if draw < 0.94:
        return bytes(rng.randrange(256) for _ in range(rng.randrange(40)))
    return text() * rng.randrange(2, 5)


# Mostly scalars, in maps keyed by short texts, with lists and the odd tuple.
def value(depth=0):
    draw = rng.random()
    if depth >= 3 or draw < 0.7:
        return scalar()
    if draw < 0.85:
        return record(depth + 1)
    if draw < 0.95:
        return [value(depth + 1) for _ in range(rng.randrange(6))]
    return tuple(value(depth + 1) for _ in range(rng.randrange(4)))


def record(depth=0):
    return {text(): value(depth) for _ in range(rng.randrange(1, 8))}


def cookies():
    jar = {text(): value(2) for _ in range(rng.randrange(4))}
    if rng.random() < 0.5:
        jar["zq"] = {"origin": "zq://" + rng.choice(HOSTS)}
    return jar


def compression():
    return rng.choice([None, None, (0, 0, 0, 0), (1, 0, 0, rng.randrange(4))])


def container():
    kind = rng.randrange(5)
    if kind == 0:
        return STPContainer(value(), rng.randrange(4), compression())
    if kind == 1:
        return ITPContainer(rng.choice(["html", "png", "json", 2, "custom"]), text().encode() * 20, rng.randrange(3))
    if kind == 2:
        frames = [(rng.randrange(3), text(), bytes(32), rng.randrange(1 << 60), rng.choice([None, b"data" * 10]))
                  for _ in range(rng.randrange(4))]
        return VFSDContainer("/" + text(), frames, rng.randrange(3), 1, 2, 3, compression_info=compression())
    if kind == 3:
        parts = rng.randrange(1, 5)
        return FATManifestContainer(parts * 1024, 1024, parts, bytes(32 * parts), rng.choice([None, bytes(16)]))
    return DMPContainer(text(), value(), rng.randrange(3), compression(), rng.randrange(4))


def payload():
    draw = rng.random()
    if draw < 0.15:
        return TempDataObject(container())
    if draw < 0.25:
        return None
    if draw < 0.85:
        return record(1)
    return value()


def messages():
    for _ in range(ROUNDS):
        url = Url(url_text())
        request = ZQRequest(rng.choice(METHODS), url, payload(), cookies())
        wire = request.serialize(rng.randrange(4))
        read = ZQRequest.deserialize(wire)
        read.cookies, read.payload, read.method, read.url, read.origin, read.payloadSize
        str(read.url)
        response = ZQResponse(rng.choice(COMMANDS), payload(), cookies())
        read = ZQResponse.deserialize(response.serialize())
        read.command.ok, read.cookies, read.payload, read.hasPayload


def containers():
    for _ in range(ROUNDS):
        made = container()
        read = type(made).deserialize(made.serialize())
        read.compression_info
        if hasattr(read, "payload"):
            read.payload
        held = TempDataObject(made.serialize())
        held.container


def urls():
    for _ in range(ROUNDS):
        url = Url(url_text())
        url.params, url.hostname, url.path, url.fragment, url.transport, url.route, url.scheme
        str(url), url.build(["hostname", "path"])
        url.params = {text(): value(3) for _ in range(rng.randrange(4))}
        str(Url(url))


def domains():
    matcher = DomainMatcher()
    patterns = ["*.api.example.com", "**.example.org", "files.sys", "*.cdn.*.net", "a.b.c"]
    listed = DomainMatcherList(patterns)
    mapped = DomainMatcherDict({p: i for i, p in enumerate(patterns)})
    names = ["eu.api.example.com", "a.b.example.org", "files.sys", "x.cdn.y.net", "nothing.here", "a.b.c"]
    for _ in range(ROUNDS):
        name = rng.choice(names)
        matcher.match(rng.choice(patterns), name)
        listed.match_any(name), mapped.match(name)
        ZQDomain.isSys(name), ZQDomain.isCore(name)
        vorn = VORNObject(rng.randrange(1, 1 << 40))
        VORNObject.fromBytesMaxShort(vorn.toBytes()).vornid
        CommandObject(rng.choice(COMMANDS)).ok
    _core_tables()


messages()
containers()
urls()
domains()
