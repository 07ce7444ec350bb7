#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping those already present.
# Usage: scripts/install-deps.sh [build|test|bench|windows|package]...   (default: build test)
set -eu

build_pkgs=(build-essential cmake pkg-config libzstd-dev liblzma-dev liblz4-dev libbrotli-dev
            libbzip3-dev libxxhash-dev)
test_pkgs=(googletest libgtest-dev clang libclang-rt-14-dev groff-base man-db)
bench_pkgs=(zstd xz-utils lz4 brotli bzip3 7zip pigz gnuplot-nox time sqlite3)
windows_pkgs=(mingw-w64 wine64 dpkg-dev)
package_pkgs=(dpkg-dev file)

wanted=()
groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(build test)
for group in "${groups[@]}"; do
  case "$group" in
    build) wanted+=("${build_pkgs[@]}") ;;
    test) wanted+=("${test_pkgs[@]}") ;;
    bench) wanted+=("${bench_pkgs[@]}") ;;
    windows) wanted+=("${windows_pkgs[@]}") ;;
    package) wanted+=("${package_pkgs[@]}") ;;
    *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
  esac
done

missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: these packages are missing; install them as root with:" >&2
  echo "  apt-get install ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
