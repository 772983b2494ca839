#!/usr/bin/env bash
# Installs the dependencies, builds and runs the whole test suite: a normal build, then the
# same tests under AddressSanitizer and UndefinedBehaviorSanitizer, then a short run of
# every fuzzer. SENDORA_QUICK=1 skips the sanitizer and fuzzer passes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== format"
scripts/check-format.sh

echo "== build and test"
scripts/build.sh build
ctest --test-dir build --output-on-failure -j "$jobs"

if [ "${SENDORA_QUICK:-0}" != 1 ]; then
  echo "== sanitizers"
  scripts/build.sh build-asan -DSENDORA_SANITIZE=ON -DSENDORA_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

  echo "== fuzzers"
  cmake -G Ninja -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSENDORA_FUZZ=ON -DSENDORA_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  # Only the fuzz targets and the libraries they use.
  ninja -C build-fuzz $(for f in fuzz/fuzz_*.cpp; do basename "$f" .cpp; done)
  for f in build-fuzz/fuzz/fuzz_*; do
    [ -f "$f" ] && [ -x "$f" ] || continue
    echo "-- $(basename "$f")"
    "$f" -max_total_time="${SENDORA_FUZZ_SECONDS:-30}" -rss_limit_mb=2048 -timeout=10 2>&1 | tail -n 2
  done
fi
