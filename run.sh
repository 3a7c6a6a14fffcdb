#!/usr/bin/env bash
# Builds Qelvi (installing what it needs) and starts it.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$here/scripts/setup.sh" "$here/build" --target qelvi
exec "$here/build/qelvi" "$@"
