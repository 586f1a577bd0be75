"""Python-level speed of Url against urllib.parse on the same text, measured in the same run.

Run with the built module on the path:
    PYTHONPATH=build/python python3.12 bench/url_python_bench.py
Each ratio is how many times faster Url is than the baseline (higher is better).
"""

import sys
from urllib.parse import parse_qsl, urlencode, urlsplit, urlunsplit

from duvevodavid._zqobjects import Url
from timing import best_seconds

# A protocol chain, an IPv6 host with a port, three typed parameters and a fragment.
TEXT = "zq:quik:real~api~zq://[2001:db8::7]:8080/v1/items?id=42&ratio=0.5&name=alpha#top"
PARAMS = {"id": 42, "ratio": 0.5, "name": "alpha"}

# Ratios Url must reach against the standard library.
GOALS = {"parse + params": 10.0, "print": 10.0}



def main():
    url = Url(TEXT)
    assert url.params == PARAMS and str(url) == TEXT
    parts = urlsplit(TEXT)
    assert urlunsplit(parts) == TEXT

    def url_params_assignment():
        url.params = PARAMS

    def stdlib_params_assignment():
        parts._replace(query=urlencode(PARAMS))

    rows = [
        ("parse + params", lambda: Url(TEXT).params, lambda: parse_qsl(urlsplit(TEXT).query)),
        ("print", lambda: str(url), lambda: urlunsplit(parts)),
        ("params assignment", url_params_assignment, stdlib_params_assignment),
    ]
    print("Python %d.%d, text %s" % (sys.version_info[0], sys.version_info[1], TEXT))
    print("%-20s %12s %12s %9s %7s" % ("case", "Url ns", "stdlib ns", "ratio", "goal"))
    short = []
    for name, ours, baseline in rows:
        ours_s, base_s = best_seconds(ours), best_seconds(baseline)
        ratio = base_s / ours_s
        goal = GOALS.get(name)
        mark = "" if goal is None else ("%.0fx %s" % (goal, "ok" if ratio >= goal else "SHORT"))
        if goal is not None and ratio < goal:
            short.append(name)
        print("%-20s %12.1f %12.1f %8.1fx %7s" % (name, ours_s * 1e9, base_s * 1e9, ratio, mark))
    return 1 if short else 0


if __name__ == "__main__":
    sys.exit(main())
