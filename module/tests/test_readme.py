"""The user pages (README.md and docs/*.md): every ```python block runs, in page order, each in a
fresh namespace, so that what the pages show stays true, and passes mypy --strict for Python 3.12
against the module's stub, as a user's type checker sees it; every block is marked python or sh,
so none is skipped by mistake; and every link stays inside the repository and finds its file and
heading."""

import os
import pathlib
import re
import shutil
import subprocess
import tempfile
import textwrap
import unittest

from duvevodavid import _zqobjects

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
PAGES = [ROOT / "README.md", *sorted((ROOT / "docs").glob("*.md"))]
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

    def test_python_examples_type_check(self):
        # Debian's mypy (scripts/setup.sh installs it) runs under the system's Python 3.11 and
        # checks for 3.12; it finds nothing but its own typeshed and the stub given in MYPYPATH.
        mypy = shutil.which("mypy")
        if mypy is None:
            self.skipTest("mypy is not installed; scripts/setup.sh installs it")
        stub = pathlib.Path(_zqobjects.__file__).with_name("_zqobjects.pyi")
        with tempfile.TemporaryDirectory() as folder:
            work = pathlib.Path(folder)
            (work / "stubs" / "duvevodavid").mkdir(parents=True)
            shutil.copy(stub, work / "stubs" / "duvevodavid" / "_zqobjects.pyi")
            # One module per block, so that each is checked in a namespace of its own as it runs;
            # padded so that mypy names the page's own line numbers.
            files = {}
            for page, _, start, code in python_blocks():
                name = "%s_%d.py" % (re.sub(r"\W", "_", page.stem), start)
                (work / name).write_text("\n" * (start - 1) + code, encoding="utf-8")
                files[name] = page.name
            # Nothing of this interpreter's environment (PYTHONPATH, a sanitizer's preload) may
            # reach the other interpreter.
            env = {key: value for key, value in os.environ.items()
                   if not key.startswith(("PYTHON", "MYPY", "LD_", "ASAN_", "LSAN_", "UBSAN_"))}
            env.update(MYPYPATH=str(work / "stubs"), PYTHONDONTWRITEBYTECODE="1")
            done = subprocess.run(
                [mypy, "--config-file=", "--python-version", "3.12", "--strict", "--no-site-packages",
                 "--no-incremental", "--cache-dir", str(work / "cache"), "--no-color-output",
                 "--no-error-summary", *sorted(files)],
                cwd=work, env=env, capture_output=True, text=True, timeout=600)
        report = re.sub(r"^(\w+?)_\d+\.py:", lambda m: files[m.group(0)[:-1]] + ":", done.stdout, flags=re.M)
        self.assertEqual(done.returncode, 0, "mypy on the pages' python blocks:\n" + report + done.stderr)

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
