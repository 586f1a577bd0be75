#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, builds the module and runs a short example.
# Arguments go on to CMake's configure step (for example -DPython3_EXECUTABLE=/path/to/python3.12);
# the build takes ZQ_JOBS jobs (default: every core).
set -euo pipefail
cd "$(dirname "$0")/.."

# The interpreter first: apt cannot supply one on Debian 12, and without it nothing below can
# finish. Checked is the one CMake will use: given here, else kept by an earlier set-up, else
# the best one found.
python=$(sed -n 's/^Python3_EXECUTABLE:[A-Z]*=//p' build/CMakeCache.txt 2>/dev/null || true)
for arg in "$@"; do
  case ${arg#-D} in Python3_EXECUTABLE=* | Python3_EXECUTABLE:*=*) python=${arg#*=} ;; esac
done
scripts/find_pythons.sh ${python:+"$python"} >/dev/null

need=()
for pkg in cmake ninja-build g++ clang-14 libclang-rt-14-dev pkg-config libzstd-dev zstd \
           libgtest-dev libbenchmark-dev libmsgpack-cxx-dev mypy; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=$([ "$(id -u)" = 0 ] && echo "" || echo sudo)
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
# The job count also reaches the build of the instrumented module inside a profile-guided one.
export CMAKE_BUILD_PARALLEL_LEVEL=${ZQ_JOBS:-$(nproc)}
cmake --build build -j "$CMAKE_BUILD_PARALLEL_LEVEL"
py=$(grep '^Python3_EXECUTABLE:' build/CMakeCache.txt | cut -d= -f2)
PYTHONPATH=build/python "$py" examples/roundtrip.py
