#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz/ and runs each, one after the other on one core,
# starting from its seeds in fuzz/corpus/:
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]      each for SECONDS (default 20)
#   bash scripts/fuzz.sh --runs N [TARGET...]       each for N executions (a long run: 10000000)
# New inputs go to build-fuzz/corpus/TARGET, findings to build-fuzz/findings/. Exits non-zero
# when a target finds something.
source "$(dirname "$0")/common.sh"
ensure_packages "${BUILD_PACKAGES[@]}" clang libclang-rt-14-dev

if [ "${1:-}" = "--runs" ]; then
    limit=(-runs="$2")
    shift 2
else
    limit=(-max_total_time="${1:-20}")
    shift || true
fi
CXX=clang++ CC=clang cmake -S . -B build-fuzz -DMIRAVON_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >/dev/null
cmake --build build-fuzz -j "$(nproc)"

targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
mkdir -p build-fuzz/findings
# ASan stores the stack of every allocation. Through Debian's Qt, built without frame pointers,
# those stacks keep coming out new: after 23 minutes one target held 1.7 GB and spent 72% of its
# time storing them, at a tenth of its first speed. Without them a long run keeps its pace;
# to see where a finding's memory came from, run it alone with ASAN_OPTIONS= .
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=0}"
failed=0
for target in "${targets[@]}"; do
    mkdir -p "build-fuzz/corpus/$target"
    log="build-fuzz/$target.log"
    if build-fuzz/fuzz/"$target" "${limit[@]}" -timeout=10 -max_len=8192 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$target-" \
        "build-fuzz/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
        echo "$target: $(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" |
            sed 's/Done \([0-9]*\) runs in \([0-9]*\) second/\1 executions in \2 s/'), no finding"
    else
        failed=1
        echo "$target: FINDING, see $log and build-fuzz/findings/"
        grep -m1 -E 'ERROR|broken promise|runtime error' "$log" || true
    fi
done
exit $failed
