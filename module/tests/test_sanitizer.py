"""The sanitizer run itself: its leak suppressions cover the interpreter's interned strings only,
so a string made outside them and never released is reported."""

import subprocess
import sys
import textwrap
import unittest

from support import SANITIZED


@unittest.skipUnless(SANITIZED, "needs the sanitizer build")
class LeakSuppressionTest(unittest.TestCase):
    def test_lost_string_is_reported(self):
        script = textwrap.dedent("""
            import ctypes
            import duvevodavid._zqobjects
            make = ctypes.pythonapi.PyUnicode_FromString
            make.argtypes, make.restype = [ctypes.c_char_p], ctypes.c_void_p  # the reference is lost
            make(b"a string that nobody releases")
        """)
        done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True)
        self.assertNotEqual(done.returncode, 0, done.stderr)
        self.assertIn("LeakSanitizer: detected memory leaks", done.stderr)
        self.assertIn("PyUnicode_New", done.stderr)


if __name__ == "__main__":
    unittest.main()
