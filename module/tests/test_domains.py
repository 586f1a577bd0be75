"""The matcher classes and ZQDomain: type objects, the domain tests, the matching edge cases,
agreement with a table reference over random texts, the list and dict (a dict changed while it
is read included), argument errors, and bounded memory and time on a very long pattern."""

import inspect
import random
import subprocess
import sys
import textwrap
import unittest

from duvevodavid import _zqobjects as m
from duvevodavid._zqobjects import CompiledDomainPattern, DomainMatcher, DomainMatcherDict, DomainMatcherList, ZQDomain
from support import SANITIZED, NotedErrorTestCase


def reference_match(pattern, domain):
    """The table of (T + 1) x (L + 1) flags, filled from the last token, on code points."""
    if len(domain.encode()) > 8192:
        return False
    tokens, i = [], 0
    while i < len(pattern):
        if pattern[i] == "*":
            double = pattern[i + 1:i + 2] == "*"
            tokens.append("**" if double else "*")
            i += 2 if double else 1
        else:
            tokens.append(pattern[i])
            i += 1
    n = len(domain)
    table = [[False] * (n + 1) for _ in range(len(tokens) + 1)]
    table[len(tokens)][n] = True
    for t in range(len(tokens) - 1, -1, -1):
        for i in range(n, -1, -1):
            token = tokens[t]
            if token == "**":
                table[t][i] = table[t + 1][i] or (i < n and table[t][i + 1])
            elif token == "*":
                table[t][i] = i < n and domain[i] not in ".~" and (table[t + 1][i + 1] or table[t][i + 1])
            else:
                table[t][i] = i < n and domain[i] == token and table[t + 1][i + 1]
    return table[0][0]


def reference_first(pairs, domain):
    exact = {p: v for p, v in pairs if "*" not in p}
    if domain in exact:
        return exact[domain]
    return next((v for p, v in pairs if "*" in p and reference_match(p, domain)), None)


PIECES = ["a", "b", ".", "~", "é", "日", "😀", "*", "**"]


def random_text(rng, max_pieces, stars=True):
    pieces = PIECES if stars else PIECES[:-2]
    return "".join(rng.choice(pieces) for _ in range(rng.randint(0, max_pieces)))


class ClassTest(unittest.TestCase):
    def test_type_objects(self):
        paths = {ZQDomain: "duvevodavid.net.domains", CompiledDomainPattern: "duvevodavid.net.tools",
                 DomainMatcher: "duvevodavid.net.tools", DomainMatcherList: "duvevodavid.net.tools",
                 DomainMatcherDict: "duvevodavid.net.tools"}
        for cls, module in paths.items():
            self.assertEqual(cls.__module__, module, cls)
            with self.assertRaises(TypeError, msg=cls):
                type("Sub", (cls,), {})
        self.assertEqual(m.__all__[:5], ["ZQDomain", "CompiledDomainPattern", "DomainMatcher", "DomainMatcherList",
                                         "DomainMatcherDict"])
        for cls in (ZQDomain, CompiledDomainPattern):
            with self.assertRaises(TypeError, msg=cls):
                cls()
            self.assertIsNone(cls.__text_signature__)
            self.assertIn("`", cls.__doc__)
        self.assertIn("duvevodavid.net.domains.ZQDomain", ZQDomain.__doc__)
        self.assertIn("re.Pattern", CompiledDomainPattern.__doc__)
        for cls, signature, path in [(DomainMatcher, "()", "DomainMatcher"),
                                     (DomainMatcherList, "(patterns)", "DomainMatcherList"),
                                     (DomainMatcherDict, "(pattern_map)", "DomainMatcherDict")]:
            self.assertEqual(str(inspect.signature(cls)), signature)
            self.assertTrue(cls.__doc__.startswith("`duvevodavid.net.tools.%s`" % path), cls.__doc__)
        signatures = {
            DomainMatcher.match: "($self, pattern, domain)", DomainMatcher.compile: "($self, pattern)",
            DomainMatcher.match_compiled: "($self, compiled, s)", DomainMatcherList.match_any: "($self, domain)",
            DomainMatcherDict.match: "($self, domain)", CompiledDomainPattern.match: "($self, s)",
            ZQDomain.isSys: "(domain)", ZQDomain.isCore: "(domain)",
        }
        for member, signature in signatures.items():
            self.assertEqual(member.__text_signature__, signature, member)
        self.assertIsNone(ZQDomain.isSys.__doc__)
        matcher = DomainMatcher()
        with self.assertRaises(AttributeError):
            matcher.extra = 1
        self.assertNotEqual(matcher, DomainMatcher())

    def test_domain_tests(self):
        cases = [
            (ZQDomain.isSys, ["a.zq", ".zq", "a.sys"], ["zq", "sys", "asys", "a.ZQ", "a.zq.", ""]),
            (ZQDomain.isCore, ["score", "a.gw", "vorn", "xabs", "abs"], ["gwx", "Core", "core.x", "g", "ab", ""]),
        ]
        for test, yes, no in cases:
            for name in yes:
                self.assertIs(test(name), True, name)
            for name in no:
                self.assertIs(test(domain=name), False, name)


