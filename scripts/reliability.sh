#!/bin/bash
# The reliability battery under the sanitizers: every test built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), then with ThreadSanitizer (build-tsan/), then each libFuzzer
# target for a bounded time on its committed corpus (build-fuzz/, clang). Tests that need an X display start
# their own Xvfb. FUZZ_SECONDS sets each fuzzer's time (default 60); FLAVOURS picks some of "asan tsan fuzz".
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}
flavours=${FLAVOURS:-asan tsan fuzz}

# Any finding ends the run with a report; no finding is let through as a warning.
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizers/lsan.supp
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

sanitized_tests() { # folder sanitizers [ctest arguments]
    echo "== tests under $2 ($1)"
    cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMERIC_WERROR=ON -DLUMERIC_BENCH=OFF \
        -DLUMERIC_SANITIZE="$2" -DCMAKE_CXX_FLAGS="-fno-sanitize-recover=all" >/dev/null
    cmake --build "$1" -j"$jobs"
    (cd "$1" && ctest --output-on-failure -j"$jobs" "${@:3}")
}

fuzzers() {
    echo "== fuzzers, ${fuzz_seconds} s each (build-fuzz)"
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMERIC_FUZZ=ON \
        -DLUMERIC_TESTS=OFF -DLUMERIC_BENCH=OFF -DLUMERIC_SANITIZE=address,undefined,fuzzer-no-link \
        -DCMAKE_CXX_FLAGS="-fno-sanitize-recover=all" >/dev/null
    cmake --build build-fuzz -j"$jobs" --target lumeric_fuzzers
    for corpus in fuzz/corpus/*/; do
        local name
        name=$(basename "$corpus")
        # New inputs go to a scratch folder; the committed corpus is only read.
        mkdir -p "build-fuzz/found/$name" "build-fuzz/crashes"
        echo "-- fuzz_$name"
        local log="build-fuzz/fuzz_$name.log"
        if ! "build-fuzz/fuzz/fuzz_$name" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="build-fuzz/crashes/$name-" \
            "build-fuzz/found/$name" "$corpus" >"$log" 2>&1; then
            tail -n 60 "$log" >&2
            echo "fuzz_$name found a fault; the input is in build-fuzz/crashes/" >&2
            return 1
        fi
        grep -E "^(Done|stat::number_of_executed_units)" "$log"
    done
}

start=$SECONDS
for flavour in $flavours; do
    case "$flavour" in
    asan) sanitized_tests build-asan address,undefined,float-cast-overflow ;;
    # The battery runs only its threads here (tests/CMakeLists.txt): elsewhere TSan has nothing to find.
    tsan) sanitized_tests build-tsan thread ;;
    fuzz) fuzzers ;;
    *) echo "unknown flavour $flavour" >&2; exit 2 ;;
    esac
done
echo "Reliability battery passed in $((SECONDS - start)) s"
