#!/usr/bin/env bash
# regsvr end to end: registers the test module into a temporary registry file and removes it again;
# a missing module, a module without entry points and a wrong command line fail with a message.
set -u
regsvr="$1"
module="$2"
empty="$3"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
export TESSERY_REGISTRY="$dir/etc/registry.reg"
failures=0
check() {  # check DESCRIPTION CONDITION...
  local what="$1"; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

"$regsvr" "$module" >"$dir/out" 2>"$dir/err"
check "register exits 0" test $? -eq 0
check "register says so" grep -q "^regsvr: registered .* in $TESSERY_REGISTRY\$" "$dir/out"
check "the ProgID names the class" \
  grep -q '^\[HKEY_CLASSES_ROOT\\Tessery.TestPayment\\CLSID\]' "$TESSERY_REGISTRY"
check "the class names the module" grep -qF "@=\"$(cd "$(dirname "$module")" && pwd)/$(basename "$module")\"" \
  "$TESSERY_REGISTRY"

"$regsvr" -u "$module" >"$dir/out" 2>"$dir/err"
check "unregister exits 0" test $? -eq 0
check "unregister says so" grep -q "^regsvr: unregistered " "$dir/out"
check "no key of the class is left" test "$(grep -c 'Tessery.TestPayment\|6B1D6F0E' "$TESSERY_REGISTRY")" -eq 0

"$regsvr" "$dir/missing.so" >"$dir/out" 2>"$dir/err"
check "a missing module exits 1" test $? -eq 1
check "a missing module is named" grep -q "^regsvr: module '.*missing.so' not found (0x800401F8)" "$dir/err"

"$regsvr" "$empty" >"$dir/out" 2>"$dir/err"
check "a module without entry point exits 1" test $? -eq 1
check "the missing entry point is named" grep -q "does not export DllRegisterServer" "$dir/err"

"$regsvr" >/dev/null 2>&1
check "no module is a usage error" test $? -eq 2
"$regsvr" -x "$module" >/dev/null 2>&1
check "an unknown option is a usage error" test $? -eq 2

exit $((failures > 0))
