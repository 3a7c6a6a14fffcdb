#!/usr/bin/env bash
# Builds Qelvi (installing what it needs) and runs its test suite.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/scripts/setup.sh" "$here/build"
cd "$here/build"
ctest --output-on-failure -j"$(nproc)" "$@"
