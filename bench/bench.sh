#!/usr/bin/env bash
# Measures lzpack and lzunpack against the compressors people use, on real files, and writes
# RESULTS.md, results.csv and two plots (when gnuplot is there).
#
# Usage: bench/bench.sh [full|quick|smoke] [option]...
#   full   (make bench) the category files with the settings marked C in settings.txt, and the
#          large file with those marked L; installs the peers and builds the corpus if needed
#   quick  (make bench-quick) the first MiB of up to 3 files a category (40 of the small files),
#          once each, with the settings marked Q
#   smoke  the settings marked S over --corpus DIR; installs and downloads nothing, and skips
#          the peers that are not installed (the test suite runs it so the script cannot rot)
# Options:
#   --corpus DIR    a folder holding one folder of files per category (default: built)
#   --results DIR   where the results go (full: bench/results; others: under the work folder)
#   --bin DIR       where lzpack and lzunpack are (default: build/bin)
#   --work DIR      scratch space for compressed and restored files (default: bench/work)
#   --only REGEX    only the settings whose name matches (extended regular expression)
#   --runs N        runs of a setting that takes under a second, the median counting (default:
#                   3 in a full run, 1 otherwise)
#   --report-only   measure nothing: write the results again from the last run's measurements
#                   (for a run that was stopped before its end)
# Exits 1 if any round trip did not give back the original bytes.
set -eu
set -o pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
mode=full corpus='' results='' bin=$root/build/bin work=$here/work only='' runs= report_only=''
case "${1:-}" in full|quick|smoke) mode=$1; shift ;; esac
while [ $# -gt 0 ]; do
  case "$1" in
    --corpus) corpus=$2; shift 2 ;;
    --results) results=$2; shift 2 ;;
    --bin) bin=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --report-only) report_only=1; shift ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    *) echo "bench: unknown argument '$1' (see the top of $0)" >&2; exit 2 ;;
  esac
done

say() { echo "bench: $*" >&2; }
[ -n "$runs" ] || { if [ "$mode" = full ]; then runs=3; else runs=1; fi; }

[ -x "$bin/lzpack" ] && [ -x "$bin/lzunpack" ] || { say "lzpack and lzunpack are not built in $bin (make build)"; exit 2; }
LZPACK=$(cd "$bin" && pwd)/lzpack
LZUNPACK=$(dirname "$LZPACK")/lzunpack
export LZPACK LZUNPACK
mkdir -p "$work"
work=$(cd "$work" && pwd)
scratch=$work/run-$mode
[ -n "$report_only" ] || rm -rf "$scratch"
mkdir -p "$scratch"

manifest=''
case "$mode" in
  full|quick)
    "$root/scripts/install-deps.sh" bench
    if [ -z "$corpus" ]; then
      if [ "$mode" = quick ]; then BENCH_LARGE_MIB=0 "$here/corpus.sh" "$here/corpus" >/dev/null
      else "$here/corpus.sh" "$here/corpus" >/dev/null; fi
      manifest=$here/corpus/MANIFEST.txt
      corpus=$here/corpus/sets
    fi ;;
  smoke)
    [ -n "$corpus" ] || { say "smoke needs --corpus DIR"; exit 2; } ;;
esac
[ -d "$corpus" ] || { say "no corpus at $corpus"; exit 2; }
corpus=$(cd "$corpus" && pwd)
[ -n "$results" ] || { if [ "$mode" = full ]; then results=$here/results; else results=$work/results-$mode; fi; }
mkdir -p "$results"
results=$(cd "$results" && pwd)

