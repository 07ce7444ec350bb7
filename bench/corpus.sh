#!/usr/bin/env bash
# Builds the benchmark corpus from files on this machine and from a few Debian packages, and
# caches it: a category already built is kept, so later runs measure the same bytes.
# Usage: bench/corpus.sh [corpus-dir]        (default: bench/corpus; prints what it used)
# Environment: BENCH_LARGE_MIB (default 1024) sizes the large file; 0 leaves it out.
set -eu
set -o pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
corpus=${1:-$here/corpus}
large_mib=${BENCH_LARGE_MIB:-1024}
mkdir -p "$corpus"
corpus=$(cd "$corpus" && pwd)
debs=$corpus/debs
unpacked=$corpus/unpacked
sets=$corpus/sets
manifest=$corpus/MANIFEST.txt

# Text-heavy packages in Debian main; the machine's own files fill in for any that cannot be had.
packages=(python3.11-doc perl-doc gnu-standards debian-reference-en libboost1.81-dev)

mib() { echo $(($1 * 1024 * 1024)); }
note() { echo "corpus: $*" >&2; }

fetch_packages() {
  mkdir -p "$debs" "$unpacked"
  local missing=() pkg
  for pkg in "${packages[@]}"; do
    [ -e "$unpacked/$pkg/.done" ] || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  # apt-get download needs the package lists; refresh them once if a first try fails.
  if ! (cd "$debs" && apt-get download -qq "${missing[@]}" >/dev/null 2>&1); then
    apt-get update -qq >/dev/null 2>&1 || true
    for pkg in "${missing[@]}"; do
      (cd "$debs" && apt-get download -qq "$pkg" >/dev/null 2>&1) || note "cannot download $pkg; going on without it"
    done
  fi
  local deb
  for pkg in "${missing[@]}"; do
    deb=$(ls "$debs/${pkg}"_*.deb 2>/dev/null | tail -n 1) || true
    [ -n "$deb" ] || continue
    rm -rf "${unpacked:?}/$pkg"
    mkdir -p "$unpacked/$pkg"
    dpkg-deb -x "$deb" "$unpacked/$pkg"
    echo "$(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version)" > "$unpacked/$pkg/.done"
  done
}

# Prints "size<TAB>path" for the regular, readable, non-empty files under the given roots (those
# that exist), sorted by path so the same machine always gives the same list.
list_sized() {
  local roots=() r
  for r in "$@"; do [ -e "$r" ] && roots+=("$r"); done
  [ ${#roots[@]} -eq 0 ] && return 0
  find "${roots[@]}" -xdev -type f -readable -size +0 -printf '%s\t%p\n' 2>/dev/null | LC_ALL=C sort -t "$(printf '\t')" -k2
}

list_files() { list_sized "$@" | cut -f2-; }

# Concatenates the listed files (from stdin) into $1 until it holds $2 bytes, then cuts it there.
# Files ending in .gz are stored unpacked, since they stand in for plain text.
concat_to() {
  local out=$1 limit=$2 f
  : > "$out"
  while IFS= read -r f; do
    case "$f" in
      *.gz) gzip -dc -- "$f" >> "$out" 2>/dev/null || true ;;
      *) cat -- "$f" >> "$out" ;;
    esac
    [ "$(stat -c %s "$out")" -ge "$limit" ] && break
  done
  cat > /dev/null
  [ "$(stat -c %s "$out")" -gt "$limit" ] && truncate -s "$limit" "$out"
  return 0
}

# Prints the paths of the listed files (from stdin, "size<TAB>path") while their sizes add up to
# at most $1 bytes: up to the first that does not fit, or with "fill" as $2, skipping those that
# do not fit. Reads all its input, so that the writer never meets a closed pipe.
take_up_to() {
  awk -F'\t' -v limit="$1" -v fill="${2:-}" '
    full { next }
    total + $1 > limit { if (fill != "fill") full = 1; next }
    { total += $1; print $2 }'
}

# A reproducible tar of the listed files (from stdin).
tar_of() {
  tar --create --file="$1" --no-recursion --sort=name --mtime=@0 --owner=0 --group=0 \
      --numeric-owner --files-from=- 2>/dev/null
}

