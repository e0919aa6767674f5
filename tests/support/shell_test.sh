# Sourced by the shell tests: `absolute PATH`, a fresh temporary folder $dir (removed at exit unless
# KEEP is set), `check DESCRIPTION COMMAND...` (prints ok or FAIL and counts failures in $failures),
# and `finish` (the test's exit status: 0 when nothing failed).
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
dir="$(mktemp -d)"
trap '[ -n "${KEEP:-}" ] || rm -rf "$dir"' EXIT
failures=0
check() {
  local what="$1"; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
finish() { [ "$failures" -eq 0 ]; }
