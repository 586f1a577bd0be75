"""The build backend pip runs for `pip install .` and `pip wheel .`: CMake builds the module alone
(Release, no tests or benchmarks) in a temporary folder and installs it with its stub and typing
marker into a staging folder, whose files become the wheel. It also gives pip the metadata on its
own, so that an interpreter the module does not support is refused before anything is compiled,
and packs the source distribution. Standard library only, so that pip needs no package index.

    python3 scripts/wheel_backend.py sdist [DIRECTORY]

writes the source distribution into DIRECTORY (default: dist) and prints its path."""

import base64
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tarfile
import tempfile
import zipfile
from pathlib import Path

try:
    import tomllib
except ImportError:  # before 3.11; such an interpreter is refused when the metadata is asked for
    tomllib = None

SOURCE = Path(__file__).resolve().parent.parent
# One module for every CPython from 3.12 on: the 3.12 stable ABI.
TAG = "cp312-abi3-" + re.sub(r"[-.]", "_", sysconfig.get_platform())


def _project():
    """The [project] table of pyproject.toml."""
    text = (SOURCE / "pyproject.toml").read_text(encoding="utf-8")
    if tomllib is None:
        # Without a TOML reader the metadata cannot be written, so pip cannot check
        # requires-python itself; say what it would have said.
        wanted = re.search(r'^requires-python\s*=\s*"([^"]*)"', text, re.M)
        raise SystemExit("this project requires a different Python: %s not in %r"
                         % (sys.version.split()[0], wanted[1] if wanted else "a newer one"))
    return tomllib.loads(text)["project"]


def _dist_info():
    """The wheel's base name (normalised name and version) and the texts of its .dist-info
    folder but RECORD. Its METADATA is also the source distribution's PKG-INFO."""
    project = _project()
    name, version = re.sub(r"[-_.]+", "_", project["name"]).lower(), project["version"]
    return f"{name}-{version}", {
        "METADATA": (f"Metadata-Version: 2.1\nName: {project['name']}\nVersion: {version}\n"
                     f"Summary: {project['description']}\n"
                     f"Requires-Python: {project['requires-python']}\n"),
        "WHEEL": ("Wheel-Version: 1.0\nGenerator: scripts/wheel_backend.py\n"
                  f"Root-Is-Purelib: false\nTag: {TAG}\n"),
    }


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


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    base, texts = _dist_info()
    folder = Path(metadata_directory) / f"{base}.dist-info"
    folder.mkdir(parents=True, exist_ok=True)
    for name, text in texts.items():
        (folder / name).write_text(text, encoding="utf-8")
    return folder.name


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    base, texts = _dist_info()
    dist_info = f"{base}.dist-info"
    metadata = {name: text.encode() for name, text in texts.items()}
    if metadata_directory is not None:
        # The .dist-info folder prepare_metadata_for_build_wheel wrote: the wheel holds the
        # metadata pip was shown before the build, byte for byte.
        metadata = {name: (Path(metadata_directory) / name).read_bytes() for name in metadata}
    wheel_name = f"{base}-{TAG}.whl"
    with tempfile.TemporaryDirectory() as staging:
        with tempfile.TemporaryDirectory() as build:
            _install_module(staging, build)
        files = [(p.relative_to(staging).as_posix(), p.read_bytes())
                 for p in sorted(Path(staging).rglob("*")) if p.is_file()]
    files += [(f"{dist_info}/{name}", data) for name, data in metadata.items()]
    record = [_record_line(arcname, data) for arcname, data in files] + [f"{dist_info}/RECORD,,"]
    with zipfile.ZipFile(Path(wheel_directory) / wheel_name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for arcname, data in files:
            wheel.writestr(arcname, data)
        wheel.writestr(f"{dist_info}/RECORD", "\n".join(record) + "\n")
    return wheel_name


def _tracked_files():
    """The files git tracks under the source folder (relative paths, sorted) that the work tree
    holds; a tracked file deleted but not yet committed is left out."""
    try:
        listed = subprocess.run(["git", "ls-files", "-z"], cwd=SOURCE, capture_output=True,
                                check=True).stdout.decode()
    except (OSError, subprocess.CalledProcessError):
        listed = ""
    files = sorted(f for f in listed.split("\0") if f and (SOURCE / f).is_file())
    if "pyproject.toml" not in files:
        # Only git tells the project's own files from whatever else a tree has gathered (builds,
        # virtual environments); an unpacked source distribution is installed, not packed again.
        raise SystemExit(f"a source distribution is made from a git checkout of the project, "
                         f"and {SOURCE} is not one (git ls-files does not list pyproject.toml)")
    return files


def _plain_member(info):
    """Owner and permissions that say nothing of the machine the archive was made on."""
    info.uid = info.gid = 0
    info.uname = info.gname = ""
    info.mode = 0o755 if info.mode & 0o111 else 0o644
    return info


def build_sdist(sdist_directory, config_settings=None):
    base, texts = _dist_info()
    files = _tracked_files()
    Path(sdist_directory).mkdir(parents=True, exist_ok=True)
    sdist_name = f"{base}.tar.gz"
    with tarfile.open(Path(sdist_directory) / sdist_name, "w:gz", format=tarfile.PAX_FORMAT) as sdist:
        pkg_info = texts["METADATA"].encode()
        info = _plain_member(tarfile.TarInfo(f"{base}/PKG-INFO"))
        info.size, info.mtime = len(pkg_info), int((SOURCE / "pyproject.toml").stat().st_mtime)
        sdist.addfile(info, io.BytesIO(pkg_info))
        for name in files:
            sdist.add(SOURCE / name, f"{base}/{name}", recursive=False, filter=_plain_member)
    return sdist_name


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3) or sys.argv[1] != "sdist":
        raise SystemExit("usage: python3 scripts/wheel_backend.py sdist [DIRECTORY]")
    directory = Path(sys.argv[2] if len(sys.argv) == 3 else "dist")
    print(directory / build_sdist(directory))
