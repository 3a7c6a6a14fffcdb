#!/usr/bin/env bash
# Builds Qelvi (installing what it needs) and runs its test suite.
#   ./test.sh              the normal build in build/
#   ./test.sh --sanitize   (or QELVI_SANITIZE=1) a clang build in build-sanitize/ with
#                          AddressSanitizer and UndefinedBehaviorSanitizer, plus short
#                          fuzzing runs of the parsers (without the desktop tests); only
#                          this run installs the clang packages of packages-sanitize.txt
# Other arguments go to ctest (e.g. -R tst_shell).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
sanitize="${QELVI_SANITIZE:-0}"
args=()
for a in "$@"; do
  if [ "$a" = "--sanitize" ]; then sanitize=1; else args+=("$a"); fi
done

if [ "$sanitize" = "1" ]; then
  build="$here/build-sanitize"
  CC=clang CXX=clang++ "$here/scripts/setup.sh" "$build" --tests --packages "$here/packages-sanitize.txt" \
      -DQELVI_SANITIZE=ON -DQELVI_FUZZ=ON
  # intercept_tls_get_addr=0: clang 14's leak checker misreads glibc 2.36's dynamic TLS
  # blocks and its tracer dies at exit ("Tracer caught signal 11") in some test programs;
  # static TLS, stacks and globals are still scanned.
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:intercept_tls_get_addr=0"
  export LSAN_OPTIONS="suppressions=$here/tests/sanitizer/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  # The desktop layer looks at the program as a user does; it runs in the normal build.
  args+=(-LE desktop)
else
  build="$here/build"
  "$here/scripts/setup.sh" "$build" --tests
fi
cd "$build"
ctest --output-on-failure -j"$(nproc)" "${args[@]}"
