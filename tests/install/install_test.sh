#!/usr/bin/env bash
# Installs the build into a staging folder (DESTDIR) under a prefix of its own and checks that the
# installed programs stand on their own: their run path is relative to themselves, the codec
# library they load is the installed copy, and they compress and restore a file, called by name
# through PATH, while the build tree is hidden from them.
# Usage: install_test.sh BUILD_DIR SAMPLE_FILE BINDIR LIBDIR MANDIR INCLUDEDIR
#        (the last four relative to the prefix, as the build configured them)
set -eu

fail() {
  echo "FAIL: $*"
  exit 1
}

# Compresses and restores WORK/sample.txt with the programs in BIN_DIR and checks their exact
# output, their exit statuses and the restored bytes.
round_trip() {
  local -r bin_dir=$1 work=$2
  cd "$work"
  export PATH="$bin_dir:/usr/bin:/bin"
  unset LD_LIBRARY_PATH
  local out
  out=$(lzpack) || fail "the listing exited with $?"
  local -r listing=$(printf '%s\n%s\n%s' \
    'codec# = 0:none 1:lz4 2:zstd 3:brotli 4:lzma 5:bzip3 6:lzma-x86 7:auto ' \
    'level# = 0:fastest 1:faster 2:fast 3:quick 4:balanced 5:normal 6:good 7:strong 8:stronger 9:strongest ' \
    'Usage: lzpack input output codec# level#')
  [ "$out" = "$listing" ] || fail "lzpack listed:"$'\n'"$out"

  local -r size=$(wc -c <sample.txt)
  out=$(lzpack sample.txt sample.lzp) || fail "lzpack exited with $?"
  local -r payload=$(($(wc -c <sample.lzp) - 8))
  [ "$out" = "len=$size sample.txt sample.lzp 7 9"$'\n'"r=$payload" ] || fail "lzpack printed:"$'\n'"$out"
  out=$(lzunpack sample.lzp restored.txt) || fail "lzunpack exited with $?"
  [ "$out" = "clen=$payload dlen=$size <sample.lzp> <restored.txt>"$'\n'"r=$size" ] ||
    fail "lzunpack printed:"$'\n'"$out"
  cmp sample.txt restored.txt || fail "the restored file differs from the original"
}

if [ "${1:-}" = --hidden ]; then
  # Inside a mount namespace of its own, so the empty folder laid over the build tree is seen by
  # this run only, whatever else runs beside it.
  mount -t tmpfs -o ro tmpfs "$2" || fail "could not lay an empty folder over $2"
  [ -z "$(ls -A "$2")" ] || fail "the build tree is still visible"
  round_trip "$3" "$4"
  exit 0
fi

build=$(cd "$1" && pwd -P)
sample=$2
bindir=$3 libdir=$4 mandir=$5 includedir=$6
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
case "$tmp/" in "$build"/*) fail "the temporary folder $tmp lies inside the build tree" ;; esac

stage=$tmp/stage
root=$stage/opt/lzpack
DESTDIR=$stage cmake --install "$build" --prefix /opt/lzpack >"$tmp/install.log" ||
  fail "cmake --install failed:"$'\n'"$(cat "$tmp/install.log")"
for file in "$bindir/lzpack" "$bindir/lzunpack" "$libdir/liblzcodec.so.1" "$mandir/man1/lzpack.1" \
            "$mandir/man1/lzunpack.1" "$includedir/lzcodec.h"; do
  [ -f "$root/$file" ] || fail "$file was not installed"
done

for program in lzpack lzunpack; do
  binary=$root/$bindir/$program
  run_path=$(readelf -d "$binary" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]$/\2/p')
  [ -n "$run_path" ] || fail "$program has no run path"
  IFS=: read -r -a entries <<<"$run_path"
  for entry in "${entries[@]}"; do
    case "$entry" in
      '$ORIGIN' | '$ORIGIN'/*) ;;
      *) fail "$program's run path $run_path reaches outside the installed tree" ;;
    esac
  done
  loaded=$(env -u LD_LIBRARY_PATH ldd "$binary" | awk '$1 == "liblzcodec.so.1" { print $3 }')
  [ -n "$loaded" ] && [ "$(realpath "$loaded")" = "$(realpath "$root/$libdir/liblzcodec.so.1")" ] ||
    fail "$program loads the codec library from '$loaded', not from the installed tree"
done

mkdir "$tmp/work"
cp "$sample" "$tmp/work/sample.txt"
if unshare -m -- mount -t tmpfs tmpfs "$tmp/work" 2>/dev/null; then
  unshare -m -- bash "$0" --hidden "$build" "$root/$bindir" "$tmp/work"
else
  echo "note: no mount namespace here, so the build tree stays visible; the installed programs run"
  echo "      with it on no path, and their run path and loaded library were checked above"
  (round_trip "$root/$bindir" "$tmp/work")
fi
echo "ok: installed under $root and round-tripped a file"
