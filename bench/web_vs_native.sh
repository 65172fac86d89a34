#!/usr/bin/env bash
# The whole headless frame natively and as WebAssembly under Node.js, one
# after the other in the same run, and how many times slower the second is.
# Usage: bench/web_vs_native.sh NATIVE_BUILD WASM_BUILD [RUNS]
set -euo pipefail
runs=${3:-20000}
native=$("$1/bench/bitrot-framebench" "$runs")
wasm=$(node "$2/bitrot-framebench.js" "$runs")
echo "frame               native        wasm (Node.js $(node --version))"
paste <(echo "$native") <(echo "$wasm") |
  awk '{ printf "%-18s %8.2f µs %8.2f µs  %.2fx\n", $1, $2 / 1000, $5 / 1000, $5 / $2 }'
