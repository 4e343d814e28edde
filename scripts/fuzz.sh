#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer)
# and runs each for a bounded time: scripts/fuzz.sh [seconds-per-target] [build-dir]
# Inputs that crash a target are kept in <build-dir>/fuzz/findings/; the script fails then,
# after every target has had its turn.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${2:-"$root/build-fuzz"}
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DPELIMO_BUILD_FUZZ=ON -DPELIMO_BUILD_GUI=OFF -DPELIMO_BUILD_TESTS=OFF -DPELIMO_BUILD_BENCH=OFF
targets=$(sed -n 's/^pelimo_fuzz_target(\([a-z_]*\) .*/\1/p' "$root/fuzz/CMakeLists.txt")
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" --target $targets
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
findings="$build/fuzz/findings"
mkdir -p "$findings"
failed=()
for target in $targets; do
    name=${target#fuzz_}
    corpus="$build/fuzz/corpus-$name"
    mkdir -p "$corpus"
    echo "== $target for ${seconds}s"
    # The checked-in seeds come first, so that a regression among them fails at once.
    if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/$name-" "$corpus" "$root/fuzz/corpus/$name" > "$build/fuzz/$name.log" 2>&1; then
        failed+=("$target")
        grep -A30 -m1 'ERROR\|==ABORTING\|deadly signal\|timeout' "$build/fuzz/$name.log" || true
    fi
    tail -n 12 "$build/fuzz/$name.log"
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz findings in: ${failed[*]} (inputs under $findings)"
    exit 1
fi
echo "== every fuzz target ran clean"
