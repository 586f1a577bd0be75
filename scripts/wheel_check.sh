#!/usr/bin/env bash
# The package as a user gets it. The source distribution is packed from the tree's tracked files
# and checked to hold exactly those and its PKG-INFO; pip under a Python older than 3.12 is
# refused by it within seconds, before anything is compiled; pip without a package index builds
# the wheel from it, which is checked to hold the module, its stub and the typing marker and
# nothing else, then installed into a fresh venv of every CPython >= 3.12 here and used from
# outside the source tree, where the stub test, the pages' examples and the example scripts run
# and are type-checked against it.
# The build takes ZQ_JOBS jobs (default: every core).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
export PYTHONDONTWRITEBYTECODE=1  # the source tree is left as it was
list=$(scripts/find_pythons.sh)
mapfile -t pythons <<<"$list"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
shopt -s nullglob

sdist=$("${pythons[0]}" scripts/wheel_backend.py sdist "$work/sdist")
"${pythons[0]}" - "$sdist" <<'EOF'
import os, subprocess, sys, tarfile
path = sys.argv[1]
top = "duvevodavid_zqobjects-0.1.0"
assert os.path.basename(path) == top + ".tar.gz", path
tracked = {f for f in subprocess.run(["git", "ls-files", "-z"], capture_output=True, check=True,
                                     text=True).stdout.split("\0") if os.path.isfile(f)}
with tarfile.open(path) as sdist:
    members = sdist.getmembers()
    for m in members:
        assert m.isfile() and m.name.startswith(top + "/") and ".." not in m.name.split("/"), m.name
    files = {m.name.removeprefix(top + "/"): m for m in members}
    assert len(files) == len(members), "a file is packed twice"
    assert set(files) == tracked | {"PKG-INFO"}, sorted(set(files) ^ (tracked | {"PKG-INFO"}))
    for name in tracked:
        with open(name, "rb") as f:
            assert sdist.extractfile(files[name]).read() == f.read(), name
        # Scripts the build runs (find_pythons.sh) must stay executable.
        assert bool(files[name].mode & 0o100) == os.access(name, os.X_OK), name
    pkg_info = sdist.extractfile(files["PKG-INFO"]).read().decode()
for field in ("Name: duvevodavid-zqobjects", "Version: 0.1.0", "Requires-Python: >=3.12"):
    assert field + "\n" in pkg_info, (field, pkg_info)
print("wheel check: %s holds the %d tracked files and PKG-INFO" % (os.path.basename(path), len(tracked)))
EOF
tar -xzf "$sdist" -C "$work"
unpacked=$work/duvevodavid_zqobjects-0.1.0

# pip reads the metadata, and so the required version, before it builds; an old interpreter is
# refused without the module being compiled. The build tools are replaced by ones that leave a
# mark, so that a build started anyway is seen however fast it fails. Checked are the newest
# interpreter older than 3.12 and the newest older than 3.11 (which cannot read pyproject.toml),
# where the machine has them.
old_pythons() {
  local root p
  root=$(pyenv root 2>/dev/null || true)
  for p in $(command -v python3 python3.11 python3.10 python3.9 python3.8) \
           /usr/bin/python3.[0-9] /usr/bin/python3.[0-9][0-9] ${root:+"$root"/versions/3.*/bin/python3}; do
    # Candidates are run: a pyenv shim is on PATH whether or not its version is selected.
    env -u PYENV_VERSION "$p" -c '
import sys, venv, ensurepip
if sys.version_info < (3, 12): print("%d.%d %s" % (*sys.version_info[:2], sys.executable))' \
      2>/dev/null || true
  done | sort -V -u -k1,1
}
mkdir "$work/no-build"
for tool in cmake ninja make c++ g++ cc gcc; do
  printf '#!/bin/sh\ntouch "%s"\nexit 1\n' "$work/build-started" >"$work/no-build/$tool"
  chmod +x "$work/no-build/$tool"
