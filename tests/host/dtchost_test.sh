#!/usr/bin/env bash
# dtchost end to end: a saved sample loads back equal; faulty bag files are reported and never
# modified; a missing file and a bad command line give their exit statuses; render writes the demo
# page byte for byte from the demo installation and reports what it cannot do.
#   dtchost_test.sh DTCHOST REGSVR CONTROL_MODULE DATAPROVIDER_MODULE
set -u
source "$(dirname "$0")/../support/shell_test.sh"
host="$(absolute "$1")"
regsvr="$(absolute "$2")"
root="$(cd "$(dirname "$0")/../.." && pwd)"

# The machine: drive C: is demo/, the demo installation's catalog of data providers, and the control
# and the data-provider components registered with regsvr, as an installation does. noinstall.reg
# lacks the install directory.
export TESSERY_DRIVE_C="$root/demo"
cat >"$dir/noinstall.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Tessery\Tessery Corvane\DataProviders]
"CatalogFile"="c:\\install\\Vistelle\\dataproviders.json"
REG
cat "$dir/noinstall.reg" - >"$dir/registry.reg" <<'REG'

[HKEY_LOCAL_MACHINE\SOFTWARE\Tessery\Tessery Corvane]
"InstallDir"="c:\\install"
REG
for reg in noinstall registry; do
  for module in "$3" "$4"; do
    TESSERY_REGISTRY="$dir/$reg.reg" "$regsvr" "$module" >/dev/null || { echo "FAIL regsvr $module"; exit 1; }
  done
done
export TESSERY_REGISTRY="$dir/registry.reg"

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
# Opened and saved without a change, such a page keeps both providers; the designer is told once
# about each, and that is no failure.
: >"$dir/empty.script"
"$host" edit "$dir/other.json" --script "$dir/empty.script" --save "$dir/other-saved.json" >/dev/null \
  2>"$dir/other-edit.err"
check "an unchanged edit of a page whose providers are not installed exits 0" test $? -eq 0
for provider in ShopArticles ShopStock; do
  check "the unchanged edit keeps $provider" grep -q "DataProvider\": \"$provider\"" "$dir/other-saved.json"
  check "the designer is told once that $provider is not installed" test "$(grep -cxF \
    "VistelleDTC: Data provider '$provider' is not installed; the page keeps it until another one is chosen" \
    "$dir/other-edit.err")" -eq 1
done

"$host" render "$dir/page.json" >"$dir/sample.asp" 2>"$dir/sample-render.err"
check "the sample's criteria messages come one line each" \
  test "$(grep -c "^VistelleDTC: Unknown operator '[012]' on criterion [123]\$" "$dir/sample-render.err")" -eq 5

(cd "$dir" && TESSERY_REGISTRY="$dir/noinstall.reg" "$host" render "$page" >"$dir/noreg.asp" 2>"$dir/noreg.err")
check "without the registry value render fails with status 3" test $? -eq 3
check "without the registry value the registry name is shown" \
  grep -qxF "VistelleDTC: Can not find REGKEY 'HKLM\\SOFTWARE\\Tessery\\Tessery Corvane\\InstallDir'" "$dir/noreg.err"
check "without the registry value the template is not found below the working folder" \
  grep -q "Error in 'IProvideRuntimeText_GetRuntimeText': Path not found(76)" "$dir/noreg.err"
check "a request ended by an error writes the text as it stood (empty)" test ! -s "$dir/noreg.asp"
(cd "$root/demo/install" && TESSERY_REGISTRY="$dir/noinstall.reg" "$host" render "$page" >"$dir/relative.asp" 2>/dev/null)
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

# ---- edit and new: editor scripts ----
script="$root/tests/data/edit_general.script"
"$host" new "$dir/new.json" --script "$script" >"$dir/new.txt" 2>"$dir/new.err"
check "new with a script exits 0" test $? -eq 0
check "new shows the refused XSL file and nothing else" \
  test "$(cat "$dir/new.err")" = "VistelleDTC: Can not include a file outside the Corvane site 'C:\\INSTALL\\'"
