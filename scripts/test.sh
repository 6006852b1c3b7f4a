#!/usr/bin/env bash
# Builds everything and runs every test: the full suite, then the core tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, a short fuzzing run, then a format check. The
# Debian packages are built and checked after the full suite.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVU_BUILD_BENCH=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs")
bash scripts/check-package.sh build

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVU_SANITIZE=ON -DKVU_BUILD_UI=OFF >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$jobs" -L core)

# A short fuzzing run of every fuzz target over its stored corpus (clang, with the sanitizers).
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKVU_BUILD_FUZZ=ON -DKVU_SANITIZE=ON -DKVU_BUILD_UI=OFF -DKVU_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$jobs"
for target in build-fuzz/fuzz/*_fuzz; do
  name=$(basename "$target" _fuzz)
  scratch=$(mktemp -d)
  "$target" -max_total_time="${KVU_FUZZ_SECONDS:-30}" -max_len=4096 -print_final_stats=1 "$scratch" \
    "fuzz/corpus/$name" 2>&1 | tail -n 3
  rm -rf "$scratch"
done

bash scripts/check-format.sh
