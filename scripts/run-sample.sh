#!/usr/bin/env bash
# The main job on the sample shipped with the sources: list the codecs and levels, compress the
# sample with the defaults, restore it and check that it came back byte for byte.
set -eu
bin_dir=$(cd "${1:-build/bin}" && pwd)
sample=$(cd "$(dirname "$0")/../tests/data" && pwd)/sample.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$sample" sample.txt

"$bin_dir/lzpack"
echo
"$bin_dir/lzpack" sample.txt sample.lzp
"$bin_dir/lzunpack" sample.lzp restored.txt
original=$(wc -c < sample.txt)
packed=$(wc -c < sample.lzp)
awk -v a="$original" -v b="$packed" 'BEGIN { printf "\n%d bytes -> %d bytes, ratio %.2f\n", a, b, a / b }'
cmp sample.txt restored.txt
echo "restored: identical"
