#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, builds the module and runs a short example.
set -euo pipefail
cd "$(dirname "$0")/.."
need=()
for pkg in cmake ninja-build g++ clang-14 libclang-rt-14-dev pkg-config libzstd-dev zstd \
           libgtest-dev libbenchmark-dev libmsgpack-cxx-dev; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=$([ "$(id -u)" = 0 ] && echo "" || echo sudo)
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
py=$(grep '^Python3_EXECUTABLE:' build/CMakeCache.txt | cut -d= -f2)
PYTHONPATH=build/python "$py" examples/roundtrip.py
