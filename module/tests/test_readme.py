"""The user pages (README.md and docs/*.md) and the example scripts (examples/*.py): every
```python block runs, in page order, each in a fresh namespace, and every script runs, so that
what they show stays true; each passes mypy --strict for Python 3.12 against the module's stub,
as a user's type checker sees it; every block is marked python or sh, so none is skipped by
mistake; and every link stays inside the repository and finds its file and heading."""

import contextlib
import io
import pathlib
import re
import runpy
import textwrap
import unittest

from support import type_check

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
PAGES = [ROOT / "README.md", *sorted((ROOT / "docs").glob("*.md"))]
SCRIPTS = sorted((ROOT / "examples").glob("*.py"))
FENCE = re.compile(r"^( *)```(\S*)\s*$")
LINK = re.compile(r"\]\(([^)\s]*)\)")


def fenced_blocks(page):
    """(language, heading, line number of the first code line, code) of each fenced block."""
    blocks, heading, opened, lines = [], "", None, []
    for number, line in enumerate(page.read_text(encoding="utf-8").splitlines(), 1):
        fence = FENCE.match(line)
        if opened is None:
            if fence:
                opened, lines = (fence.group(2), heading, number + 1), []
            elif line.startswith("#"):
                heading = line.lstrip("#").strip()
        elif fence and not fence.group(2):
            blocks.append((*opened, textwrap.dedent("\n".join(lines)) + "\n"))
            opened = None
        else:
            lines.append(line)
    if opened is not None:
        raise AssertionError("%s: the block opened before line %d is not closed" % (page.name, opened[2]))
    return blocks


def prose(page):
    """The page's text without its fenced blocks."""
    return re.sub(r"^ *```.*?^ *```", "", page.read_text(encoding="utf-8"), flags=re.M | re.S)


def anchors(page):
    """The anchors of a page's headings, as a Markdown renderer makes them."""
    return {re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-")
            for heading in re.findall(r"^#+ +(.+?) *$", prose(page), re.M)}


def python_blocks():
    """(page, heading, line number of the first code line, code) of each python block."""
    return [(page, heading, start, code) for page in PAGES
            for language, heading, start, code in fenced_blocks(page) if language == "python"]


class PageTest(unittest.TestCase):
    def test_python_examples_run(self):
        ran = 0
        for page, heading, start, code in python_blocks():
            first = code.strip().splitlines()[0] if code.strip() else "(empty)"
            with self.subTest(block="%s:%d (%s) %s" % (page.name, start, heading, first)):
                # Padded so that a traceback names the page's own line numbers.
                exec(compile("\n" * (start - 1) + code, str(page), "exec"), {"__name__": "example"})
            ran += 1
        self.assertGreater(ran, 0, "no python block found in README.md")

    def test_example_scripts_run(self):
        self.assertGreater(len(SCRIPTS), 0, "no script found in examples/")
        for script in SCRIPTS:
            with self.subTest(script=script.name), contextlib.redirect_stdout(io.StringIO()) as printed:
                runpy.run_path(str(script), run_name="__main__")
            self.assertTrue(printed.getvalue(), script.name)

    def test_python_examples_type_check(self):
        # One module per block, so that each is checked in a namespace of its own as it runs;
        # padded so that mypy names the page's own line numbers.
        sources, shown_as = {}, {}
        for page, _, start, code in python_blocks():
            name = "%s_%d" % (re.sub(r"\W", "_", page.stem), start)
            sources[name] = "\n" * (start - 1) + code
            shown_as[name] = page.name
        for script in SCRIPTS:
            name = "examples_%s" % re.sub(r"\W", "_", script.stem)
            sources[name] = script.read_text(encoding="utf-8")
            shown_as[name] = "examples/" + script.name
        checked = type_check(sources)
        if checked is None:
            self.skipTest("mypy is not installed; scripts/setup.sh installs it")
        status, report = checked
        report = re.sub(r"^(\w+)\.py:", lambda match: shown_as.get(match.group(1), match.group(1)) + ":", report,
                        flags=re.M)
        self.assertEqual(status, 0, "mypy on the pages' python blocks and the example scripts:\n" + report)

    def test_every_block_is_python_or_sh(self):
        for page in PAGES:
            for language, heading, start, _ in fenced_blocks(page):
                self.assertIn(language, ("python", "sh"), "%s:%d (%s)" % (page.name, start, heading))

    def test_links_stay_inside_the_repository(self):
        for page in PAGES:
            self.assertNotRegex(page.read_text(encoding="utf-8"), r"(?i)\b(https?|ftp)://", page.name)
            for target in LINK.findall(prose(page)):
                path, _, anchor = target.partition("#")
                with self.subTest(page=page.name, link=target):
                    self.assertNotRegex(target, r"^[a-zA-Z][a-zA-Z0-9+.-]*:|^/")
                    linked = page.parent / path if path else page
                    self.assertTrue(linked.exists(), "no such file")
                    if anchor and linked.suffix == ".md":
                        self.assertIn(anchor, anchors(linked), "no such heading")


if __name__ == "__main__":
    unittest.main()
