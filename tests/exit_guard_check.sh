#!/bin/sh
# Runs the one unit test whose body ends the program with status 0 and
# expects the run to fail and to name that test.
output=$("$1" --gtest_also_run_disabled_tests --gtest_filter=ExitGuard.DISABLED_ExitZero 2>&1)
status=$?
printf '%s\n' "$output"
[ "$status" -ne 0 ] &&
  printf '%s\n' "$output" | grep -q 'ExitGuard.DISABLED_ExitZero: the program was ended while the test ran'
