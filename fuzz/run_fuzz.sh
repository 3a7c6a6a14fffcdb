#!/usr/bin/env bash
# Runs one fuzzer for a bounded time over its corpus; new inputs go to a scratch folder.
set -euo pipefail
fuzzer="$1"; corpus="$2"; seconds="${3:-5}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$corpus"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$scratch/" "$scratch" "$corpus"
