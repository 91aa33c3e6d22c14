#!/bin/sh
# Builds the libFuzzer targets with clang in build-fuzz and runs each for
# SECONDS (default 60) from its seed corpus in fuzz/corpus. New inputs go to
# a scratch folder, so the corpora in the tree stay small; a crash leaves its
# input as crash-* in the current folder and shows as ERROR in the summary.
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLEN_FUZZ=ON \
    -DQUORLEN_BUILD_TESTS=OFF -DQUORLEN_BUILD_APP=OFF -DQUORLEN_BUILD_BENCH=OFF >/dev/null
targets="load_scan text_decode project_file codes_file shell_config demo_archive json_readers pdf_page tiff_page"
for t in $targets; do cmake --build "$root/build-fuzz" -j2 --target "${t}_fuzz"; done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for t in $targets; do
    mkdir -p "$scratch/$t"
    echo "== ${t}_fuzz for ${seconds} s"
    "$root/build-fuzz/fuzz/${t}_fuzz" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        "$scratch/$t" "$root/fuzz/corpus/$t" 2>&1 | grep -E "DONE|stat::number_of_executed_units|ERROR|SUMMARY"
done
