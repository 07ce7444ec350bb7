#!/usr/bin/env bash
# Builds the coding libraries lzcodec.dll links in (zstd, liblzma, lz4, brotli, bzip3, xxhash) as
# static 64-bit Windows libraries, from Debian's own source packages, with the mingw-w64 toolchain.
# Debian packages none of them for mingw. Sources and results stay in the cache folder; a second
# run with the same script and the same source versions does nothing. Where the archive serves no
# bzip3 source, the others are built all the same and the prefix has no bzip3.pc: the Windows build
# then goes without bzip3 (LZPACK_WITH_BZIP3=OFF).
# Usage: scripts/build-windows-deps.sh [cache folder]   (default: .cache/windows-deps)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cache=$(mkdir -p "${1:-$root/.cache/windows-deps}" && cd "${1:-$root/.cache/windows-deps}" && pwd)
prefix=$cache/prefix
sources=$cache/src
jobs=${JOBS:-2}
host=x86_64-w64-mingw32
toolchain=$root/cmake/mingw-w64.cmake
packages=(libzstd xz-utils lz4 brotli bzip3 xxhash)

log() { echo "build-windows-deps: $*"; }

# apt-get source needs deb-src entries. Where there are none, the Debian archive entries already in
# use are repeated for sources, in a file of our own.
ensure_deb_src() {
  if grep -rqsE '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "build-windows-deps: apt has no deb-src entries; add some for the Debian archive as root" >&2
    exit 1
  fi
  log "adding deb-src entries for the Debian archive"
  local stanzas lines
  stanzas=$(mktemp) lines=$(mktemp)
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -e "$file" ] && grep -q '^URIs:.*debian' "$file" && { sed 's/^Types: deb$/Types: deb-src/' "$file"; echo; }
  done >"$stanzas"
  grep -sE '^deb .*debian' /etc/apt/sources.list | sed 's/^deb /deb-src /' >"$lines" || true
  if [ -s "$stanzas" ]; then
    install -m 644 "$stanzas" /etc/apt/sources.list.d/lzpack-deb-src.sources
  fi
  if [ -s "$lines" ]; then
    install -m 644 "$lines" /etc/apt/sources.list.d/lzpack-deb-src.list
  fi
  rm -f "$stanzas" "$lines"
  apt-get update -qq
}

source_versions() {
  for package in "${packages[@]}"; do
    printf '%s %s\n' "$package" "$(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | head -n 1)"
  done
}

ensure_deb_src
fingerprint=$( (source_versions; cat "$0" "$toolchain") | sha256sum | cut -d' ' -f1)
if [ -f "$prefix/.built" ] && [ "$(cat "$prefix/.built")" = "$fingerprint" ]; then
  log "up to date in $prefix"
  exit 0
fi

rm -rf "$prefix" "$sources"
mkdir -p "$prefix" "$sources"
cd "$sources"

# The newest source version first; an archive may list a version whose files it no longer serves
# (a security update, say), and then the one before it is taken.
fetch_source() {
  local package=$1 version
  for version in $(apt-cache showsrc --only-source "$package" | sed -n 's/^Version: //p' | sort -rV); do
    if apt-get source -qq --only-source "$package=$version" >"$sources/fetch-$package.log" 2>&1; then
      log "fetched $package $version"
      return 0
    fi
  done
  return 1
}

source_dir() { find "$sources" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n 1; }

# Runs a step with its output in the package's log, shown only when the step fails.
logged() {
  local name=$1
  shift
  if ! "$@" >>"$sources/$name.log" 2>&1; then
    tail -n 40 "$sources/$name.log" >&2
    echo "build-windows-deps: $name failed; the whole log is $sources/$name.log" >&2
    exit 1
  fi
}

cmake_build() {
  local name=$1 dir=$2
  shift 2
  logged "$name" nice cmake -S "$dir" -B "$sources/build-$name" --toolchain "$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@"
  logged "$name" nice cmake --build "$sources/build-$name" -j "$jobs"
  logged "$name" cmake --install "$sources/build-$name"
}

autotools_build() {
  local name=$1 dir=$2
  shift 2
  logged "$name" sh -c 'cd "$1" && shift && exec nice ./configure "$@"' configure "$dir" --host=$host \
    --prefix="$prefix" --enable-static --disable-shared CC=$host-gcc-posix "$@"
  logged "$name" nice make -C "$dir" -j "$jobs"
  logged "$name" make -C "$dir" install
}

with_bzip3=1
for package in "${packages[@]}"; do
  fetch_source "$package" && continue
  if [ "$package" = bzip3 ]; then
    echo "build-windows-deps: the archive serves no bzip3 source; building without bzip3" >&2
    with_bzip3=0
  else
    echo "build-windows-deps: no source of $package could be fetched" >&2
    exit 1
  fi
done

log "building zstd"
cmake_build zstd "$(source_dir libzstd)/build/cmake" -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_SHARED=OFF \
  -DZSTD_BUILD_STATIC=ON -DZSTD_BUILD_TESTS=OFF -DZSTD_MULTITHREAD_SUPPORT=OFF

log "building liblzma"
autotools_build lzma "$(source_dir xz-utils)" --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo \
  --disable-lzma-links --disable-scripts --disable-doc --disable-nls
# lzma.h declares its functions as DLL imports unless told the library is static.
sed -i 's/^Cflags: .*/& -DLZMA_API_STATIC/' "$prefix/lib/pkgconfig/liblzma.pc"

log "building lz4"
cmake_build lz4 "$(source_dir lz4)/build/cmake" -DLZ4_BUILD_CLI=OFF -DLZ4_BUILD_LEGACY_LZ4C=OFF \
  -DBUILD_STATIC_LIBS=ON

log "building brotli"
cmake_build brotli "$(source_dir brotli)" -DBROTLI_DISABLE_TESTS=ON
# brotli always builds DLLs too, and names its static libraries apart; its .pc files name the
# plain ones, so the static ones take their place.
for lib in common dec enc; do
  rm -f "$prefix/bin/libbrotli$lib.dll" "$prefix/lib/libbrotli$lib.dll.a"
  mv "$prefix/lib/libbrotli$lib-static.a" "$prefix/lib/libbrotli$lib.a"
done

if [ "$with_bzip3" = 1 ]; then
  log "building bzip3"
  autotools_build bzip3 "$(source_dir bzip3)"
fi

log "building xxhash"
cmake_build xxhash "$(source_dir xxhash)/cmake_unofficial" -DXXHASH_BUILD_XXHSUM=OFF

echo "$fingerprint" >"$prefix/.built"
log "done: $prefix"
