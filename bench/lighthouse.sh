#!/usr/bin/env bash
# Lighthouse (the version package.json pins) over the page as tools/web serves
# it, a plain python3 -m http.server, in Debian's Chromium: mobile, with its
# default throttling. Prints the four category scores, the layout shift and
# every audit under full marks, and keeps the whole report as JSON.
# Usage: bench/lighthouse.sh SITE_DIR [REPORT.json]  (npm ci first)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
site=$1
report=${2:-$(mktemp --suffix=.json)}
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port" >/dev/null 2>&1 &
server=$!
trap 'kill "$server"' EXIT
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.05; done
CHROME_PATH=/usr/bin/chromium "$top/node_modules/.bin/lighthouse" "http://127.0.0.1:$port/" \
  --quiet --output=json --output-path="$report" \
  --chrome-flags="--headless=new --no-sandbox --disable-gpu --disable-background-networking \
--disable-component-update --disable-sync --no-first-run --user-data-dir=$(mktemp -d)"
# shellcheck disable=SC2016  # the script's ${...} are JavaScript's
node -e '
const r = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
for (const c of Object.values(r.categories)) console.log(`${c.title.padEnd(16)} ${c.score}`);
console.log(`${"layout shift".padEnd(16)} ${r.audits["cumulative-layout-shift"].numericValue.toFixed(3)}`);
console.log(`\naudits under full marks (${process.argv[1]}):`);
for (const a of Object.values(r.audits))
  if (a.score !== null && a.score < 1 && a.scoreDisplayMode !== "informative" && a.scoreDisplayMode !== "manual")
    console.log(`  ${a.id}: ${a.score}${a.displayValue ? " (" + a.displayValue + ")" : ""}`);
' "$report"