is_x86_64_elf() {
  [ "$(head -c 4 "$1" | od -An -tx1 | tr -d ' ')" = 7f454c46 ] &&
    [ "$(od -An -tx1 -j 18 -N 2 "$1" | tr -d ' ')" = 3e00 ]
}

build_prose() {
  local dir=$sets/prose
  {
    list_files "$unpacked/gnu-standards/usr/share/doc/gnu-standards" | grep '\.text\.gz$' || true
    list_files "$unpacked/perl-doc/usr/share/perl" | grep '\.pod$' || true
    list_files "$unpacked/python3.11-doc/usr/share/doc/python3.11/html/_sources" | grep '\.txt$' || true
    list_files /usr/share/vim /usr/share/common-licenses | grep -E '/doc/.*\.txt$|common-licenses/' || true
  } | concat_to "$dir/prose.txt" "$(mib 12)"
}

build_source() {
  local dir=$sets/source
  {
    list_sized /usr/lib/python3.11 /usr/lib/python3/dist-packages | grep '\.py$' | grep -v '/test/' || true
    list_sized /usr/include/linux /usr/include/x86_64-linux-gnu | grep '\.h$' || true
    list_sized "$unpacked/libboost1.81-dev/usr/include/boost" | grep -E '\.(hpp|ipp|h)$' || true
  } | take_up_to "$(mib 28)" | tar_of "$dir/source.tar"
}

build_binaries() {
  local dir=$sets/binaries f n=0
  # The largest executables and shared libraries from 1 to 8 MiB, up to 24 MiB in all.
  list_sized /usr/bin /usr/lib/x86_64-linux-gnu /usr/libexec |
    awk -F'\t' -v lo="$(mib 1)" -v hi="$(mib 8)" '$1 >= lo && $1 <= hi' |
    while IFS=$'\t' read -r size f; do
      if is_x86_64_elf "$f"; then printf '%s\t%s\n' "$size" "$f"; fi
    done | LC_ALL=C sort -t "$(printf '\t')" -k1,1nr -k2 | take_up_to "$(mib 24)" fill |
    while IFS= read -r f; do
      n=$((n + 1))
      cp -- "$f" "$dir/$(printf '%02d' "$n")-$(basename "$f")"
      echo "$f" >> "$dir/SOURCES"
    done
}

build_structured() {
  local dir=$sets/structured
  {
    list_files "$unpacked/debian-reference-en/usr/share/debian-reference" | grep '\.en\.html$' || true
    list_files "$unpacked/python3.11-doc/usr/share/doc/python3.11/html" | grep '\.html$' || true
    list_files /usr/share/doc | grep '\.html$' || true
  } | concat_to "$dir/pages.html" "$(mib 8)"
  list_files /usr/share/xml /usr/share/mime/packages /usr/share/X11/xkb/rules | grep '\.xml$' |
    concat_to "$dir/data.xml" "$(mib 8)"
  list_files /usr/share/iso-codes/json /usr/share | grep '\.json$' | awk '!seen[$0]++' |
    concat_to "$dir/data.json" "$(mib 6)"
}

build_table() {
  local dir=$sets/table rows
  command -v sqlite3 >/dev/null || { note "sqlite3 is missing (scripts/install-deps.sh bench); no table"; return 0; }
  rows=$(mktemp -d)
  find /usr -xdev \( -type f -o -type l -o -type d \) -printf '%p\t%s\t%Ts\t%m\t%i\t%n\n' 2>/dev/null |
    awk -F'\t' 'NF == 6' | LC_ALL=C sort | awk 'NR <= 100000' > "$rows/files.tsv"
  dpkg-query -W -f '${Package}\t${Version}\t${Installed-Size}\t${Architecture}\t${binary:Summary}\n' |
    awk -F'\t' 'NF == 5' > "$rows/packages.tsv"
  rm -f "$dir/files.sqlite"
  sqlite3 "$dir/files.sqlite" <<EOF
CREATE TABLE files(path TEXT PRIMARY KEY, size INTEGER, mtime INTEGER, mode INTEGER, inode INTEGER, links INTEGER);
CREATE TABLE packages(name TEXT, version TEXT, installed_kib INTEGER, arch TEXT, summary TEXT);
.mode tabs
.import $rows/files.tsv files
.import $rows/packages.tsv packages
CREATE INDEX files_by_size ON files(size);
VACUUM;
EOF
  rm -rf "$rows"
}

