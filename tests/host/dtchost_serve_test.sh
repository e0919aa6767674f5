#!/usr/bin/env bash
# dtchost serve from outside, with curl: the line it prints, the token, the editor thread parked in a
# message box while the server keeps answering, Save, Close, SIGTERM with a handler parked, and the
# exit statuses of a bag that cannot be read and a wrong command line. Cheap enough for every build.
#   dtchost_serve_test.sh DTCHOST REGSVR CONTROL_MODULE DATAPROVIDER_MODULE
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
REG
for module in "$3" "$4"; do "$regsvr" "$module" >/dev/null || { echo "FAIL regsvr $module"; exit 1; }; done
cp "$root/demo/pages/orders.json" "$dir/page.json"

# serve ARGS...: starts dtchost serve in the background; sets $pid, $url, $base and $token.
serve() {
  "$host" serve "$@" >"$dir/out" 2>"$dir/err" &
  pid=$!
  for _ in $(seq 300); do grep -q 'token=' "$dir/out" && break; sleep 0.1; done
  url=$(sed -n 's/^dtchost: editing .* at //p' "$dir/out")
  base=${url%%/\?*}
  token=${url##*token=}
}
# post PATH JSON: the status and body of a POST with the token
post() { curl -s -w '\n%{http_code}' -H 'Content-Type: application/json' -d "$2" "$base$1?token=$token"; }
status() { tail -n 1 <<<"$1"; }
# ends DESCRIPTION: the process ends with status 0 within 5 s
ends() {
  local waited=0
  while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt 50 ]; do sleep 0.1; waited=$((waited + 1)); done
  if kill -0 "$pid" 2>/dev/null; then kill -9 "$pid"; check "$1" false; return; fi
  wait "$pid"
  check "$1" test $? -eq 0
}

serve "$dir/page.json" --port 0
check "serve prints the bag as given and a loopback URL with a 128-bit token" \
  grep -qE "^dtchost: editing $dir/page.json at http://127\.0\.0\.1:[0-9]+/\?token=[0-9a-f]{32}\$" "$dir/out"
check "without the token: 403" test "$(curl -s -o /dev/null -w '%{http_code}' "$base/state")" = 403
check "the state is JSON that starts saved" grep -q '"state":"saved"' <(curl -s "$base/state?token=$token")
reply=$(post /action '{"action":"tab"')
check "a malformed action: 400 with the reason" test "$(status "$reply")" = 400 -a -n "$(grep 'not JSON' <<<"$reply")"
reply=$(post /action '{"actions":[{"action":"tab","tab":2},{"action":"cell","control":"DRAVCriteriaGrid","row":1,"col":3},{"action":"keypress","control":"DRAVCriteriaGrid","code":90}]}')
check "a handler that shows a message box replies with the box open" grep -q "Don't push the 'Del' button" <<<"$reply"
check "the box is written to standard error as by the other commands" \
  grep -qxF "VistelleDTC: Don't push the 'Del' button, for it will throw away the entire DTC" "$dir/err"
for _ in 1 2 3; do curl -s "$base/state?token=$token" >"$dir/state" & done
wait %2 %3 %4 2>/dev/null
check "while it is parked the server answers state requests" grep -q '"parked":true' "$dir/state"
check "an action below the box is refused" test "$(status "$(post /action '{"action":"tab","tab":0}')")" = 400
kill -TERM "$pid"
ends "SIGTERM with a handler parked ends the editor with status 0 within 5 s"
check "and nothing is saved" cmp -s "$dir/page.json" "$root/demo/pages/orders.json"

serve "$dir/page.json"
post /action '{"action":"click","control":"EnableExtraFiltersCheck"}' >/dev/null
check "a change leaves unsaved changes" grep -q '"state":"modified"' <(curl -s "$base/state?token=$token")
reply=$(post /save '{}')
check "Save writes the bag" test "$(status "$reply")" = 200 -a -n "$(grep '"state":"saved"' <<<"$reply")"
check "the saved bag holds the change" bash -c "! grep -qE '\"EnableExtraFilters\": (1|true)' \"$dir/page.json\" && ! cmp -s \"$dir/page.json\" \"$root/demo/pages/orders.json\""
check "and no temporary file is left beside it" test "$(ls -A "$dir" | grep -c '^\.')" -eq 0
check "Close answers" grep -q closed <<<"$(post /close '{}')"
ends "Close ends the editor with status 0"

"$host" serve "$dir/missing.json" >/dev/null 2>"$dir/missing.err"
check "a bag that cannot be read: status 1" test $? -eq 1
"$host" serve "$dir/page.json" --port x >/dev/null 2>&1
check "a wrong command line: status 2" test $? -eq 2
"$host" serve "$dir/page.json" --site-base /a/ >/dev/null 2>&1
check "one site location without the other: status 2" test $? -eq 2
finish
