#!/usr/bin/env bash
# Runs the benchmark driver over a tiny corpus made here, so that it cannot rot: every installed
# setting must come back whole and land in the tables; a decompressor that returns the wrong
# bytes must make the run fail. Needs no network and none of the benchmark's packages.
# Usage: bench_smoke.sh SOURCE_DIR BIN_DIR
set -eu
source_dir=$1
bin_dir=$2
temp=$(mktemp -d)
trap 'rm -rf "$temp"' EXIT

fail() { echo "bench_smoke: $*" >&2; exit 1; }

corpus=$temp/corpus
mkdir -p "$corpus/text" "$corpus/binary" "$corpus/small-files"
awk 'BEGIN {
  split("the a of compress file block codec level bytes sum table round trip window match", w, " ")
  seed = 7
  for (i = 0; i < 9000; i++) {
    seed = (seed * 1103515245 + 12345) % 2147483648
    printf "%s%s", w[int(seed / 65536) % 15 + 1], (i % 13 == 12 ? ".\n" : " ")
  }
}' > "$corpus/text/words.txt"
head -c 65536 "$bin_dir/lzpack" > "$corpus/binary/lzpack.head"
for i in 1 2 3 4 5; do
  head -c $((i * 700)) "$corpus/text/words.txt" > "$corpus/small-files/$i.txt"
done

run() {
  "$source_dir/bench/bench.sh" smoke --corpus "$corpus" --bin "$1" --work "$temp/work" \
    --results "$2" "${@:3}" > "$temp/out.log" 2>&1
}

# Every setting whose program is here, over every category, restored whole.
run "$bin_dir" "$temp/results" || { cat "$temp/out.log" >&2; fail "the run failed"; }
csv=$temp/results/results.csv
header='date,cores,category,setting,files,original_bytes,compressed_bytes,ratio,compress_wall_s,compress_cpu_s,decompress_wall_s,decompress_cpu_s,compress_mb_s,decompress_mb_s,compress_peak_mib,decompress_peak_mib,runs,round_trip'
[ "$(head -n 1 "$csv")" = "$header" ] || fail "unexpected CSV header: $(head -n 1 "$csv")"
for category in text binary small-files total; do
  for setting in 'lzpack 2:zstd 3' 'lzpack 7:auto 0' 'lzpack default'; do
    grep -q "^[^,]*,[^,]*,$category,$setting,.*,ok\$" "$csv" || fail "no good row for '$setting' on $category"
  done
  grep -q "^## $category" "$temp/results/RESULTS.md" || [ "$category" = total ] || fail "no table for $category"
done
# The total has a row per setting, summing text and binary but not the small files.
[ "$(grep -c ',text,' "$csv")" -eq "$(grep -c ',total,' "$csv")" ] || fail "total rows do not match the categories"
[ "$(grep -c ',total,lzpack 7:auto 0,2,' "$csv")" -eq 1 ] || fail "the total does not sum text and binary"
if grep -v '^date' "$csv" | grep -qv ',ok$'; then fail "a round trip failed: $(grep -v ',ok$' "$csv")"; fi

# A decompressor that restores the wrong bytes is caught.
mkdir -p "$temp/broken"
ln -s "$bin_dir/lzpack" "$temp/broken/lzpack"
printf '#!/bin/sh\nprintf x > "$2"\n' > "$temp/broken/lzunpack"
chmod +x "$temp/broken/lzunpack"
if run "$temp/broken" "$temp/broken-results" --only '^lzpack 2:zstd 3$'; then fail "a broken round trip passed"; fi
grep -q ',text,lzpack 2:zstd 3,.*,FAILED$' "$temp/broken-results/results.csv" || fail "the failure is not in the CSV"
echo "bench smoke: ok"
