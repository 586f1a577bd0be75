#!/usr/bin/env bash
# The wheel as a user gets it: built by pip without a package index, checked to hold the module,
# its stub and the typing marker and nothing else, then installed into a fresh venv of every
# CPython >= 3.12 here and used from outside the source tree, where the stub test runs against it.
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

"${pythons[0]}" -m pip wheel -q --no-index --no-cache-dir --disable-pip-version-check -w "$work/dist" .
wheels=("$work"/dist/*.whl)
[ ${#wheels[@]} -eq 1 ] || { echo "wheel check: expected one wheel, got: ${wheels[*]##*/}"; exit 1; }
wheel=${wheels[0]}

"${pythons[0]}" - "$wheel" <<'EOF'
import base64, hashlib, re, sys, zipfile
path = sys.argv[1]
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
    "$venv/bin/python" -m unittest discover -s "$repo/module/tests" -t "$repo/module/tests" \
      -p test_stub.py 2>"$work/stub-$ver.log" || { cat "$work/stub-$ver.log"; exit 1; }
  )
  echo "wheel check: $ver venv: installed and used from outside the tree; stub test: $(grep -m1 '^Ran' "$work/stub-$ver.log")"
done
