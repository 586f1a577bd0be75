"""Python-level speed of the domain matchers against the re module on the equivalent regular
expressions ("*" as [^.~]+, "**" as .*, literals escaped, DOTALL), measured in the same run.

Run with the built module on the path:
    PY=$(scripts/find_pythons.sh | head -1)
    PYTHONPATH=build/python "$PY" bench/domain_python_bench.py
Each ratio is how many times faster the matcher is than the baseline (higher is better).
"""

import re
import sys

from duvevodavid._zqobjects import DomainMatcher, DomainMatcherDict, DomainMatcherList
from timing import best_seconds

PATTERN = "*.api.example.com"
DOMAIN = "eu-west.api.example.com"

# 50 exact names and 50 wildcard patterns of the shapes seen in practice.
EXACT = ["host%02d.example.net" % i for i in range(50)]
WILDCARDS = ["*.svc%02d.example.org" % i if i % 2 else "**.zone%02d.example.org" % i for i in range(50)]
CASES = [("exact hit", EXACT[25]), ("last wildcard hit", "a.b.zone48.example.org"),
         ("no hit", "nothing.example.com")]

GOALS = {"DomainMatcher.match": 5.0, "CompiledDomainPattern.match": 2.0}
SET_GOAL = 10.0


def to_regex(pattern):
    out, i = [], 0
    while i < len(pattern):
        if pattern.startswith("**", i):
            out.append(".*")
            i += 2
        elif pattern[i] == "*":
            out.append("[^.~]+")
            i += 1
        else:
            out.append(re.escape(pattern[i]))
            i += 1
    return "".join(out)



def main():
    matcher = DomainMatcher()
    compiled = matcher.compile(PATTERN)
    regex_text = to_regex(PATTERN)
    rx = re.compile(regex_text, re.DOTALL)
    assert matcher.match(PATTERN, DOMAIN) and compiled.match(DOMAIN) and rx.fullmatch(DOMAIN)

    listed = DomainMatcherList(EXACT + WILDCARDS)
    mapped = DomainMatcherDict({p: i for i, p in enumerate(EXACT + WILDCARDS)})
    alternation = re.compile("|".join("(?:%s)" % to_regex(p) for p in WILDCARDS), re.DOTALL)
    # The same answer as match_any from one expression: the exact names escaped, then the wildcards.
    everything = re.compile("|".join("(?:%s)" % to_regex(p) for p in EXACT + WILDCARDS), re.DOTALL)
    for _, domain in CASES:
        assert listed.match_any(domain) == (domain in EXACT or bool(alternation.fullmatch(domain)))

    rows = [
        ("DomainMatcher.match", lambda: matcher.match(PATTERN, DOMAIN),
         lambda: re.fullmatch(regex_text, DOMAIN, re.DOTALL), GOALS["DomainMatcher.match"]),
        ("CompiledDomainPattern.match", lambda: compiled.match(DOMAIN), lambda: rx.fullmatch(DOMAIN),
         GOALS["CompiledDomainPattern.match"]),
    ]
    for name, domain in CASES:
        baseline = (lambda d=domain: alternation.fullmatch(d))
        rows.append(("match_any, " + name, lambda d=domain: listed.match_any(d), baseline, SET_GOAL))
        rows.append(("dict match, " + name, lambda d=domain: mapped.match(d), baseline, SET_GOAL))
    # Not a goal: the exact-name case against the expression that gives match_any's answer.
    rows.append(("match_any, exact hit, vs all 100", lambda: listed.match_any(CASES[0][1]),
                 lambda: everything.fullmatch(CASES[0][1]), None))

    print("Python %d.%d, pattern %s, domain %s" % (sys.version_info[0], sys.version_info[1], PATTERN, DOMAIN))
    print("%-34s %10s %10s %9s %9s" % ("case", "ours ns", "re ns", "ratio", "goal"))
    short = []
    for name, ours, baseline, goal in rows:
        ours_s, base_s = best_seconds(ours), best_seconds(baseline)
        ratio = base_s / ours_s
        if goal is not None and ratio < goal:
            short.append(name)
        mark = "" if goal is None else "%5.0fx %s" % (goal, "ok" if ratio >= goal else "SHORT")
        print("%-34s %10.1f %10.1f %8.1fx %s" % (name, ours_s * 1e9, base_s * 1e9, ratio, mark))
    return 1 if short else 0


if __name__ == "__main__":
    sys.exit(main())
