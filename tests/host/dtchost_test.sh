#!/usr/bin/env bash
# dtchost end to end: a saved sample loads back equal; faulty bag files are reported and never
# modified; a missing file and a bad command line give their exit statuses; render writes the demo
# page byte for byte from the demo installation and reports what it cannot do.
set -u
host="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
root="$(cd "$(dirname "$0")/../.." && pwd)"
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

# ---- render ----
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessery\\Tessery Corvane]\r\n"InstallDir"="c:\\\\install"\r\n' \
  >"$dir/registry.reg"
export TESSERY_REGISTRY="$dir/registry.reg" TESSERY_DRIVE_C="$root/demo"
render() { "$host" render "$@"; }
page="$root/demo/pages/orders.json"

render "$page" --site-base /shop/ --site-page /shop/orders/list.asp >"$dir/orders.asp" 2>"$dir/render.err"
check "render exits 0" test $? -eq 0
check "render writes the demo page byte for byte" cmp -s "$dir/orders.asp" "$root/tests/data/demo_orders_page.asp"
check "render of the demo page shows no message" test ! -s "$dir/render.err"
check "the registry file is left as it was" grep -q '"InstallDir"="c:\\\\install"' "$dir/registry.reg"

render "$page" --site-page /shop/orders/list.asp --site-base /shop/orders/list.asp/ >"$dir/short.asp" 2>"$dir/short.err"
check "a page location shorter than the base still renders" test $? -eq 0
check "a page location shorter than the base is reported" \
  grep -qxF "VistelleDTC: Error in 'GetRelativePathRoot': Invalid procedure call or argument(5)" "$dir/short.err"

render "$page" >"$dir/nosite.asp" 2>"$dir/nosite.err"
check "render without a site exits 0" test $? -eq 0
check "render without a site says so once" test "$(grep -c 'Not running in DevStudio\.\.\.' "$dir/nosite.err")" -eq 1
check "render without a site includes from the page's own folder" \
  grep -q '^<!--#INCLUDE file ="include/customer.asp" -->' "$dir/nosite.asp"

printf '{ "DataProvider": "ShopArticles", "LinkedDataProvider": "ShopStock" }' >"$dir/other.json"
render "$dir/other.json" >"$dir/other.asp" 2>/dev/null
check "render keeps a provider the demo catalog does not know" \
  grep -q '^Set mDataProvider = NewDataProvider("ShopArticles")' "$dir/other.asp"
check "render keeps a linked provider the demo catalog does not know" \
  grep -q 'Set lLinkedDataProvider = NewDataProvider("ShopStock")' "$dir/other.asp"

"$host" render "$dir/page.json" >"$dir/sample.asp" 2>"$dir/sample-render.err"
check "the sample's criteria messages come one line each" \
  test "$(grep -c "^VistelleDTC: Unknown operator '[012]' on criterion [123]\$" "$dir/sample-render.err")" -eq 5

(cd "$dir" && TESSERY_REGISTRY="$dir/no-such.reg" "$host" render "$page" >"$dir/noreg.asp" 2>"$dir/noreg.err")
check "without the registry value render fails with status 3" test $? -eq 3
check "without the registry value the registry name is shown" \
  grep -qxF "VistelleDTC: Can not find REGKEY 'HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\InstallDir'" "$dir/noreg.err"
check "without the registry value the template is not found below the working folder" \
  grep -q "Error in 'IProvideRuntimeText_GetRuntimeText': Path not found(76)" "$dir/noreg.err"
check "a request ended by an error writes the text as it stood (empty)" test ! -s "$dir/noreg.asp"
(cd "$root/demo/install" && TESSERY_REGISTRY="$dir/no-such.reg" "$host" render "$page" >"$dir/relative.asp" 2>/dev/null)
check "without the registry value the template is read below the working folder" \
  grep -q '^Set mDataProvider = NewDataProvider("KRMOrders")' "$dir/relative.asp"

render "$dir/missing.json" >"$dir/missing.asp" 2>"$dir/render-missing.err"
check "render of a missing bag exits 1" test $? -eq 1
check "render of a missing bag names it" grep -q "missing.json" "$dir/render-missing.err"
check "render of a missing bag writes nothing" test ! -s "$dir/missing.asp"
render "$dir/broken.json" >/dev/null 2>"$dir/render-broken.err"
check "render of an invalid bag exits 1" test $? -eq 1
check "render of an invalid bag is reported by the control's load" \
  grep -q "^VistelleDTC: Error in 'UserControl_ReadProperties'" "$dir/render-broken.err"
render "$page" --site-base /shop/ >/dev/null 2>&1
check "render with only one site location exits 2" test $? -eq 2
render "$page" --site-base /a/ --site-base /b/ >/dev/null 2>&1
check "render with a repeated option exits 2" test $? -eq 2

echo "$failures failed"
test "$failures" -eq 0
