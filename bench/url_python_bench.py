"""Python-level speed of Url against urllib.parse on the same text, measured in the same run.

Run with the built module on the path:
    PY=$(scripts/find_pythons.sh | head -1)
    PYTHONPATH=build/python "$PY" bench/url_python_bench.py
    PYTHONPATH=build/python "$PY" bench/url_python_bench.py --instructions
The second form prints callgrind's instructions per call of each side of every row (see
callgrind_counts.py), named by case and the text's place in TEXTS (U1 to U3).
Each ratio is how many times faster Url is than the baseline (higher is better); each row's two
sides are timed in interleaved rounds, so that a change of machine load reaches them alike.
- print: str(u) against urlunsplit of the urlsplit parts;
- parse + params: Url(text).params against parse_qsl(urlsplit(text).query);
- params assignment: u.params = dict against replacing the query of the parts with urlencode.
"""

import sys
from urllib.parse import parse_qsl, urlencode, urlsplit, urlunsplit

from callgrind_counts import counted_main
from duvevodavid._zqobjects import Url
from timing import best_times

# A protocol chain, an IPv6 host with a port, three typed parameters and a fragment (the URL of
# the request benchmarks); a plain host with a path and a query of texts and an integer; a host
# with a path, integer and boolean parameters and a fragment.
TEXTS = [
    "zq:quik:real~api~zq://[2001:db8::7]:8080/v1/items?id=42&ratio=0.5&name=alpha#top",
    "https://search.example.com/find?q=hello&page=2&lang=en",
    "zq://storage.example.net/buckets/photos?year=2024&limit=100&verbose=True#latest",
]
PARAMS = {"id": 42, "ratio": 0.5, "name": "alpha"}

# Ratios Url must reach against the standard library on every text.
GOALS = {"print": 10.0, "parse + params": 8.0}


def rows():
    for text in TEXTS:
        url = Url(text)
        parts = urlsplit(text)
        assert str(url) == text and urlunsplit(parts) == text
        assert url.params.keys() == dict(parse_qsl(parts.query)).keys()
        yield "print", text, lambda url=url: str(url), lambda parts=parts: urlunsplit(parts)
        yield ("parse + params", text, lambda text=text: Url(text).params,
               lambda text=text: parse_qsl(urlsplit(text).query))

    url = Url(TEXTS[0])
    parts = urlsplit(TEXTS[0])

    def url_params_assignment():
        url.params = PARAMS

    def stdlib_params_assignment():
        parts._replace(query=urlencode(PARAMS))

    yield "params assignment", TEXTS[0], url_params_assignment, stdlib_params_assignment


def operations():
    """Both sides of every row by name, for the instruction counts."""
    ops = {}
    for name, text, ours, baseline in rows():
        label = name.replace(" + ", "_").replace(" ", "_")
        if text in TEXTS:
            label += "_U%d" % (TEXTS.index(text) + 1)
        ops[label] = ours
        ops[label + "_stdlib"] = baseline
    return ops


def main():
    assert Url(TEXTS[0]).params == PARAMS
    print("Python %d.%d" % sys.version_info[:2])
    print("%-18s %-82s %9s %10s %7s %9s" % ("case", "text", "Url ns", "stdlib ns", "ratio", "goal"))
    short = []
    for name, text, ours, baseline in rows():
        t = best_times({"ours": ours, "baseline": baseline})
        ratio = t["baseline"] / t["ours"]
        goal = GOALS.get(name)
        mark = "" if goal is None else ("%.0fx %s" % (goal, "ok" if ratio >= goal else "SHORT"))
        if goal is not None and ratio < goal:
            short.append(name)
        print("%-18s %-82s %9.1f %10.1f %6.1fx %9s" % (name, text, t["ours"] * 1e9, t["baseline"] * 1e9,
                                                      ratio, mark))
    return 1 if short else 0


if __name__ == "__main__":
    counted_main(operations, lambda: sys.exit(main()))