class MatchTest(NotedErrorTestCase):
    EDGE_CASES = [
        ("*.a.b", ["x.a.b", "x-y_z.a.b"], ["x.y.a.b", ".a.b", "a.b"]),
        ("**.a.b", ["x.y.a.b", ".a.b"], ["a.b"]),
        ("**a.b", ["a.b", "x.a.b", "xa.b"], []),
        ("x*", ["xy", "xé"], ["x", "x.y", "x~y"]),
        ("**", ["", "a.b~c", "é" * 4096], ["a" * 8193]),
        ("*", ["日"], [""]),
        ("***", ["x.y.z"], ["x."]),
        ("*.A.b", [], ["x.a.b"]),
        ("", [""], ["a"]),
    ]

    def test_edge_cases_through_every_matcher(self):
        for pattern, yes, no in self.EDGE_CASES:
            matcher = DomainMatcher()
            compiled = matcher.compile(pattern)
            listed = DomainMatcherList([pattern])
            mapped = DomainMatcherDict({pattern: 7})
            for domain, expected in [(d, True) for d in yes] + [(d, False) for d in no]:
                label = "%r / %r" % (pattern, domain[:20])
                self.assertIs(matcher.match(pattern, domain), expected, label)
                self.assertIs(compiled.match(domain), expected, label)
                self.assertIs(matcher.match_compiled(compiled, domain), expected, label)
                self.assertIs(listed.match_any(domain), expected, label)
                self.assertEqual(mapped.match(domain), 7 if expected else None, label)

    def test_agrees_with_the_table_reference(self):
        rng = random.Random(7)
        matcher = DomainMatcher()
        for _ in range(3000):
            pattern = random_text(rng, 7)
            domain = random_text(rng, 8, stars=False)
            if rng.random() < 0.5:
                domain = "".join(random_text(rng, 2, False) if c == "*" else c for c in pattern)
            self.assertIs(matcher.match(pattern, domain), reference_match(pattern, domain), (pattern, domain))
        for _ in range(300):
            pairs = [(random_text(rng, 5), i) for i in range(rng.randint(0, 8))]
            patterns = [p for p, _ in pairs]
            listed, mapped = DomainMatcherList(patterns), DomainMatcherDict(dict(pairs))
            unique = list(dict(pairs).items())
            for _ in range(6):
                domain = random_text(rng, 6, stars=False)
                self.assertIs(listed.match_any(domain), any(reference_match(p, domain) if "*" in p else p == domain
                                                            for p in patterns), (patterns, domain))
                self.assertEqual(mapped.match(domain), reference_first(unique, domain), (unique, domain))

    def test_compile_gives_distinct_objects(self):
        matcher = DomainMatcher()
        first, second = matcher.compile("*.a.b"), matcher.compile(pattern="*.a.b")
        self.assertIsNot(first, second)
        self.assertIsInstance(first, CompiledDomainPattern)
        for domain, expected in [("x.a.b", True), ("x.y.a.b", False)]:
            self.assertIs(first.match(domain), expected)
            self.assertIs(second.match(s=domain), expected)

    def test_argument_errors(self):
        matcher = DomainMatcher()
        self.assert_raises_noted(lambda: matcher.match_compiled("*.a", "x.a"), TypeError,
                                 "'str' object is not an instance of 'CompiledDomainPattern'", "compiled")
        self.assert_raises_noted(lambda: matcher.match("*", 5), TypeError,
                                 "'int' object is not an instance of 'str'", "domain")
        self.assert_raises_noted(lambda: matcher.match("\ud800", "x"), UnicodeEncodeError, None, "pattern")
        self.assert_raises_noted(lambda: matcher.compile(None), TypeError,
                                 "'None' is not an instance of 'str'", "pattern")
        with self.assertRaises(TypeError):
            DomainMatcher(1)
        self.assertTrue(matcher.match("x", "x"))


