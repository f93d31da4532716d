#!/usr/bin/env bash
# The report's core under sanitizers, on this machine: the libFuzzer target for the line
# reader, the timeline and the users' union (report/fuzz) for FUZZ_SECONDS (60) from its
# corpus, and meanwhile the report's unit tests built and run once with the address and
# undefined-behaviour sanitizers. Builds into build-fuzz and build-sanitize.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh clang libclang-rt-dev  # only here: the chroots need no clang
seconds=${FUZZ_SECONDS:-60}
sanitize=(-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all)

# The core's pure parts only: no files, no platform.
sources=(report/fuzz/timeline_fuzz.cpp)
for part in line_reader timeline day_figures night_time users_union civil_time utf8 report_model; do
  sources+=("report/src/$part.cpp")
done
mkdir -p build-fuzz
rm -rf build-fuzz/corpus
cp -r report/fuzz/corpus build-fuzz/corpus  # the inputs it finds stay out of the repository
clang++ -std=c++17 "${sanitize[@]}" -fsanitize=fuzzer -Ireport/src -Isrc "${sources[@]}" \
  -o build-fuzz/timeline_fuzz
# An input that takes seconds, or a gigabyte, is a failure: nothing may cost more than the
# lines and days it holds. The fuzzer keeps one core busy: the sanitizer build and its tests
# run beside it.
build-fuzz/timeline_fuzz -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 \
  -artifact_prefix=build-fuzz/ -print_final_stats=1 build-fuzz/corpus &
fuzzer=$!
trap 'kill "$fuzzer" 2>/dev/null || true' EXIT

cmake -S report -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="${sanitize[*]}" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-sanitize -j"$(nproc)"
ctest --test-dir build-sanitize --output-on-failure --no-tests=error
if ! wait "$fuzzer"; then
  echo "fuzz.sh: the fuzz target failed; the input is in build-fuzz/ (crash-*, timeout-*, oom-*)" >&2
  exit 1
fi
