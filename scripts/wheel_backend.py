"""The build backend pip runs for `pip install .` and `pip wheel .`: CMake builds the module alone
(Release, no tests or benchmarks) in a temporary folder and installs it with its stub and typing
marker into a staging folder, whose files become the wheel. Standard library only, so that pip
needs no package index."""

import base64
import hashlib
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import tomllib
import zipfile
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent
# One module for every CPython from 3.12 on: the 3.12 stable ABI.
TAG = "cp312-abi3-" + re.sub(r"[-.]", "_", sysconfig.get_platform())


def _run(command):
    if subprocess.run(command).returncode != 0:
        raise SystemExit("building the module failed in: " + " ".join(command))


def _install_module(staging, build):
    configure = ["cmake", "-S", str(SOURCE), "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                 "-DZQ_BUILD_TESTS=OFF", "-DZQ_BUILD_BENCH=OFF"]
    if shutil.which("ninja"):
        configure += ["-G", "Ninja"]
    # The interpreter running pip builds the module when it can load it; otherwise the
    # project's own search picks one, or says what is missing.
    if sys.version_info >= (3, 12):
        configure.append("-DPython3_EXECUTABLE=" + sys.executable)
    jobs = os.environ.get("ZQ_JOBS") or str(len(os.sched_getaffinity(0)))
    # Also for the build of the instrumented module inside the profile-guided one.
    os.environ["CMAKE_BUILD_PARALLEL_LEVEL"] = jobs
    _run(configure)
    _run(["cmake", "--build", build, "--target", "zqobjects", "--parallel", jobs])
    _run(["cmake", "--install", build, "--prefix", staging, "--strip"])


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    with open(SOURCE / "pyproject.toml", "rb") as f:
        project = tomllib.load(f)["project"]
    name, version = re.sub(r"[-_.]+", "_", project["name"]).lower(), project["version"]
    dist_info = f"{name}-{version}.dist-info"
    metadata = {
        "METADATA": (f"Metadata-Version: 2.1\nName: {project['name']}\nVersion: {version}\n"
                     f"Summary: {project['description']}\n"
                     f"Requires-Python: {project['requires-python']}\n"),
        "WHEEL": ("Wheel-Version: 1.0\nGenerator: scripts/wheel_backend.py\n"
                  f"Root-Is-Purelib: false\nTag: {TAG}\n"),
    }
    wheel_name = f"{name}-{version}-{TAG}.whl"
    with tempfile.TemporaryDirectory() as staging:
        with tempfile.TemporaryDirectory() as build:
            _install_module(staging, build)
        files = [(p.relative_to(staging).as_posix(), p.read_bytes())
                 for p in sorted(Path(staging).rglob("*")) if p.is_file()]
    files += [(f"{dist_info}/{n}", text.encode()) for n, text in metadata.items()]
    record = [_record_line(arcname, data) for arcname, data in files] + [f"{dist_info}/RECORD,,"]
    with zipfile.ZipFile(Path(wheel_directory) / wheel_name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for arcname, data in files:
            wheel.writestr(arcname, data)
        wheel.writestr(f"{dist_info}/RECORD", "\n".join(record) + "\n")
    return wheel_name
