#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer)
# and runs each for a bounded time: scripts/fuzz.sh [seconds-per-target] [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${2:-"$root/build-fuzz"}
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DPELIMO_BUILD_FUZZ=ON -DPELIMO_BUILD_GUI=OFF -DPELIMO_BUILD_TESTS=OFF -DPELIMO_BUILD_BENCH=OFF
cmake --build "$build" -j "$(nproc)"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for target in $(cd "$build/fuzz" && ls fuzz_* | grep -v '\.'); do
    name=${target#fuzz_}
    corpus="$build/fuzz/corpus-$name"
    mkdir -p "$corpus"
    echo "== $target for ${seconds}s"
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        "$corpus" "$root/fuzz/corpus/$name" 2>&1 | tail -n 12
done
