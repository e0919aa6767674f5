#!/usr/bin/env bash
# dtchost end to end: a saved sample loads back equal; faulty bag files are reported and never
# modified; a missing file and a bad command line give their exit statuses.
set -u
host="$1"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
failures=0
check() {  # check DESCRIPTION CONDITION...
  local what="$1"; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

"$host" sample "$dir/page.json" >"$dir/saved.txt" 2>"$dir/sample.err"
check "sample exits 0" test $? -eq 0
check "sample shows no message" test ! -s "$dir/sample.err"
"$host" show "$dir/page.json" >"$dir/loaded.txt" 2>"$dir/show.err"
check "show exits 0" test $? -eq 0
check "loaded configuration equals the saved one" cmp -s "$dir/saved.txt" "$dir/loaded.txt"
check "no temporary file is left beside the bag" test "$(ls -A "$dir" | grep -c '^\.')" -eq 0

printf '{ "DataProvider": "KRMOrders", ' >"$dir/broken.json"
cp "$dir/broken.json" "$dir/broken.orig"
"$host" show "$dir/broken.json" >/dev/null 2>"$dir/broken.err"
check "invalid JSON exits 1" test $? -eq 1
check "invalid JSON is reported by the control's load" \
  grep -q "^VistelleDTC: Error in 'UserControl_ReadProperties': Property bag is not valid" "$dir/broken.err"
check "invalid JSON file is not modified" cmp -s "$dir/broken.json" "$dir/broken.orig"

printf '{ "EnableExtraFilters": 1, "DRAVReturnFieldCount": "many" }\n' >"$dir/wrongtype.json"
"$host" show "$dir/wrongtype.json" >"$dir/wrongtype.txt" 2>"$dir/wrongtype.err"
check "a value of the wrong type exits 1" test $? -eq 1
check "a value of the wrong type names the fault" grep -q "Type mismatch (13)" "$dir/wrongtype.err"
check "what was loaded before the fault stays" grep -q "^EnableExtraFilters: 1" "$dir/wrongtype.txt"

"$host" show "$dir/missing.json" >/dev/null 2>"$dir/missing.err"
check "a missing bag exits 1" test $? -eq 1
check "a missing bag is named" grep -q "missing.json" "$dir/missing.err"

"$host" frobnicate x >/dev/null 2>&1
check "an unknown command exits 2" test $? -eq 2

echo "$failures failed"
test "$failures" -eq 0
