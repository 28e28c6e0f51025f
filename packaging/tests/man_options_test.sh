#!/usr/bin/env bash
# A program's manual page describes exactly the options its --help lists: every option line of
# --help ("  -x, --name ...") has a term in the page's source ("*--name*" at the start of a
# line), and the page has no term for an option the program no longer lists.
#   man_options_test.sh <program> <page.scd>
set -euo pipefail
program=$1 page=$2
# The option words before the description (two spaces or more) of each option line.
listed=$("$program" --help | sed -n 's/^  \(-[^ ].*\)/\1/p' | sed 's/  .*//' |
  grep -oE '(^|[ ,])--?[A-Za-z][A-Za-z-]*' | tr -d ' ,' | sort -u)
described=$(grep -E '^\*-' "$page" | grep -oE '\*--?[A-Za-z][A-Za-z-]*\*' | tr -d '*' | sort -u)
if [ -z "$listed" ]; then
  echo "FAIL: $program --help lists no options"
  exit 1
fi
if [ "$listed" != "$described" ]; then
  echo "FAIL: the options of $program --help and of $page differ"
  diff <(echo "$listed") <(echo "$described") | sed -n 's/^< /  not in the page: /p; s/^> /  not in --help: /p'
  exit 1
fi
echo "$(wc -l <<<"$listed") options, each in $page"
