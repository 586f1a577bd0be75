"""Helpers the test modules share: raised errors with their notes, hooks for unraisable errors,
values that misbehave while converted, growth of memory across repeated calls, and type checks
of code against the module's stub."""

import contextlib
import ctypes
import gc
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

from duvevodavid import _zqobjects

# Under the sanitizers PYTHONMALLOC=malloc leaves no block count, freed memory waits in a
# quarantine that grows the resident size, and LeakSanitizer checks the native heap instead.
SANITIZED = bool(os.environ.get("ZQ_SANITIZED"))
ROUNDS = 10_000


class NotedErrorTestCase(unittest.TestCase):
    def assert_raises_noted(self, call, exc_type, message, note, label=None):
        """`call()` raises exc_type with `message` (None: any) and exactly the note for `note`."""
        with self.assertRaises(exc_type, msg=label) as caught:
            call()
        if message is not None:
            self.assertEqual(str(caught.exception), message, label)
        expected = None if note is None else ["while processing '%s'" % note]
        self.assertEqual(getattr(caught.exception, "__notes__", None), expected, label)
        return caught.exception


class CaughtUnraisable:
    """Collects what reaches sys.unraisablehook while active."""

    def __enter__(self):
        self.seen = []
        self.saved = sys.unraisablehook
        sys.unraisablehook = self.seen.append
        return self

    def __exit__(self, *exc):
        sys.unraisablehook = self.saved


@contextlib.contextmanager
def ignored_unraisable():
    """Drops what reaches sys.unraisablehook while active, keeping nothing that would grow."""
    saved = sys.unraisablehook
    sys.unraisablehook = lambda unraisable: None
    try:
        yield
    finally:
        sys.unraisablehook = saved


def released_memoryview():
    """A released memoryview: iter() of it comes back with its error already set."""
    view = memoryview(b"abc")
    view.release()
    return view


class Unprintable(str):
    def __str__(self):
        raise ValueError("cannot print")


def nested(depth, innermost=0):
    """`innermost` inside `depth` lists, so that it sits at that depth."""
    value = innermost
    for _ in range(depth):
        value = [value]
    return value


def each_raises(calls, errors):
    """Runs every call, each of which must raise one of `errors`."""
    for call in calls:
        try:
            call()
        except errors:
            pass
        else:
            raise AssertionError("expected a failure")


class MallInfo2(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in (
        "arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks", "fordblks", "keepcost")]


def malloc_in_use():
    """Bytes the C allocator has handed out and not taken back (glibc), or None: a native leak
    shows here at once, long before the resident size grows."""
    mallinfo2 = getattr(ctypes.CDLL(None), "mallinfo2", None)
    if mallinfo2 is None or SANITIZED:
        return None
    mallinfo2.restype = MallInfo2
    info = mallinfo2()
    return info.uordblks + info.hblkhd


def rss_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


class GrowthTestCase(unittest.TestCase):
    """assert_no_growth: repeated work leaves the interpreter's blocks, the C heap and the
    resident size within their slack (what comes and goes with caches). A subclass sets
    BLOCK_SLACK and RSS_SLACK for the work it repeats."""

    MALLOC_SLACK = 64 * 1024

    def assert_no_growth(self, work, rounds=ROUNDS):
        for _ in range(rounds // 10):  # warm caches, arenas and free lists
            work()
        gc.collect()  # the misbehaving values of some failures sit in reference cycles
        blocks, in_use, rss = sys.getallocatedblocks(), malloc_in_use(), rss_bytes()
        for _ in range(rounds):
            work()
        gc.collect()
        if not SANITIZED:
            self.assertLess(sys.getallocatedblocks() - blocks, self.BLOCK_SLACK, "interpreter blocks")
        if in_use is not None:
            self.assertLess(malloc_in_use() - in_use, self.MALLOC_SLACK, "C heap bytes")
        if not SANITIZED:
            self.assertLess(rss_bytes() - rss, self.RSS_SLACK, "resident bytes")


def type_check(sources):
    """mypy --strict for Python 3.12 over `sources` ({module name: code}), each module checked
    against the stub beside the imported module and nothing else, as a user's type checker sees
    it: (exit status, report naming each module's file as "<name>.py"). None when mypy is not
    installed (scripts/setup.sh installs Debian's)."""
    mypy = shutil.which("mypy")
    if mypy is None:
        return None
    stub = pathlib.Path(_zqobjects.__file__).with_name("_zqobjects.pyi")
    with tempfile.TemporaryDirectory() as folder:
        work = pathlib.Path(folder)
        (work / "stubs" / "duvevodavid").mkdir(parents=True)
        shutil.copy(stub, work / "stubs" / "duvevodavid" / "_zqobjects.pyi")
        for name, code in sources.items():
            (work / (name + ".py")).write_text(code, encoding="utf-8")
        # Debian's mypy runs under the system's Python 3.11: nothing of this interpreter's
        # environment (PYTHONPATH, a sanitizer's preload) may reach it.
        env = {key: value for key, value in os.environ.items()
               if not key.startswith(("PYTHON", "MYPY", "LD_", "ASAN_", "LSAN_", "UBSAN_"))}
        env.update(MYPYPATH=str(work / "stubs"), PYTHONDONTWRITEBYTECODE="1")
        done = subprocess.run(
            [mypy, "--config-file=", "--python-version", "3.12", "--strict", "--no-site-packages",
             "--no-incremental", "--cache-dir", str(work / "cache"), "--no-color-output",
             "--no-error-summary", *sorted(name + ".py" for name in sources)],
            cwd=work, env=env, capture_output=True, text=True, timeout=600)
    return done.returncode, done.stdout + done.stderr