render "$dir/new.json" --site-base /shop/ --site-page /shop/orders/list.asp >"$dir/new.asp" 2>/dev/null
check "the scripted page renders as expected" cmp -s "$dir/new.asp" "$root/tests/data/edit_general_page.asp"
check "new prints the configuration it saved" grep -q '^ExtraIncludes: 2 items' "$dir/new.txt"

# Criteria on both provider tabs through the in-place editors and the criterion dialog.
"$host" new "$dir/criteria.json" --script "$root/tests/data/edit_criteria.script" >/dev/null 2>"$dir/criteria.err"
check "the criteria script exits 0" test $? -eq 0
check "the criteria script shows only the Del warning, once per grid" \
  test "$(grep -c "Don't push the 'Del' button" "$dir/criteria.err")" -eq 1 -a "$(wc -l <"$dir/criteria.err")" -eq 1
render "$dir/criteria.json" --site-base /shop/ --site-page /shop/orders/list.asp >"$dir/criteria.asp" 2>/dev/null
check "the criteria page renders as expected" cmp -s "$dir/criteria.asp" "$root/tests/data/edit_criteria_page.asp"
check "a cancelled dialog records nothing" test "$(grep -c Forgotten "$dir/criteria.json")" -eq 0
printf 'tab DRAV\ncell DRAVCriteriaGrid 1 4\nclick DRAVCriteriaGrid\n  choose LocalScriptOption\n' >"$dir/open.script"
"$host" edit "$dir/criteria.json" --script "$dir/open.script" --save "$dir/open.json" >/dev/null 2>"$dir/open.err"
check "a script that ends inside a dialog exits 4" test $? -eq 4
check "it names the dialog left open" grep -q "script line 4: the script ended while dialog 'SpecifyCriteriumDialog' was open" "$dir/open.err"
check "and saves nothing" test ! -e "$dir/open.json"

cat >"$dir/delete.script" <<'ACTIONS'
select IncludeASPList "include/customer.asp"
click IncludeASPDeleteCommand
text XSLFilenameText xsl/Generic.xsl
ACTIONS
cp "$dir/new.json" "$dir/edited.json"
"$host" edit "$dir/edited.json" --script "$dir/delete.script" >/dev/null 2>&1
check "edit saves back into the bag" test $? -eq 0
check "edit deleted the include" test "$(grep -c '"ExtraIncludes' "$dir/edited.json")" -eq 1
check "edit kept the other include" grep -q '"ExtraIncludes0": "include/extra.asp"' "$dir/edited.json"
"$host" edit "$dir/new.json" --script "$dir/delete.script" --save "$dir/copy.json" >/dev/null 2>&1
check "edit --save writes elsewhere" cmp -s "$dir/copy.json" "$dir/edited.json"

cp "$dir/new.json" "$dir/new.orig"
faulty() {  # faulty NAME LINE EXPECTED-MESSAGE: the script NAME fails at LINE and nothing is saved
  "$host" edit "$dir/new.json" --script "$dir/$1.script" >"$dir/$1.out" 2>"$dir/$1.err"
  check "$1: exit status 4" test $? -eq 4
  check "$1: the message names line $2" grep -q "script line $2: $3" "$dir/$1.err"
  check "$1: the bag is left as it was" cmp -s "$dir/new.json" "$dir/new.orig"
}
printf 'tab General\nclick NoSuchButton\n' >"$dir/control.script"
faulty control 2 "the editor has no control named 'NoSuchButton'"
printf 'tab General\n\n# fine so far\npress IncludeASPAddCommand\n' >"$dir/action.script"
faulty action 4 "unknown action 'press'"
printf 'click SaveCommand\ntab DRAV\nclick IncludeASPAddCommand\n' >"$dir/hidden.script"
faulty hidden 3 "control 'IncludeASPAddCommand' is not visible"
printf 'answer file "c:\\install\\include\\customer.asp"\nanswer yes\nclick IncludeASPAddCommand\n' >"$dir/unused.script"
faulty unused 1 "no dialog took this answer"
printf 'select DataProvidersCombo "KRMNothing"\n' >"$dir/item.script"
faulty item 1 "no item 'KRMNothing'"
printf 'text IncludeASPText "unclosed\n' >"$dir/quote.script"
faulty quote 1 "a quoted word is not closed"
"$host" new "$dir/never.json" --script "$dir/action.script" >/dev/null 2>&1
check "new with a faulty script writes no bag" test ! -e "$dir/never.json"
"$host" edit "$dir/new.json" >/dev/null 2>&1
check "edit without a script exits 2" test $? -eq 2

