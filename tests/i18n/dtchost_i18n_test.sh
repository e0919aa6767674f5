#!/usr/bin/env bash
# dtchost with the translation dialogs: the demo script adds a field-name translation with a new
# label and two field-value translations to an I18N database on SQLite (data source "Vistelle"),
# and the database holds exactly the expected rows.
#   dtchost_i18n_test.sh DTCHOST REGSVR CONTROL_MODULE DATAPROVIDER_MODULE DATASOURCE_MODULE
set -u
source "$(dirname "$0")/../support/shell_test.sh"
host="$(absolute "$1")"
regsvr="$(absolute "$2")"
root="$(cd "$(dirname "$0")/../.." && pwd)"

export TESSERY_DRIVE_C="$root/demo" TESSERY_REGISTRY="$dir/registry.reg"
cat >"$dir/registry.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Tessery\Tessery Corvane]
"InstallDir"="c:\\install"

[HKEY_LOCAL_MACHINE\SOFTWARE\Tessery\Tessery Corvane\DataProviders]
"CatalogFile"="c:\\install\\Vistelle\\dataproviders.json"

[HKEY_LOCAL_MACHINE\SOFTWARE\Tessery\Tessery Corvane\Datasources]
"8"="DSN=Vistelle;UID=WWWappsVistelle;PWD="
REG
for module in "$3" "$4" "$5"; do
  "$regsvr" "$module" >/dev/null || { echo "FAIL regsvr $module"; exit 1; }
done

driver=$(find /usr/lib /usr/local/lib -name libsqlite3odbc.so 2>/dev/null | head -n 1)
printf '[SQLite3]\nDriver=%s\n' "$driver" >"$dir/odbcinst.ini"
printf '[Vistelle]\nDriver=SQLite3\nDatabase=%s\nTimeout=5000\n' "$dir/i18n.db" >"$dir/odbc.ini"
export ODBCSYSINI="$dir" ODBCINI="$dir/odbc.ini"
sqlite3 "$dir/i18n.db" <"$root/demo/i18n/schema.sql" && sqlite3 "$dir/i18n.db" <"$root/demo/i18n/labels.sql"

"$host" edit "$root/demo/pages/orders.json" --script "$root/demo/pages/translate.script" \
  --save "$dir/translated.json" >"$dir/out.txt" 2>"$dir/err.txt"
check "the translation script runs to its end" test $? -eq 0
check "the only message is the new label's warning" test "$(cat "$dir/err.txt")" = \
  "VistelleDTC: Warning: Don't forget to translate the (new) label to other languages"
q() { sqlite3 "$dir/i18n.db" "$1"; }
check "the field-name translation of ORDERDATE is the new label" test \
  "$(q "SELECT * FROM I18NFIELDNAMES ORDER BY FIELDNAME")" = \
  "$(printf 'KRMOrders|drav|ORDERDATE|KRMVA2010\nKRMOrders|drav|ORDERID|KRMVA0100')"
check "the new label has its English text" test \
  "$(q "SELECT LABEL, TEXT, LOCALEID, STATUS FROM I18NTEXT WHERE LABEL = 'KRMVA2010'")" = "KRMVA2010|Date ordered|1033|0"
check "Order.Status holds the stored value and the two added ones" test \
  "$(q "SELECT * FROM I18NFIELDVALUES ORDER BY FIELDVALUE")" = \
  "$(printf 'KRMOrders|eai|Status|1|KRMVA2000\nKRMOrders|eai|Status|2|KRMVA2001\nKRMOrders|eai|Status|3|KRMVA2002')"
check "the page is saved with ORDERDATE ticked" grep -q '"DRAVI18NFieldnames1": " 3 - ORDERDATE"' "$dir/translated.json"

# A script that ends inside a dialog fails, and nothing is saved.
printf 'tab I18N\nselect EAII18NFieldValuesList Order.Status\nclick AddCommand\n' >"$dir/open.script"
"$host" edit "$root/demo/pages/orders.json" --script "$dir/open.script" --save "$dir/open.json" \
  >/dev/null 2>"$dir/open.err"
check "a script ending in an open dialog exits 4" test $? -eq 4
check "and names the dialog" grep -q "while dialog 'SpecifyI18NFieldValueDialog' was open" "$dir/open.err"
check "and saves nothing" test ! -e "$dir/open.json"

finish
