#!/usr/bin/env bash
# Builds the RTF benchmark in release mode and runs it: TScrooge against `unrtf --html` on the
# same generated 1 MB RTF, and the RTF writer and reader on the same document, in one run.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v unrtf >/dev/null || { echo "unrtf is not installed (Debian package unrtf)" >&2; exit 1; }
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVANT_BENCH=ON -DBREVANT_TESTS=OFF >/dev/null
cmake --build build-bench --target bench_RtfConvert >/dev/null
out=$(./build-bench/bin/bench_RtfConvert --benchmark_repetitions=3 --benchmark_report_aggregates_only=true "$@")
echo "$out"
median() { echo "$out" | awk -v n="$1_median" '$1 == n { print $2 }'; }
scrooge=$(median BM_ScroogeConvert); unrtf=$(median BM_UnrtfHtml/real_time)
write=$(median BM_WriteRtf); read=$(median BM_ReadRtf)
awk -v s="$scrooge" -v u="$unrtf" -v w="$write" -v r="$read" 'BEGIN {
  printf "TScrooge %.1f ms, unrtf --html %.1f ms: %.1f times as fast\n", s, u, u / s
  printf "write %.1f ms, read %.1f ms (conversion %.1f ms)\n", w, r, s }'