if [ "$mode" = quick ]; then
  # Slices keep the quick run to a couple of minutes while still crossing every category.
  sliced=$scratch/corpus
  for dir in "$corpus"/*/; do
    category=$(basename "$dir")
    [ "$category" = large ] && continue
    mkdir -p "$sliced/$category"
    keep=3
    [ "$category" = small-files ] && keep=40
    find "$dir" -maxdepth 1 -type f ! -name '.*' ! -name SOURCES | LC_ALL=C sort | awk -v keep="$keep" 'NR <= keep' |
      while IFS= read -r f; do head -c 1048576 "$f" > "$sliced/$category/$(basename "$f")"; done
  done
  corpus=$sliced
fi

# The settings for this mode, as parallel arrays.
scope_letter=$(case "$mode" in full) echo C ;; quick) echo Q ;; smoke) echo S ;; esac)
names=() scopes=() packs=() unpacks=()
trim() { local s=$1; s=${s#"${s%%[![:space:]]*}"}; printf '%s' "${s%"${s##*[![:space:]]}"}"; }
first_program() {
  local words
  read -r -a words <<< "$1"
  [ "${words[0]}" = taskset ] && words=("${words[@]:3}")
  printf '%s' "${words[0]//\"/}"
}
while IFS='|' read -r name scope pack unpack; do
  case "$name" in ''|'#'*) continue ;; esac
  name=$(trim "$name") scope=$(trim "$scope")
  [ -n "$only" ] && ! [[ "$name" =~ $only ]] && continue
  [[ "$scope" == *"$scope_letter"* ]] || { [ "$mode" = full ] && [[ "$scope" == *L* ]]; } || continue
  program=$(first_program "$pack")
  case "$program" in
    '$LZPACK') ;;
    *) command -v "$program" >/dev/null || { say "skipping '$name': $program is not installed"; continue; } ;;
  esac
  names+=("$name") scopes+=("$scope") packs+=("$(trim "$pack")") unpacks+=("$(trim "$unpack")")
done < "$here/settings.txt"
[ ${#names[@]} -gt 0 ] || { say "no settings to run"; exit 2; }

# The categories, in a fixed order; the large file only in a full run.
categories=()
for category in prose source binaries structured table compressed small-files; do
  [ -d "$corpus/$category" ] && categories+=("$category")
done
for dir in "$corpus"/*/; do
  [ -d "$dir" ] || continue
  category=$(basename "$dir")
  case " ${categories[*]} large " in *" $category "*) ;; *) categories+=("$category") ;; esac
done
[ "$mode" = full ] && [ -d "$corpus/large" ] && categories+=(large)

# GNU time gives peak memory; without it (the test machine need not have it) bash's own timer
# still gives the times.
gnu_time=''
[ -x /usr/bin/time ] && /usr/bin/time -f '%e' -o /dev/null true 2>/dev/null && gnu_time=/usr/bin/time
timed() {
  local out=$1
  shift
  if [ -n "$gnu_time" ]; then
    "$gnu_time" -f 'T %e %U %S %M' -o "$out" "$@" 2>>"$scratch/errors.log"
  else
    local TIMEFORMAT='T %R %U %S -'
    { time "$@" 2>>"$scratch/errors.log"; } 2>"$out"
  fi
}
times_of() { grep '^T ' "$1" | tail -n 1 | cut -d' ' -f2-; }
under_a_second() { [ -n "$1" ] && awk -v wall="${1%% *}" 'BEGIN { exit !(wall < 1) }'; }
# The median of each field over lines of "wall user system peak" ("-" for an unknown peak).
median_of_runs() {
  awk '{ for (f = 1; f <= 4; f++) v[f, NR] = $f }
    END {
      for (f = 1; f <= 4; f++) {
        for (i = 1; i <= NR; i++) list[i] = v[f, i]
        for (i = 2; i <= NR; i++) for (j = i; j > 1 && list[j - 1] + 0 > list[j] + 0; j--) { t = list[j]; list[j] = list[j - 1]; list[j - 1] = t }
        printf "%s%s", (f > 1 ? " " : ""), list[int((NR + 1) / 2)]
      }
      print ""
    }'
}

raw=$scratch/runs.tsv
[ -n "$report_only" ] || : > "$raw"
failures=0

