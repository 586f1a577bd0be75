#!/usr/bin/env bash
# The whole suite: the core tests, the fuzz corpus replay and the Python suite under every
# CPython >= 3.12 (one .so), the wheel built and installed as a user would, then the same tests
# against an ASan+UBSan build, then a short run of every fuzz target.
# Builds and tests take ZQ_JOBS jobs (default: every core).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${ZQ_JOBS:-$(nproc)}
[[ $jobs =~ ^[1-9][0-9]*$ ]] || { echo "ZQ_JOBS must be a positive number of jobs, not '$jobs'" >&2; exit 2; }
# Also for the build that a profile-guided build runs inside its own (the instrumented module).
export CMAKE_BUILD_PARALLEL_LEVEL=$jobs
fuzz_seconds=${ZQ_FUZZ_SECONDS:-20}

echo "== release build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== packages: the sdist, an old interpreter refused, the wheel built from the sdist without a package index and installed into a fresh venv of every CPython >= 3.12"
ZQ_JOBS=$jobs scripts/wheel_check.sh

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZQ_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz smoke (${fuzz_seconds}s per target)"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined" >/dev/null
cmake --build build-fuzz -j "$jobs"
scripts/fuzz.sh build-fuzz "$fuzz_seconds"
echo "all suites passed"
