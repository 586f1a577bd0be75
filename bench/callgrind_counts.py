"""Instructions per call of a Python benchmark's operations, counted by callgrind.

A benchmark hands its operations (a function returning {name: callable}) and its own main to
counted_main(). Then:
    PY=$(scripts/find_pythons.sh | head -1)
    PYTHONPATH=build/python "$PY" bench/some_bench.py                   # the timed run
    PYTHONPATH=build/python "$PY" bench/some_bench.py --instructions     # every operation
    PYTHONPATH=build/python "$PY" bench/some_bench.py --instructions NAME...

Each operation runs under valgrind --tool=callgrind twice in a fresh interpreter, SHORT and LONG
times after one call that warms it up; the difference of the two totals over LONG - SHORT is the
cost of one pass of the loop, so start-up and set-up cancel out. An empty operation measured the
same way is the loop's own cost, which is subtracted. Hash randomisation is off, so a count
repeats to within a few instructions.
"""

import os
import re
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

SHORT = 200
LONG = 1200
LOOP = "(empty loop)"
JOBS = 4


def _repeat(operations, name, n):
    func = (lambda: None) if name == LOOP else operations()[name]
    func()
    for _ in range(n):
        func()


def _total(script, name, n):
    with tempfile.TemporaryDirectory() as work:
        run = subprocess.run(
            ["valgrind", "--tool=callgrind", "--dump-instr=no", "--callgrind-out-file=" + os.path.join(work, "out"),
             sys.executable, script, "--repeat", name, str(n)],
            env=dict(os.environ, PYTHONHASHSEED="0"), capture_output=True, text=True)
    found = re.search(r"Collected : (\d+)", run.stderr)
    if run.returncode != 0 or not found:
        raise RuntimeError("callgrind run of %r failed:\n%s" % (name, run.stderr[-2000:]))
    return int(found.group(1))


def _per_pass(script, name):
    with ThreadPoolExecutor(2) as pool:
        short, long = pool.map(lambda n: _total(script, name, n), (SHORT, LONG))
    return (long - short) / (LONG - SHORT)


def instructions_per_call(script, names):
    """{name: instructions of one call, the loop's own cost taken away}."""
    with ThreadPoolExecutor(JOBS // 2) as pool:
        passes = dict(zip([LOOP] + names, pool.map(lambda n: _per_pass(script, n), [LOOP] + names)))
    return {name: passes[name] - passes[LOOP] for name in names}


def counted_main(operations, main):
    """Runs main(), or with --instructions prints the count of every operation named (all by
    default); --repeat NAME N is the child run that callgrind counts."""
    args = sys.argv[1:]
    if args[:1] == ["--repeat"]:
        _repeat(operations, args[1], int(args[2]))
    elif args[:1] == ["--instructions"]:
        names = args[1:] or list(operations())
        counts = instructions_per_call(os.path.abspath(sys.argv[0]), names)
        print("Python %s, instructions per call (callgrind)" % sys.version.split()[0])
        for name in names:
            print("  %-40s %10.0f" % (name, counts[name]))
    else:
        main()