# One compress and decompress of every file of a category with one setting, then the check that
# each file came back whole; appends a line to the runs file.
run_once() {
  local category_index=$1 setting=$2 round=$3 category=${categories[$1]}
  local job=$scratch/job files=$scratch/files-$1 i=0 f size comp_bytes ok=1 c d
  rm -rf "$job"
  mkdir -p "$job"
  : > "$job/pack.list"
  : > "$job/unpack.list"
  while IFS=$'\t' read -r size f; do
    i=$((i + 1))
    printf '%s\t%s\t%s\n' "$f" "$job/$i.cmp" "$size" >> "$job/pack.list"
    printf '%s\t%s\t%s\n' "$job/$i.cmp" "$job/$i.out" "$size" >> "$job/unpack.list"
  done < "$files"
  timed "$job/pack.time" bash "$here/each.sh" "${packs[$setting]}" "$job/pack.list" || ok=0
  timed "$job/unpack.time" bash "$here/each.sh" "${unpacks[$setting]}" "$job/unpack.list" || ok=0
  c=$(times_of "$job/pack.time") d=$(times_of "$job/unpack.time")
  # A decompression under a second after a slower compression runs again at once, so that its
  # median counts without the compression running again.
  if [ "$round" -eq 1 ] && [ "$runs" -gt 1 ] && under_a_second "$d" && ! under_a_second "$c"; then
    for extra in $(seq 2 "$runs"); do
      timed "$job/unpack.$extra.time" bash "$here/each.sh" "${unpacks[$setting]}" "$job/unpack.list" || ok=0
    done
    d=$(for t in "$job"/unpack*.time; do times_of "$t"; done | median_of_runs)
  fi
  comp_bytes=$(cut -f2 "$job/pack.list" | xargs -d '\n' stat -c %s 2>/dev/null | awk '{ s += $1 } END { print s + 0 }')
  i=0
  while IFS=$'\t' read -r size f; do
    i=$((i + 1))
    cmp -s -- "$f" "$job/$i.out" || ok=0
  done < "$files"
  [ -n "$c" ] || c='0 0 0 -'
  [ -n "$d" ] || d='0 0 0 -'
  if [ "$ok" -eq 0 ]; then
    failures=$((failures + 1))
    say "ROUND TRIP FAILED: ${names[$setting]} on $category"
  fi
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$category_index" "$category" "$setting" \
    "${names[$setting]}" "$round" "$(wc -l < "$files")" "$(cat "$scratch/bytes-$category_index")" \
    "$comp_bytes" "${c// /$'\t'}" "${d// /$'\t'}" "$ok" >> "$raw"
  rm -rf "$job"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo '?')
started=$(date +%s)
[ -z "$report_only" ] || { [ -s "$raw" ] || { say "no measurements in $scratch to report"; exit 2; }; }
for ci in "${!categories[@]}"; do
  [ -z "$report_only" ] || break
  category=${categories[$ci]}
  find "$corpus/$category" -maxdepth 1 -type f ! -name '.*' ! -name SOURCES -printf '%s\t%p\n' |
    LC_ALL=C sort -t $'\t' -k2 > "$scratch/files-$ci"
  awk -F'\t' '{ s += $1 } END { print s + 0 }' "$scratch/files-$ci" > "$scratch/bytes-$ci"
  want=C
  [ "$mode" = quick ] && want=Q
  [ "$mode" = smoke ] && want=S
  [ "$category" = large ] && want=L
  chosen=()
  for si in "${!names[@]}"; do [[ "${scopes[$si]}" == *"$want"* ]] && chosen+=("$si"); done
  [ ${#chosen[@]} -gt 0 ] || continue
  say "$category: $(wc -l < "$scratch/files-$ci") files, $(cat "$scratch/bytes-$ci") bytes, ${#chosen[@]} settings"
  # Each round goes through the settings in turn, from a different starting point per round and
  # category, so that a slow drift of the machine falls on all tools alike. Settings that run for
  # a second or more to compress are measured once (a quick decompression of theirs repeats at
  # once); faster ones get more rounds and report their median.
  declare -A again=()
  for round in $(seq 1 "$runs"); do
    count=${#chosen[@]}
    start=$(((ci * 7 + round * 5) % count))
    for k in $(seq 0 $((count - 1))); do
      si=${chosen[$(((start + k) % count))]}
      [ "$round" -gt 1 ] && [ -z "${again[$si]:-}" ] && continue
      run_once "$ci" "$si" "$round"
      if [ "$round" -eq 1 ]; then
        tail -n 1 "$raw" | awk -F'\t' '{ exit !($9 < 1) }' && again[$si]=1
      fi
    done
  done
  unset again
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo '?')
minutes=$(( ($(date +%s) - started + 59) / 60 ))

# Medians per category and setting, then a total over the categories (the large file apart).
date_now=$(date -u '+%Y-%m-%d %H:%M UTC')
cores=$(nproc 2>/dev/null || echo '?')
awk -F'\t' -v OFS=',' -v date="$date_now" -v cores="$cores" '
  function median(list,   v, n, i, j, t) {
    n = split(list, v, " ")
    if (v[1] == "-") return "-"
    for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  function mbs(bytes, secs,   v) {
    if (secs <= 0) secs = 0.005
    v = bytes / 1e6 / secs
    return sprintf(v < 10 ? "%.2f" : v < 100 ? "%.1f" : "%.0f", v)
  }
  function mib(kib) { return kib == "-" ? "-" : sprintf("%.1f", kib / 1024) }
  function emit(cat, name, files, orig, comp, cw, cc, dw, dc, cm, dm, n, ok) {
    print date, cores, cat, name, files, orig, comp, (comp > 0 ? sprintf("%.3f", orig / comp) : "0"),
          sprintf("%.3f", cw), sprintf("%.3f", cc), sprintf("%.3f", dw), sprintf("%.3f", dc),
          mbs(orig, cw), mbs(orig, dw), mib(cm), mib(dm), n, (ok ? "ok" : "FAILED")
  }
  {
    key = $1 SUBSEP $3
    if (!(key in name)) { keys[++nkeys] = key; name[key] = $4; cat[key] = $2; files[key] = $6; orig[key] = $7; comp[key] = $8; ok[key] = 1 }
    cw[key] = cw[key] " " $9; cc[key] = cc[key] " " ($10 + $11); cm[key] = cm[key] " " $12
    dw[key] = dw[key] " " $13; dc[key] = dc[key] " " ($14 + $15); dm[key] = dm[key] " " $16
    n[key]++; if (!$17) ok[key] = 0
  }
  END {
    print "date", "cores", "category", "setting", "files", "original_bytes", "compressed_bytes", "ratio",
          "compress_wall_s", "compress_cpu_s", "decompress_wall_s", "decompress_cpu_s",
          "compress_mb_s", "decompress_mb_s", "compress_peak_mib", "decompress_peak_mib", "runs", "round_trip"
    for (i = 1; i <= nkeys; i++) {
      k = keys[i]; split(k, part, SUBSEP); s = part[2]
      mcw = median(cw[k]); mcc = median(cc[k]); mdw = median(dw[k]); mdc = median(dc[k])
      mcm = median(cm[k]); mdm = median(dm[k])
      emit(cat[k], name[k], files[k], orig[k], comp[k], mcw, mcc, mdw, mdc, mcm, mdm, n[k], ok[k])
      if (cat[k] == "large" || cat[k] == "small-files") continue
      if (!(s in tname)) { order[++nset] = s; tname[s] = name[k]; tok[s] = 1; tcm[s] = tdm[s] = 0 }
      if (!(cat[k] in seen)) { seen[cat[k]] = 1; ncat++ }
      tcats[s]++; tfiles[s] += files[k]; torig[s] += orig[k]; tcomp[s] += comp[k]
      tcw[s] += mcw; tcc[s] += mcc; tdw[s] += mdw; tdc[s] += mdc; tok[s] = tok[s] && ok[k]
      if (mcm == "-" || tcm[s] == "-") tcm[s] = "-"; else if (mcm + 0 > tcm[s]) tcm[s] = mcm + 0
      if (mdm == "-" || tdm[s] == "-") tdm[s] = "-"; else if (mdm + 0 > tdm[s]) tdm[s] = mdm + 0
      if (n[k] > truns[s]) truns[s] = n[k]
    }
    for (i = 1; i <= nset; i++) {
      s = order[i]
      if (tcats[s] == ncat && ncat > 1)
        emit("total", tname[s], tfiles[s], torig[s], tcomp[s], tcw[s], tcc[s], tdw[s], tdc[s], tcm[s], tdm[s], truns[s], tok[s])
    }
  }' <(LC_ALL=C sort -t $'\t' -k1,1n -k3,3n -k5,5n "$raw") > "$results/results.csv"

# The report.
versions() {
  local program
  for program in zstd xz lz4 brotli bzip3 7zz pigz; do
    command -v "$program" >/dev/null || continue
    case "$program" in
      7zz) printf -- '- %s\n' "$(7zz 2>/dev/null | grep -m1 '7-Zip' | cut -d: -f1 | sed 's/ *$//')" ;;
      *) printf -- '- %s\n' "$("$program" --version 2>&1 | head -n 1 | tr -d '*' | sed 's/^ *//; s/ *$//')" ;;
    esac
  done
}
cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null || true)
memory=$(awk '/^MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo 2>/dev/null || true)
revision=$(git -C "$root" describe --always --dirty 2>/dev/null || echo unknown)
{
  echo "# Benchmark results"
  echo
  echo "Run ($mode) on $date_now, on a machine with $cores cores${cpu:+ ($cpu)}${memory:+ and $memory};"
  echo "load average $load_before at the start and $load_after at the end; the run took about $minutes min."
  echo "lzpack at revision $revision. Made by \`bench/bench.sh $mode\`; see [bench/README.md](../README.md)."
  echo
  echo "Ratio is original bytes over compressed bytes. MB/s is millions of original bytes per second"
  echo "of wall time, compressing or decompressing. CPU is user plus system seconds. Peak is the"
  echo "largest resident set of any one process, in MiB. Every round trip is compared with the"
  if [ "$runs" -gt 1 ]; then
    echo "original. A setting that compresses in under a second runs $runs times and reports its"
    echo "medians; after a slower compression, a decompression under a second runs $runs times."
  else
    echo "original. Each setting ran once."
  fi
  echo "Our settings are in bold: \`lzpack C:name L\` is codec C at level L, \`lzpack default\` gives no"
  echo "codec argument."
} > "$results/RESULTS.md"

table() {
  awk -F',' -v want="$1" '
    NR == 1 || $3 != want { next }
    !header++ {
      print "| Setting | Ratio | Compress MB/s | Decompress MB/s | Compress CPU s | Decompress CPU s | Peak MiB (c/d) | Runs | Round trip |"
      print "|---|---:|---:|---:|---:|---:|---:|---:|---|"
    }
    {
      name = $4; if (name ~ /^lzpack/) name = "**" name "**"
      printf "| %s | %.2f | %s | %s | %.2f | %.2f | %s / %s | %s | %s |\n", name, $8, $13, $14, $10, $12, $15, $16, $17, $18
      files = $5; bytes = $6
    }
    END { if (header) printf "\n%d files, %d bytes.\n", files, bytes; else print "No setting ran here." }' "$results/results.csv"
}

plot() {
  local column=$1 label=$2 out=$3
  awk -F',' -v col="$column" 'NR > 1 && $3 == "total" {
      file = ($4 ~ /^lzpack/) ? "ours" : "peers"
      printf "%s\t%s\t\"%s\"\n", $col, $8, $4 > (dir "/" file ".dat")
    }' dir="$scratch" "$results/results.csv"
  [ -s "$scratch/ours.dat" ] || return 1
  [ -s "$scratch/peers.dat" ] || : > "$scratch/peers.dat"
  gnuplot <<EOF
set terminal pngcairo size 1400,900 font ",10"
set output "$out"
set title "Ratio against $label speed, over the single-file categories"
set xlabel "$label speed, MB/s (log scale)"
set ylabel "Ratio (original / compressed)"
set logscale x
set grid
set key top right
set datafile separator "\t"
plot "$scratch/peers.dat" using 1:2 with points pt 7 ps 1.2 lc rgb "#808080" title "other tools", \
     "$scratch/peers.dat" using 1:2:3 with labels offset 0.8,0.4 left font ",8" tc rgb "#606060" notitle, \
     "$scratch/ours.dat" using 1:2 with points pt 5 ps 1.4 lc rgb "#d62728" title "lzpack", \
     "$scratch/ours.dat" using 1:2:3 with labels offset 0.8,-0.5 left font ",8" tc rgb "#d62728" notitle
EOF
  rm -f "$scratch/ours.dat" "$scratch/peers.dat"
}

{
  echo
  if grep -q ',total,' "$results/results.csv" && command -v gnuplot >/dev/null &&
     plot 13 compression "$results/ratio-vs-compress.png" &&
     plot 14 decompression "$results/ratio-vs-decompress.png"; then
    echo "![Ratio against compression speed](ratio-vs-compress.png)"
    echo
    echo "![Ratio against decompression speed](ratio-vs-decompress.png)"
    echo
  fi
  if grep -q ',total,' "$results/results.csv"; then
    echo "## Total over the categories"
    echo
    echo "The sum over every category but the small files (which measure starting a program more"
    echo "than compressing) and the large file (which only some settings run)."
    echo
    table total
    echo
  fi
  for category in "${categories[@]}"; do
    echo "## $category"
    echo
    table "$category"
    echo
  done
  echo "## Corpus"
  echo
  echo '```'
  if [ -n "$manifest" ] && [ -f "$manifest" ]; then cat "$manifest"; else
    for category in "${categories[@]}"; do
      find "$corpus/$category" -maxdepth 1 -type f ! -name '.*' -printf "$category\t%s\t%f\n" | LC_ALL=C sort
    done
  fi
  [ "$mode" = quick ] && echo "(quick: each file cut to its first MiB, at most 60 files a category)"
  echo '```'
  echo
  echo "## Tools"
  echo
  versions
} >> "$results/RESULTS.md"

say "results in $results (RESULTS.md, results.csv)"
if [ "$failures" -gt 0 ]; then
  say "$failures round trips failed; the programs' messages are in $scratch/errors.log"
  exit 1
fi
