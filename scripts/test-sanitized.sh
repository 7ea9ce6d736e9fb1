#!/usr/bin/env bash
# Builds the whole program and test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# into a second build folder and runs every test there. Any memory error, undefined operation
# or leak in our code fails the run; leaks inside third-party libraries (recognition engine,
# OpenMP, fontconfig and the like) are suppressed by scripts/lsan.supp.
# A failed allocation returns null as it would without the sanitizer, so the code that
# handles running out of memory is what runs.
# Run scripts/setup.sh (or scripts/test.sh) first on a fresh machine.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${QEN_ASAN_BUILD_DIR:-$here/build-asan}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQEN_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_odr_violation=0:allocator_may_return_null=1:${ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"
cd "$build"
# Sanitized code runs a few times slower: give each test more time than the plain suite does.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 900 "$@"
