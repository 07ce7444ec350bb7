#!/usr/bin/env bash
# Runs one command over each "input<TAB>output<TAB>size" line of a list, one file at a time, so
# that a timer around this script sums the work over a folder of files. The command is a line of
# settings.txt: it names its files "$in" and "$out", and may read $mib, the original file's size
# in MiB rounded up. Exits non-zero if any run failed.
set -u
command_line=$1
status=0
while IFS=$'\t' read -r in out size; do
  mib=$(((size + 1048575) / 1048576))
  [ "$mib" -gt 0 ] || mib=1
  rm -f -- "$out"
  eval "$command_line" > /dev/null || status=1
done < "$2"
exit "$status"