build_compressed() {
  local dir=$sets/compressed
  # Images, packages (xz inside) and gzip files in about equal shares.
  {
    list_sized /usr/share "$unpacked" | grep -E '\.(png|jpe?g)$' | awk -F'\t' '$1 >= 8192' | take_up_to "$(mib 5)" fill
    list_sized "$debs" | grep '\.deb$' | take_up_to "$(mib 3)" fill
    list_sized /usr/share | grep -E '\.(gz|xz|bz2)$' | take_up_to "$(mib 4)"
  } | tar_of "$dir/media.tar"
}

build_small_files() {
  local dir=$sets/small-files n=0 f
  # A few hundred files under 4 KiB picked evenly from headers, scripts, notices and settings.
  list_sized /usr/include /usr/lib/python3.11 /usr/share/doc /etc |
    awk -F'\t' '$1 < 4096 { print $2 }' > "$dir/.candidates"
  awk -v want=300 '{ line[NR] = $0 } END {
    step = NR / want; if (step < 1) step = 1
    for (i = 1; i <= NR && picked < want; i += step) { print line[int(i)]; picked++ }
  }' "$dir/.candidates" |
    while IFS= read -r f; do
      n=$((n + 1))
      cp -- "$f" "$dir/$(printf '%03d' "$n")-$(basename "$f" | tr -c 'A-Za-z0-9._\n-' '_')"
    done
  rm -f "$dir/.candidates"
}

# The large file: every category, then a tar of the system's programs, libraries and shared data,
# cut at the size asked for, so it is mostly bytes not seen earlier in it.
build_large() {
  local out=$sets/large/large.bin limit
  limit=$(mib "$large_mib")
  {
    find "$sets" -path "$sets/large" -prune -o -type f ! -name SOURCES ! -name .done -print |
      LC_ALL=C sort | xargs -d '\n' cat
    # Again and again if the system holds less than asked for; a write into the closed pipe
    # (a status above 128) means enough was taken.
    status=0 rounds=0
    while [ "$status" -lt 128 ] && [ $((rounds += 1)) -le 100 ]; do
      tar --create --file=- --sort=name --mtime=@0 --owner=0 --group=0 --numeric-owner \
          /usr/lib/x86_64-linux-gnu /usr/share /usr/include /usr/bin 2>/dev/null || status=$?
    done
  } | head -c "$limit" > "$out" || true
  [ "$(stat -c %s "$out")" -eq "$limit" ] || { note "large file came out short"; return 1; }
}

build_category() {
  local name=$1
  [ -e "$sets/$name/.done" ] && return 0
  rm -rf "${sets:?}/$name"
  mkdir -p "$sets/$name"
  note "building $name"
  "build_${name//-/_}"
  if [ -z "$(find "$sets/$name" -type f ! -name SOURCES -size +0 | head -n 1)" ]; then
    note "nothing found for $name; left out"
    rm -rf "${sets:?}/$name"
    return 0
  fi
  touch "$sets/$name/.done"
}

fetch_packages
for category in prose source binaries structured table compressed small-files; do
  build_category "$category"
done
if [ "$large_mib" -gt 0 ]; then
  [ "$(stat -c %s "$sets/large/large.bin" 2>/dev/null)" = "$(mib "$large_mib")" ] || rm -f "$sets/large/.done"
  build_category large
fi

{
  echo "Corpus built on Debian $(cat /etc/debian_version 2>/dev/null || echo "?")."
  echo "Packages:"
  for pkg in "${packages[@]}"; do
    [ -e "$unpacked/$pkg/.done" ] && echo "  $(cat "$unpacked/$pkg/.done")"
  done
  echo "Files (bytes, name):"
  for dir in "$sets"/*/; do
    find "$dir" -type f ! -name SOURCES ! -name .done -printf '%s\t%f\n' | LC_ALL=C sort -k2 |
      awk -F'\t' -v c="$(basename "$dir")" '{ n++; b += $1; if (n <= 12) printf "  %-12s %12d  %s\n", c, $1, $2 }
        END { if (n > 12) printf "  %-12s %12s  ... %d files, %d bytes in all\n", c, "", n, b }'
  done
} > "$manifest"
cat "$manifest"
