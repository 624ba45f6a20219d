#!/usr/bin/env bash
# Builds the fuzz target and runs it for a bounded time (seconds, default 60) from the seed
# corpus. Findings are written to build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
./scripts/setup-debian.sh fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/corpus build/fuzz/findings
cp -n fuzz/corpus/* build/fuzz/corpus/ 2>/dev/null || true
./build/fuzz/fuzz_text_entry -max_total_time="$seconds" -max_len=256 -timeout=20 \
  -artifact_prefix=build/fuzz/findings/ -print_final_stats=1 build/fuzz/corpus