class ListAndDictTest(NotedErrorTestCase):
    def test_list(self):
        listed = DomainMatcherList(["a.b", "*.c.d"])
        for domain, expected in [("a.b", True), ("x.c.d", True), ("c.d", False)]:
            self.assertIs(listed.match_any(domain), expected, domain)
        long_name = "x" * 8193
        self.assertTrue(DomainMatcherList((long_name, "**")).match_any(long_name))
        self.assertFalse(DomainMatcherList([]).match_any(""))
        self.assertTrue(DomainMatcherList([""]).match_any(""))

    def test_list_errors(self):
        self.assert_raises_noted(lambda: DomainMatcherList("a.b"), TypeError, None, "patterns")
        self.assert_raises_noted(lambda: DomainMatcherList(["a", 5]), TypeError,
                                 "'int' object is not an instance of 'str'", "patterns")
        self.assert_raises_noted(lambda: DomainMatcherList({"a"}), TypeError,
                                 "'set' object is not an instance of 'Sequence'", "patterns")

    def test_dict(self):
        mapped = DomainMatcherDict({"a.b": 1, "*.b": 2, "**": 3})
        for domain, expected in [("a.b", 1), ("c.b", 2), ("x.y.z", 3)]:
            self.assertEqual(mapped.match(domain), expected, domain)
        reordered = DomainMatcherDict({"*.b": 2, "a.b": 1})
        self.assertEqual((reordered.match("a.b"), reordered.match("c.b")), (1, 2))
        self.assertIsNone(DomainMatcherDict({}).match("a"))
        self.assertEqual(DomainMatcherDict({"a.b": True}).match("a.b"), 1)
        self.assertEqual(DomainMatcherDict({"*": -(2 ** 63), "x": 2 ** 63 - 1}).match("y"), -(2 ** 63))

    def test_dict_errors(self):
        class Key(str):
            pass

        self.assertEqual(DomainMatcherDict({Key("*.b"): 4}).match("a.b"), 4)
        self.assert_raises_noted(lambda: DomainMatcherDict({"a.b": 1.5}), TypeError, None, None)
        self.assert_raises_noted(lambda: DomainMatcherDict({"a.b": 2 ** 63}), OverflowError, None, None)
        self.assert_raises_noted(lambda: DomainMatcherDict({5: 1}), TypeError,
                                 "'int' object is not an instance of 'str'", None)
        self.assert_raises_noted(lambda: DomainMatcherDict([("a.b", 1)]), TypeError,
                                 "'list' object is not an instance of 'dict'", "pattern_map")

    def test_dict_subclass_items_order(self):
        class Reversed(dict):
            def items(self):
                return list(reversed(list(super().items())))

        mapped = DomainMatcherDict(Reversed({"*.b": 1, "**": 2}))
        self.assertEqual(mapped.match("a.b"), 2)

    def test_dict_changed_while_read(self):
        table = {}

        class Changing:
            def __init__(self, value, action):
                self.value, self.action = value, action

            def __index__(self):
                self.action()
                return self.value

        def clear():
            table.clear()
            table.update({"x%d" % i: i for i in range(100)})

        table.update({"*.a": Changing(1, clear), "*.b": 2, "c": 3})
        mapped = DomainMatcherDict(table)
        self.assertEqual([mapped.match(d) for d in ("x.a", "x.b", "c", "x5")], [1, 2, 3, None])

        def boom():
            table.clear()
            raise ValueError("no index")

        table.update({"a": 1, "*.b": Changing(2, boom)})
        with self.assertRaises(ValueError):
            DomainMatcherDict(table)


class BoundedWorkTest(unittest.TestCase):
    def test_long_pattern_against_the_longest_domain(self):
        """10,000 tokens (5,000 literals, 5,000 double stars) against 8192 bytes: the peak memory
        of a child process grows by far less than the whole table (about 80 MB) would take."""
        script = textwrap.dedent("""
            import resource, sys, time
            from duvevodavid._zqobjects import DomainMatcher
            pattern, domain = "a**" * 5000, "a" * 8192
            matcher = DomainMatcher()
            matcher.match("a", "a")
            before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
            start = time.perf_counter()
            results = [matcher.match(pattern, domain), matcher.match(pattern + "b", domain),
                       matcher.match("**" * 10000 + "a", domain)]
            seconds = time.perf_counter() - start
            grown = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
            print(results, grown, seconds)
        """)
        out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True).stdout
        results, grown_kb, seconds = out.rsplit("]", 1)[0] + "]", *out.rsplit("]", 1)[1].split()
        self.assertEqual(results, "[True, False, True]")
        if not SANITIZED:
            self.assertLess(int(grown_kb), 1024, "peak memory grew by %s KiB" % grown_kb)
        self.assertLess(float(seconds), 30 if SANITIZED else 2)


if __name__ == "__main__":
    unittest.main()
