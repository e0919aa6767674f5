#!/usr/bin/env bash
# A machine where PostgreSQL cannot be started: the PostgreSQL half of a database suite is skipped with
# the reason (the SQLite half still runs), and with TESSERY_REQUIRE_POSTGRES=1 it fails instead.
#   postgres_unavailable_test.sh PAYMENT_TESTS
set -uo pipefail
tests="$1"
filter='CCPaymentTest.SettlesEachPendingStatusOnceAndJournalsIt/*'
export TESSERY_POSTGRES_BIN=/nonexistent/postgresql/bin
fail() {
  echo "FAIL: $*"
  echo "$output"
  exit 1
}

output=$(env -u TESSERY_REQUIRE_POSTGRES "$tests" --gtest_filter="$filter" 2>&1) || fail "exit status $? without the requirement"
grep -q '^\[       OK \] CCPaymentTest.SettlesEachPendingStatusOnceAndJournalsIt/SQLite' <<<"$output" ||
  fail "the SQLite test did not pass"
grep -q '^\[  SKIPPED \] CCPaymentTest.SettlesEachPendingStatusOnceAndJournalsIt/PostgreSQL' <<<"$output" ||
  fail "the PostgreSQL test was not skipped"
grep -q 'PostgreSQL cannot be started: no initdb in TESSERY_POSTGRES_BIN (/nonexistent/postgresql/bin)' <<<"$output" ||
  fail "the skip gives no reason"

output=$(TESSERY_REQUIRE_POSTGRES=1 "$tests" --gtest_filter="$filter" 2>&1) && fail "passed although PostgreSQL is required"
grep -q '^\[  FAILED  \] CCPaymentTest.SettlesEachPendingStatusOnceAndJournalsIt/PostgreSQL' <<<"$output" ||
  fail "the PostgreSQL test did not fail when required"
grep -q 'PostgreSQL cannot be started: .*(TESSERY_REQUIRE_POSTGRES=1)' <<<"$output" || fail "the failure gives no reason"
echo "PASS"
