#!/usr/bin/env bash
# Prints every CPython on this machine that can build and load the module, one path per line,
# oldest first: version >= 3.12, GIL-enabled (a free-threaded build cannot load a stable-ABI
# module) and with its Python.h. Given an interpreter as argument, checks only that one.
# When none qualifies, says on stderr what is needed and exits 1.
# Candidates are run, not just looked up: pyenv shims exist on PATH but fail without PYENV_VERSION.
set -u
candidates=()
if [ $# -gt 0 ]; then
  candidates=("$1")
else
  for name in python3.12 python3.13 python3.14 python3.15 python3; do
    p=$(command -v "$name" 2>/dev/null) && candidates+=("$p")
  done
  if command -v pyenv >/dev/null 2>&1; then
    root=$(pyenv root 2>/dev/null)
    for p in "$root"/versions/3.1[2-9]*/bin/python3; do [ -x "$p" ] && candidates+=("$p"); done
  fi
  for p in /usr/bin/python3.1[2-9] /usr/local/bin/python3.1[2-9]; do [ -x "$p" ] && candidates+=("$p"); done
fi

# Prints "MAJOR.MINOR EXECUTABLE" and succeeds, or prints why the interpreter does not qualify.
probe='
import os, sys, sysconfig
version = "%d.%d.%d" % sys.version_info[:3]
headers = os.path.join(sysconfig.get_paths()["include"], "Python.h")
reason = (sys.version_info < (3, 12) and version + ", older than 3.12"
          or sys.implementation.name != "cpython" and sys.implementation.name + ", not CPython"
          or sysconfig.get_config_var("Py_GIL_DISABLED") and version + ", free-threaded"
          or not os.path.isfile(headers) and version + ", no " + headers)
print(reason or "%d.%d %s" % (sys.version_info[0], sys.version_info[1], sys.executable))
sys.exit(1 if reason else 0)
'

declare -A seen=()
found=() tried=()
for p in "${candidates[@]}"; do
  if out=$(env -u PYENV_VERSION "$p" -c "$probe" 2>/dev/null); then
    # The interpreter's own executable path identifies it, whatever link or shim led to it.
    ver=${out%% *} exe=${out#* }
    [ -n "${seen[$ver]:-}" ] && continue
    seen[$ver]=1
    found+=("$exe")
  else
    tried+=("$p (${out:-does not run})")
  fi
done

if [ ${#found[@]} -gt 0 ]; then
  printf '%s\n' "${found[@]}" | sort -V
  exit 0
fi
{
  [ $# -gt 0 ] && echo "The Python given cannot build the module: ${tried[0]}."
  [ $# -eq 0 ] && echo "No Python that can build the module was found."
  echo "It needs a GIL-enabled CPython >= 3.12 with its development headers (Python.h), found as"
  echo "python3.12 (or later) on PATH, as a pyenv version (with pyenv on PATH), or given to CMake"
  echo "(or to scripts/setup.sh) as -DPython3_EXECUTABLE=/path/to/python3.12."
  echo "Debian 12's own python3 is 3.11, which is not enough."
  [ $# -eq 0 ] && printf 'Tried %s.\n' "${tried[@]}"
} >&2
exit 1
