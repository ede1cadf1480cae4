#!/usr/bin/env bash
# Installs what is missing, then builds the game twice and runs every test:
#   build/       the normal build: unit tests, end-to-end tests under Xvfb, server tests
#   build-asan/  AddressSanitizer + UndefinedBehaviorSanitizer: the same tests but
#                the end-to-end ones (their GL and toolkit libraries are not instrumented)
# Any failure stops the run with a non-zero status and a message saying where.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${QUARZELLO_JOBS:-2}
step="installing packages"
trap 'status=$?; echo; echo "*** TESTS FAILED while ${step} (exit status ${status}) ***" >&2; exit ${status}' ERR

banner() {
  step=$1
  printf '\n=== %s ===\n' "$1"
}

banner "installing packages"
tools/install-deps.sh

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

banner "configuring and building (build)"
cmake -S . -B build -G Ninja -DQUARZELLO_SANITIZE=OFF -DQUARZELLO_WERROR=ON
cmake --build build -j "$jobs"

banner "running the tests (build)"
ctest --test-dir build --output-on-failure --no-tests=error -j "$jobs"

banner "configuring and building with sanitizers (build-asan)"
# Unoptimised: half the compile time, and the sanitizers see every access.
cmake -S . -B build-asan -G Ninja -DQUARZELLO_SANITIZE=ON -DQUARZELLO_WERROR=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan -j "$jobs"

banner "running the tests with sanitizers (build-asan)"
ctest --test-dir build-asan --output-on-failure --no-tests=error -j "$jobs" --label-exclude e2e

trap - ERR
printf '\n=== all tests passed (build and build-asan) ===\n'
