#!/usr/bin/env bash
# Prints every real CPython >= 3.12 interpreter on this machine, one path per line, oldest first.
# Candidates are run, not just looked up: pyenv shims exist on PATH but fail without PYENV_VERSION.
set -u
candidates=()
for name in python3.12 python3.13 python3.14 python3.15 python3; do
  p=$(command -v "$name" 2>/dev/null) && candidates+=("$p")
done
if command -v pyenv >/dev/null 2>&1; then
  root=$(pyenv root 2>/dev/null)
  for p in "$root"/versions/3.1[2-9]*/bin/python3; do [ -x "$p" ] && candidates+=("$p"); done
fi
for p in /usr/bin/python3.1[2-9] /usr/local/bin/python3.1[2-9]; do [ -x "$p" ] && candidates+=("$p"); done

declare -A seen=()
for p in "${candidates[@]}"; do
  # The interpreter's own executable path identifies it, whatever link or shim led to it.
  real=$(env -u PYENV_VERSION "$p" -c 'import sys; sys.exit(1) if sys.version_info < (3, 12) else print(sys.version_info[:2], sys.executable)' 2>/dev/null) || continue
  ver=${real%%)*}; exe=${real#*) }
  [ -n "${seen[$ver]:-}" ] && continue
  seen[$ver]=1
  echo "$exe"
done | sort -V
