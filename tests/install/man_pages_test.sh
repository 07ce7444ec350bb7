#!/usr/bin/env bash
# Renders each manual page as man shows it on an 80-column terminal, preprocessors included, and
# fails on any formatter warning: a table too wide or a line that cannot be broken shows up here
# before a reader sees it.
# Usage: man_pages_test.sh PAGE...
set -u
warnings_file=$(mktemp)
trap 'rm -f "$warnings_file"' EXIT
failed=0
for page in "$@"; do
  title=$(basename "$page" .1 | tr '[:lower:]' '[:upper:]')
  rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 MANPAGER=cat man --warnings=w -l "$page" 2>"$warnings_file" </dev/null)
  status=$?
  warnings=$(cat "$warnings_file")
  if [ $status -ne 0 ] || [ -n "$warnings" ]; then
    echo "FAIL $page: man exited with $status, warnings:"
    echo "$warnings"
    failed=1
  elif [ "${rendered%%(1)*}" != "$title" ]; then
    echo "FAIL $page: the page does not open with its title $title(1)"
    failed=1
  else
    echo "ok $page"
  fi
done
exit $failed
