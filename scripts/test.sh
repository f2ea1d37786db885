#!/usr/bin/env bash
# Builds Velkaro and runs every test: the full build (application, tools,
# benchmarks) with all tests, the core tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the link tests under ThreadSanitizer, each
# fuzz target for a bounded time, and last the Debian package built from the
# first build, installed, tried and removed. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=${VELKARO_JOBS:-2}
fuzz_seconds=${VELKARO_FUZZ_SECONDS:-30}
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

step() { printf '\n=== %s\n' "$*"; }

step "build and test (RelWithDebInfo)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKARO_GUI=ON \
  -DVELKARO_TESTS=ON -DVELKARO_BENCH=ON -DVELKARO_SANITIZE= -DVELKARO_FUZZ=OFF
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs"

step "core tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELKARO_GUI=OFF \
  -DVELKARO_BENCH=OFF -DVELKARO_SANITIZE=address,undefined
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan -L core -j "$jobs"

step "link tests under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELKARO_GUI=OFF \
  -DVELKARO_BENCH=OFF -DVELKARO_SANITIZE=thread
cmake --build build-tsan -j "$jobs"
# ThreadSanitizer cannot map its shadow memory under the kernel's widest
# address randomisation; run its tests with randomisation off.
setarch "$(uname -m)" -R ctest --test-dir build-tsan -L link -j "$jobs"

step "fuzz targets, ${fuzz_seconds} s each"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELKARO_FUZZ=ON -DVELKARO_SANITIZE=address,undefined -DVELKARO_GUI=OFF \
  -DVELKARO_TESTS=OFF -DVELKARO_BENCH=OFF
cmake --build build-fuzz -j "$jobs"
fuzzers=$(find build-fuzz/bin -maxdepth 1 -name 'fuzz_*' -type f -executable | sort)
fuzz_passed=0
for f in $fuzzers; do
  name=$(basename "$f")
  corpus=$(mktemp -d)
  seeds=fuzz/corpus/${name#fuzz_}
  echo "--- $name"
  dirs=("$corpus")
  [ -d "$seeds" ] && dirs+=("$seeds")
  if ! "$f" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 "${dirs[@]}" >"$corpus.log" 2>&1; then
    tail -40 "$corpus.log"
    echo "$name failed"
    exit 1
  fi
  grep -E '^#[0-9]+ +DONE' "$corpus.log" || tail -1 "$corpus.log"
  rm -f "$corpus.log"
  rm -rf "$corpus"
  fuzz_passed=$((fuzz_passed + 1))
done
echo "fuzz: $fuzz_passed passed, 0 failed"

step "Debian package: build, install, run, remove"
bash scripts/check-package.sh build
