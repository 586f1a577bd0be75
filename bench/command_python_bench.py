"""Python-level speed of CommandObject against the nearest plain-Python equivalents, measured
in the same run: a __slots__ class that checks its value's type the same way (construction and
==), and a dict keyed by the path tuple for the registry test.

Run with the built module on the path:
    PY=$(scripts/find_pythons.sh | head -1)
    PYTHONPATH=build/python "$PY" bench/command_python_bench.py
Each ratio is how many times faster CommandObject is than the baseline (higher is better).
"""

import sys

from duvevodavid._zqobjects import CommandObject
from timing import best_seconds

STATUS = "zq:transport:5"
PATH = ["transport", "ReceiveTimeout"]
DEEP_PATH = ["zq", "layer"]  # no exact entry: every entry below it is scanned


class PlainCommand:
    __slots__ = ("value",)

    def __init__(self, value):
        if type(value) is not bool and not isinstance(value, (int, str, bytes)):
            raise TypeError("Command must be str, int, bool or bytes")
        self.value = value

    def __eq__(self, other):
        return self.value == (other.value if isinstance(other, PlainCommand) else other)


# The exact entries a dict can answer directly (what the registry test does for an exact path).
REGISTRY = {("transport", "ReceiveTimeout"): "zq:transport:5", ("transport", "SendTimeout"): "zq:transport:4",
            ("zq", "layer", "UserShield"): "zq:zq:avl:us"}


def main():
    ours, plain = CommandObject(STATUS), PlainCommand(STATUS)
    other, plain_other = CommandObject(STATUS), PlainCommand(STATUS)
    assert ours.is_(PATH) and ours.is_(DEEP_PATH) is False and ours == other and plain == plain_other
    path_tuple = tuple(PATH)

    rows = [
        ("construction (str)", lambda: CommandObject(STATUS), lambda: PlainCommand(STATUS)),
        ("construction (int)", lambda: CommandObject(200), lambda: PlainCommand(200)),
        ("== instance", lambda: ours == other, lambda: plain == plain_other),
        ("== plain str", lambda: ours == STATUS, lambda: plain == STATUS),
        ("is_ exact path", lambda: ours.is_(PATH), lambda: REGISTRY.get(path_tuple) == STATUS),
        ("is_ path below", lambda: ours.is_(DEEP_PATH), lambda: REGISTRY.get(tuple(DEEP_PATH)) == STATUS),
        ("str()", lambda: str(ours), lambda: str(plain.value)),
    ]
    print("Python %d.%d" % sys.version_info[:2])
    print("%-22s %12s %12s %9s" % ("case", "ours ns", "plain ns", "ratio"))
    for name, mine, baseline in rows:
        mine_s, base_s = best_seconds(mine), best_seconds(baseline)
        print("%-22s %12.1f %12.1f %8.2fx" % (name, mine_s * 1e9, base_s * 1e9, base_s / mine_s))
    return 0


if __name__ == "__main__":
    sys.exit(main())