done
mapfile -t olds < <(old_pythons)
checked=()
[ ${#olds[@]} -eq 0 ] || checked+=("${olds[-1]}")
for old in "${olds[@]}"; do [ "${old%% *}" = 3.11 ] || below_311=$old; done
[ -z "${below_311:-}" ] || [ "$below_311" = "${checked[0]}" ] || checked+=("$below_311")
[ ${#checked[@]} -gt 0 ] || echo "wheel check: no Python older than 3.12 here; its refusal is not checked"
for old in "${checked[@]}"; do
  ver=${old%% *} exe=${old#* }
  "$exe" -m venv "$work/venv-old-$ver"
  start=$(date +%s%N)
  if PATH="$work/no-build:$PATH" "$work/venv-old-$ver/bin/python" -m pip install --no-index \
       --no-cache-dir --disable-pip-version-check "$unpacked" >"$work/old-$ver.log" 2>&1; then
    echo "wheel check: pip under $ver installed the project"; exit 1
  fi
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  [ ! -e "$work/build-started" ] || {
    cat "$work/old-$ver.log"; echo "wheel check: pip under $ver started a build"; exit 1; }
  grep -q "requires a different Python: $ver\.[0-9]* not in '>=3.12'" "$work/old-$ver.log" || {
    cat "$work/old-$ver.log"; echo "wheel check: pip under $ver did not refuse for the Python version"; exit 1; }
  [ "$ms" -lt 30000 ] || { echo "wheel check: pip under $ver took ${ms} ms to refuse"; exit 1; }
  echo "wheel check: pip under $ver ($exe) refused in ${ms} ms without building: $(grep -o 'requires a different Python.*' "$work/old-$ver.log")"
done

"${pythons[0]}" -m pip wheel -q --no-index --no-cache-dir --disable-pip-version-check -w "$work/dist" "$sdist"
wheels=("$work"/dist/*.whl)
[ ${#wheels[@]} -eq 1 ] || { echo "wheel check: expected one wheel, got: ${wheels[*]##*/}"; exit 1; }
wheel=${wheels[0]}

"${pythons[0]}" - "$wheel" "$sdist" <<'EOF'
import base64, hashlib, re, sys, tarfile, zipfile
path, sdist = sys.argv[1:]
assert path.endswith("-cp312-abi3-linux_x86_64.whl"), path
with zipfile.ZipFile(path) as wheel:
    names = set(wheel.namelist())
    dist_info = {n.split("/")[0] for n in names if re.match(r"[^/]+\.dist-info/", n)}
    assert len(dist_info) == 1, dist_info
    (dist_info,) = dist_info
    expected = {"duvevodavid/_zqobjects.abi3.so", "duvevodavid/_zqobjects.pyi", "duvevodavid/py.typed"}
    expected |= {f"{dist_info}/{n}" for n in ("METADATA", "WHEEL", "RECORD")}
    assert names == expected, sorted(names ^ expected)
    assert "Tag: cp312-abi3-linux_x86_64\n" in wheel.read(f"{dist_info}/WHEEL").decode()
    record = {}
    for line in wheel.read(f"{dist_info}/RECORD").decode().splitlines():
        name, digest, size = line.rsplit(",", 2)
        record[name] = (digest, size)
    assert record.pop(f"{dist_info}/RECORD") == ("", ""), "RECORD lists itself without hash"
    assert set(record) == names - {f"{dist_info}/RECORD"}, sorted(set(record) ^ names)
    for name, (digest, size) in record.items():
        data = wheel.read(name)
        want = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
        assert (digest, size) == (f"sha256={want}", str(len(data))), name
    # pip reads the metadata before the build and hands it to the build: the two must agree.
    with tarfile.open(sdist) as source:
        pkg_info = source.extractfile("duvevodavid_zqobjects-0.1.0/PKG-INFO").read()
    assert wheel.read(f"{dist_info}/METADATA") == pkg_info, "METADATA differs from PKG-INFO"
print("wheel check: %s holds %s" % (path.rsplit("/", 1)[1], ", ".join(sorted(names))))
EOF

# Imported from a folder outside the source tree with no PYTHONPATH, the module must come from
# the venv, with its stub and marker beside it.
use='
import pathlib, sysconfig
import duvevodavid._zqobjects as zq
from duvevodavid._zqobjects import Url, ZQRequest, ZQResponse
where = pathlib.Path(zq.__file__).parent
assert where == pathlib.Path(sysconfig.get_paths()["platlib"], "duvevodavid"), where
assert {p.name for p in where.iterdir()} >= {"_zqobjects.abi3.so", "_zqobjects.pyi", "py.typed"}
request = ZQRequest("post", Url("zq://example.org/items?page=2"), {"user": "alice", "n": [3, 1]},
                    {"session": "8f14e45f"})
back = ZQRequest.deserialize(request.serialize())
assert (back.method, str(back.url), back.payload, back.cookies) == \
    (request.method, str(request.url), request.payload, request.cookies)
reply = ZQResponse.deserialize(ZQResponse("ok", {"page": back.url.params["page"]}).serialize())
assert reply.command.ok and reply.payload == {"page": 2}
'
for py in "${pythons[@]}"; do
  ver=$("$py" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
  venv="$work/venv-$ver"
  "$py" -m venv "$venv"
  "$venv/bin/python" -m pip install -q --no-index --no-cache-dir --disable-pip-version-check "$wheel"
  (
    cd "$work"
    unset PYTHONPATH
    "$venv/bin/python" -c "$use"
    for tests in test_stub.py test_readme.py; do
      "$venv/bin/python" -m unittest discover -s "$repo/module/tests" -t "$repo/module/tests" \
        -p "$tests" 2>"$work/$tests-$ver.log" || { cat "$work/$tests-$ver.log"; exit 1; }
    done
    # As the README shows: Debian's mypy, which runs under its own Python, given the venv's
    # site-packages, where it finds the installed stub.
    if command -v mypy >/dev/null; then
      site=$("$venv/bin/python" -c 'import sysconfig; print(sysconfig.get_paths()["purelib"])')
      env -u PYTHONPATH MYPYPATH="$site" mypy --python-version 3.12 --strict --no-incremental \
        --cache-dir "$work/mypy-cache-$ver" "$repo/examples/roundtrip.py"
    fi
  )
  echo "wheel check: $ver venv: installed and used from outside the tree; stub test: $(grep -m1 '^Ran' "$work/test_stub.py-$ver.log"), pages and examples: $(grep -m1 '^Ran' "$work/test_readme.py-$ver.log")"
done
