#!/usr/bin/env bash
# Runs the benchmarks behind Velkaro's speed and memory figures and prints
# their tables: the codec against zlib's Huffman-only deflate and inflate and
# memcpy on three kinds of plan, and loading and opening a 100-megapixel plan
# against Qt's reader and memcpy. Every ratio comes from
# rows measured in the same run, and each table ends with the machine's load.
# The full output goes to out/bench/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
jobs=${VELKARO_JOBS:-2}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKARO_GUI=ON \
  -DVELKARO_TESTS=ON -DVELKARO_BENCH=ON -DVELKARO_SANITIZE= -DVELKARO_FUZZ=OFF >/dev/null
cmake --build build -j "$jobs" --target bench_compression bench_plan_load

mkdir -p out/bench
echo "machine: $(nproc) cores; load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "=== codec (bench_compression)"
build/bin/bench_compression >out/bench/compression.txt 2>&1
sed -n '/^figure/,$p' out/bench/compression.txt

echo
echo "=== plan loading (bench_plan_load)"
QT_QPA_PLATFORM=offscreen build/bin/bench_plan_load >out/bench/plan_load.txt 2>&1
sed -n '/^Plans of/,$p' out/bench/plan_load.txt
