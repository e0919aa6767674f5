#!/usr/bin/env bash
# The Debian package end to end: cpack makes it from this build (under a umask of 077, which must not
# reach the package's modes); its control data declare the dependencies, its files are root's, folders
# and programs 0755, other files 0644.
# Unpacked with dpkg-deb -x below a temporary root, the packaged regsvr registers the packaged
# modules, tillmoor -RegServer registers the packaged service and a cycle settles the pending orders of
# an SQLite order database, and dtchost renders the packaged demo page from the packaged demo
# installation: all from the unpacked root, with nothing pointing back into the build.
#   package_test.sh CPACK CPACK_CONFIG
set -u
source "$(dirname "$0")/../support/shell_test.sh"
source_root="$(cd "$(dirname "$0")/../.." && pwd)"
service=
trap '[ -z "$service" ] || kill -KILL "$service" 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$dir"' EXIT

# ---- the package ----
(umask 0077 && "$1" --config "$2" -B "$dir/cpack") >"$dir/cpack.out" 2>&1 || {
  cat "$dir/cpack.out"
  echo "FAIL cpack"
  exit 1
}
deb=$(ls "$dir"/cpack/*.deb)
check "the package is tessery_<version>_<architecture>.deb" \
  test "$(basename "$deb")" = "tessery_$(dpkg-deb -f "$deb" Version)_$(dpkg --print-architecture).deb"
dpkg-deb --info "$deb" >"$dir/info"
check "it depends on unixODBC" grep -Eq '^ Depends: (.*, )?unixodbc(,|$)' "$dir/info"
check "it depends on the SQLite or the PostgreSQL ODBC driver" \
  grep -Eq '^ Depends: (.*, )?libsqliteodbc \| odbc-postgresql(,|$)' "$dir/info"
check "it depends on the libraries the programs link" grep -Eq '^ Depends: .*libodbc[0-9].*libstdc\+\+6' "$dir/info"
dpkg-deb --contents "$deb" | awk '{print $1, $2, $6}' >"$dir/contents"
expected=(
  'drwxr-xr-x root/root ./var/lib/tessery/'
  '-rw-r--r-- root/root ./usr/share/tessery/demo/install/Vistelle/include/DTC_TEMPLATE.ASP'
  '-rw-r--r-- root/root ./usr/share/tessery/doc/README.md'
)
for program in tillmoor dtchost regsvr; do expected+=("-rwxr-xr-x root/root ./usr/bin/$program"); done
for module in VistelleDTC CorvaneDataProviders CorvaneDatasourceConnection CCPayment; do
  expected+=("-rw-r--r-- root/root ./usr/lib/tessery/lib$module.so")
done
printf '%s\n' "${expected[@]}" | grep -Fxv -f "$dir/contents" >"$dir/missing"
check "programs in /usr/bin, modules in /usr/lib/tessery, demo and docs in /usr/share/tessery, /var/lib/tessery" \
  test ! -s "$dir/missing"
check "every entry is root's, 0755 or 0644" \
  test -z "$(grep -Ev '^(drwxr-xr-x|-rwxr-xr-x|-rw-r--r--) root/root ' "$dir/contents")"
check "nothing is registered by the package" test -z "$(grep -F './var/lib/tessery/' "$dir/contents" | grep -v '/$')"

# ---- unpacked below another root; its folders are 0755 (and root's when root runs the test), as the
# service's checks of its registry, unit and lock folders expect ----
umask 022
root="$dir/root"
chmod 0755 "$dir"
mkdir "$root"
dpkg-deb -x "$deb" "$root" || { echo "FAIL dpkg-deb -x"; exit 1; }
mkdir -p "$root/etc/systemd/system" "$root/run"
for file in "$root"/usr/bin/* "$root"/usr/lib/tessery/*; do
  readelf -d "$file" | grep -Eq '\((RPATH|RUNPATH)\)' && echo "search path in $file: $(readelf -d "$file" | grep PATH)"
done >"$dir/paths"
check "no program or module carries a library search path" test ! -s "$dir/paths"

unset NOTIFY_SOCKET
export TESSERY_REGISTRY="$root/var/lib/tessery/registry.reg" TESSERY_LOCK_DIR="$root/run/tessery" \
  TESSERY_SYSTEMD_UNIT_DIR="$root/etc/systemd/system" TESSERY_DRIVE_C="$root/usr/share/tessery/demo" \
  ODBCSYSINI="$root/etc" ODBCINI="$root/etc/odbc.ini"
driver=$(find /usr/lib /usr/local/lib -name libsqlite3odbc.so 2>/dev/null | head -n 1)
printf '[SQLite3]\nDriver=%s\n' "$driver" >"$root/etc/odbcinst.ini"
printf '[Velmar]\nDriver=SQLite3\nDatabase=%s\nTimeout=5000\n' "$root/var/lib/tessery/orders.db" >"$ODBCINI"
sql() { sqlite3 -cmd ".timeout 5000" "$root/var/lib/tessery/orders.db" "$@"; }
{
  echo "CREATE TABLE ORDERHEADER (ORDERID VARCHAR(50), HEADERBILLINGSTATUS INTEGER);"
  for i in $(seq 0 19); do echo "INSERT INTO ORDERHEADER VALUES ('P-$i', $((i % 10)));"; done
} | sql
cat >"$TESSERY_REGISTRY" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Tessery\Tessery Corvane]
"InstallDir"="c:\\install"

[HKEY_LOCAL_MACHINE\SOFTWARE\Tessery\Tessery Corvane\DataProviders]
"CatalogFile"="c:\\install\\Vistelle\\dataproviders.json"
REG

modules="$root/usr/lib/tessery"
registered=0
for module in libCCPayment.so libVistelleDTC.so libCorvaneDataProviders.so; do
  "$root/usr/bin/regsvr" "$modules/$module" >>"$dir/regsvr.out" 2>&1 && registered=$((registered + 1))
done
check "the packaged regsvr registers the packaged modules" test "$registered" -eq 3
check "the registry names the modules below the root" grep -Fq "@=\"$modules/libCCPayment.so\"" "$TESSERY_REGISTRY"
"$root/usr/bin/tillmoor" -RegServer >"$dir/register.out" 2>&1
check "the packaged tillmoor -RegServer exits 0" test $? -eq 0

# One cycle a minute, a minute being 10 ms: the pending orders (statuses 3, 4 and 5) are settled.
TESSERY_TIME_SCALE=6000 "$root/usr/bin/tillmoor" >"$dir/service.out" 2>"$dir/service.err" &
service=$!
for _ in $(seq 1 600); do
  [ "$(sql "SELECT COUNT(*) FROM ORDERHEADER WHERE HEADERBILLINGSTATUS IN (3,4,5)")" = 0 ] && break
  sleep 0.1
done
kill -TERM "$service"
wait "$service"
check "the packaged tillmoor stops with exit status 0 on SIGTERM" test $? -eq 0
service=
check "every pending order is settled once" \
  test "$(sql "SELECT ORDERID FROM PAYMENTJOURNAL ORDER BY ORDERID" | tr '\n' ' ')" = \
  "P-13 P-14 P-15 P-3 P-4 P-5 "
check "no other order is touched" \
  test "$(sql "SELECT HEADERBILLINGSTATUS || '-' || COUNT(*) FROM ORDERHEADER GROUP BY HEADERBILLINGSTATUS" |
    tr '\n' ' ')" = "0-2 1-2 2-2 6-8 7-2 8-2 9-2 "
check "the service reports nothing but its start" \
  test "$(cat "$dir/service.out" "$dir/service.err")" = "Service started with interval(minutes): 1"

"$root/usr/bin/dtchost" render "$root/usr/share/tessery/demo/pages/orders.json" --site-base /shop/ \
  --site-page /shop/orders/list.asp >"$dir/orders.asp" 2>"$dir/render.err"
check "the packaged dtchost renders the packaged demo page byte for byte" \
  cmp -s "$dir/orders.asp" "$source_root/tests/data/demo_orders_page.asp"
check "the render shows no message" test ! -s "$dir/render.err"

if [ "$failures" -ne 0 ]; then
  for file in missing regsvr.out register.out service.out service.err render.err; do
    echo "--- $file"
    cat "$dir/$file"
  done
fi
finish
