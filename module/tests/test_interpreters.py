"""Subinterpreters that share the main interpreter's lock: what the module keeps for one
interpreter (looked-up types and functions, interned names) dies with it, and the others go on."""

import subprocess
import sys
import textwrap
import unittest

# Every kept object in use: keyword names, a Sequence check, the length hint of a generator,
# an argument note, ast.literal_eval, the transport parser's import and the str objects of map
# keys read back.
USE_THE_MODULE = textwrap.dedent("""
    import collections.abc
    from duvevodavid._zqobjects import CommandObject, STPContainer, Url, VFSDContainer, ZQRequest

    class Segments(collections.abc.Sequence):
        def __len__(self):
            return 1

        def __getitem__(self, i):
            if i:
                raise IndexError(i)
            return "NotFound"

    assert CommandObject("zq:app:404").is_(path=Segments())
    try:
        CommandObject("zq:app:404").is_(["app", 404])
    except TypeError as e:
        assert e.__notes__ == ["while processing 'path'"], e.__notes__
    else:
        raise AssertionError("no TypeError")
    frame = (1, "f", bytes(32), 5, None)
    assert VFSDContainer("p", (f for f in [frame])).frames == [frame]
    assert Url("x://h/p?a=[1, 2]").params == {"a": [1, 2]}
    assert ZQRequest("get", Url("zq://h/p"), transport="tcp").transportObject == ("tcp",)
    table = {"key%d" % i: {"inner": i} for i in range(50)}
    assert STPContainer.deserialize(STPContainer(table).serialize()).payload == table
""")


class SharedLockSubinterpreterTest(unittest.TestCase):
    def test_module_outlives_subinterpreters_that_used_it_first(self):
        script = textwrap.dedent("""
            import _testcapi
            code = %r
            for _ in range(3):
                assert _testcapi.run_in_subinterp(code) == 0, "subinterpreter failed"
            exec(code)
            assert _testcapi.run_in_subinterp(code) == 0, "subinterpreter after the main one failed"
            exec(code)
            print("ok")
        """) % USE_THE_MODULE
        done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True)
        self.assertEqual((done.returncode, done.stdout), (0, "ok\n"), done.stderr)


if __name__ == "__main__":
    unittest.main()
