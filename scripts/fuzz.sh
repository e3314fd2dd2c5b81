#!/bin/sh
# Builds the import parsing fuzzer with clang and runs it for a bounded time.
# Fails on a crash, a leak or a sanitizer report.
#   scripts/fuzz.sh [seconds]     (default 120, at most 120 unless FUZZ_ALLOW_LONG=1)
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_JOBS (default 2).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${1:-120}
if [ "$seconds" -gt 120 ] && [ "${FUZZ_ALLOW_LONG:-0}" != 1 ]; then
    seconds=120
fi

cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DVANTREL_BUILD_FUZZERS=ON -DVANTREL_SANITIZE=ON \
    -DVANTREL_BUILD_TESTS=OFF -DVANTREL_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target fuzz_ImportParsing -j "${FUZZ_JOBS:-2}"

corpus=$build/fuzz-corpus
artifacts=$build/fuzz-artifacts
mkdir -p "$corpus" "$artifacts"
# Seeds: byte 0 is the harness mode (odd = make frame CRCs valid), then a
# short import's answers: type, serial number, list (ids 1, 2), UUID, records.
printf '\001\273\031\002\000\001\001\000\003VTM\000\000\000\000' > "$corpus/seed-type"
printf '\001\273\031\002\020\001\001\000\003\002\001\002\000\000\000\000' > "$corpus/seed-list"
printf '\003\273\031\002\021\001\001\000\022\000\000\001\002\003\004\005\006\007\010\011\012\013\014\015\016\017\020\000\000\000\000' > "$corpus/seed-uuid"
printf '\005\273\031\002\015\001\001\000\020\007\340\001\002\003\004\005\000\170\000\120\000\140\000\110\000\000\000\000\000' > "$corpus/seed-nibp"
printf '\007\273\031\002\017\001\002\000\012\007\340\001\002\003\004\005\001\155\000\000\000\000\000' > "$corpus/seed-temp"

# A smaller quarantine keeps the resident size low over long runs.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:quarantine_size_mb=64}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
"$build/fuzz/fuzz_ImportParsing" -max_total_time="$seconds" -max_len=20000 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -dict="$root/fuzz/import.dict" \
    -artifact_prefix="$artifacts/" "$corpus"
