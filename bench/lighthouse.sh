#!/usr/bin/env bash
# Lighthouse (the version below) over the page as tools/web serves
# it, a plain python3 -m http.server, in Debian's Chromium: mobile, with its
# default throttling. Prints the four category scores, the layout shift and
# every audit under full marks, and keeps the whole report as JSON.
# Usage: bench/lighthouse.sh SITE_DIR [REPORT.json]
# Lighthouse is installed the first time into a cache folder of its own, not
# beside the page tests' drivers: some of its dependencies ask npm for a tag
# ('latest'), which a lock file can't hold still, and which Debian 13's npm
# refuses in one, so it would break the tests' npm ci.
set -euo pipefail
site=$1
lighthouse=${XDG_CACHE_HOME:-$HOME/.cache}/bitrot/lighthouse-12.8.2
[ -x "$lighthouse/node_modules/.bin/lighthouse" ] ||
  npm install --prefix "$lighthouse" --no-save --no-audit --no-fund --loglevel=error lighthouse@12.8.2
report=${2:-$(mktemp --suffix=.json)}
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port" >/dev/null 2>&1 &
server=$!
trap 'kill "$server"' EXIT
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.05; done
CHROME_PATH=/usr/bin/chromium "$lighthouse/node_modules/.bin/lighthouse" "http://127.0.0.1:$port/" \
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
