#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, and
# fuzzes each in turn for SECONDS (default 60), one process at a time. New inputs go to a
# scratch corpus; an input that finds a fault is written to fuzz/findings/ (add it to the
# target's corpus once fixed, so the replay tests keep it).
#   scripts/fuzz.sh [SECONDS] [TARGET...]     e.g. scripts/fuzz.sh 600 fuzz_rtf
# Extra libFuzzer options can be passed in QEN_FUZZ_ARGS (e.g. "-runs=2000000").
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds="${1:-60}"
shift || true
build="${QEN_FUZZ_BUILD_DIR:-$here/build-fuzz}"
cc=$(command -v clang-14 || command -v clang)
cxx=$(command -v clang++-14 || command -v clang++)

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQEN_FUZZ=ON \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$build" --target fuzzers -j"${QEN_JOBS:-2}"

targets=("$@")
if ((${#targets[@]} == 0)); then
    for source in "$here"/fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

# Parsers of small text files must stay well under 300 MB whatever they are given. Every run
# keeps AddressSanitizer's store of freed blocks small: at its default 256 MB it alone would
# pass that limit after some ten thousand inputs, and with pages of up to 16 MB freed one
# after another it would take the page fuzzer past 2 GB; the limit would measure the store
# instead of the parser.
# The page fuzzer's resident memory has twice climbed past 2 GB in a long run, though no
# input allocates more than 256 MB at once and no input replayed alone takes more than
# 160 MB; it gets room, and any single allocation above 256 MB still stops it.
declare -A rss=([fuzz_title]=300 [fuzz_rtf]=300 [fuzz_profile]=300 [fuzz_filter]=300 [fuzz_cite]=300
    [fuzz_image]=4096)
declare -A mallocLimit=([fuzz_image]=256)

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
findings="$here/fuzz/findings"
mkdir -p "$findings"
status=0
for t in "${targets[@]}"; do
    work="$build/corpus/$t"
    mkdir -p "$work"
    echo "== $t: ${seconds}s"
    asan="$ASAN_OPTIONS:quarantine_size_mb=16"
    # shellcheck disable=SC2086
    if ! ASAN_OPTIONS=$asan "$build/fuzz/$t" "$work" "$here/fuzz/corpus/$t" -max_total_time="$seconds" \
        -rss_limit_mb="${rss[$t]:-2048}" -malloc_limit_mb="${mallocLimit[$t]:-${rss[$t]:-2048}}" \
        -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$findings/$t-" ${QEN_FUZZ_ARGS:-} 2>"$build/$t.log"; then
        status=1
        echo "   FINDING: see $build/$t.log and $findings/"
    fi
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|^stat::new_units_added' \
        "$build/$t.log" | sed 's/^/   /' || true
done
exit $status