# A provider with more fields than the bag's 16-bit count holds: the control's save stops with its
# message, and the bag that was there stays whole.
seq 1 33000 | awk 'BEGIN { printf "{ \"providers\": [ { \"name\": \"Huge\", \"drav\": { \"fields\": [" }
  { printf "%s[%d, \"F%d\"]", (NR > 1 ? ", " : ""), $1, $1 }
  END { print "], \"keyFields\": [\"F1\"] } } ] }" }' >"$dir/huge.json"
sed "s|c:\\\\\\\\install\\\\\\\\Vistelle\\\\\\\\dataproviders.json|$dir/huge.json|" "$dir/registry.reg" >"$dir/huge.reg"
printf 'select DataProvidersCombo Huge\ntab DRAV\n' >"$dir/huge.script"
TESSERY_REGISTRY="$dir/huge.reg" "$host" edit "$dir/new.json" --script "$dir/huge.script" >/dev/null 2>"$dir/huge.err"
check "a save the control reports as failed exits 1" test $? -eq 1
check "the control's save message is shown" grep -q "Error in 'UserControl_WriteProperties': Overflow (6)" "$dir/huge.err"
check "a failed save leaves the existing bag whole" cmp -s "$dir/new.json" "$dir/new.orig"

# ---- link tabs: a link with two pairs on each kind, saved, reloaded and rendered ----
printf '{ "DataProvider": "KRMOrders", "DRAVReturnFieldCount": 2, "DRAVReturnFields0": " 1 - ORDERID",
  "DRAVReturnFields1": " 2 - CUSTOMERID", "EAIReturnFieldCount": 2, "EAIReturnFields0": "Order.Number",
  "EAIReturnFields1": "Customer.Name" }\n' >"$dir/unlinked.json"
"$host" edit "$dir/unlinked.json" --script "$root/tests/data/edit_links.script" --save "$dir/linked.json" \
  >/dev/null 2>"$dir/linked.err"
check "the link script exits 0 and shows no message" test $? -eq 0 -a ! -s "$dir/linked.err"
render "$dir/linked.json" --site-base /shop/ --site-page /shop/orders/list.asp >"$dir/linked.asp" 2>/dev/null
check "the linked page renders as expected" cmp -s "$dir/linked.asp" "$root/tests/data/edit_links_page.asp"
cr=$'\r'
for line in 'Set lLinkedDataProvider = NewDataProvider("KRMCustomers")' \
  'mLinkedFields.Add "Number", "Customer.ID"' 'mLinkedFields.Add "Name", "Customer.ID"' \
  'mLinkedFields.Add "CUSTOMERID", "CUSTOMERID"' 'mLinkedFields.Add "ORDERID", "CUSTOMERID"' \
  'mReturnLinkedFields.Add "Customer.City", "Customer.City"' 'mReturnLinkedFields.Add 4, "NAME"'; do
  check "the linked page holds: $line" grep -qF "$line$cr" "$dir/linked.asp"
done
# A provider chosen on the EAI Link tab alone is the one the page keeps.
printf 'tab "EAI Link"\nselect EAILinkedDataProvidersCombo KRMStock\n' >"$dir/eaionly.script"
"$host" edit "$dir/linked.json" --script "$dir/eaionly.script" --save "$dir/eaionly.json" >/dev/null 2>&1
check "a linked provider chosen on the EAI Link tab alone is saved" \
  grep -q '"LinkedDataProvider": "KRMStock"' "$dir/eaionly.json"
printf 'tab "DRAV Link"\npick DRAVLinksGrid 1 0 x\n' >"$dir/nocombo.script"
faulty nocombo 2 "a click on cell 1 0 of 'DRAVLinksGrid' opened no combo"

echo "$failures failed"
finish
