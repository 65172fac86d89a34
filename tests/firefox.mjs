// Firefox for tests/webpage.py, over WebDriver BiDi (Debian has no
// geckodriver): a JSON request a line in, {value} or {error} a line out.
// Usage: node firefox.mjs DOWNLOAD_DIR
import readline from 'node:readline';
import puppeteer from 'puppeteer-core';

const browser = await puppeteer.launch({
  browser: 'firefox',
  executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr',
  headless: true,
  // As long as Selenium gives a page to load, for a busy machine; a browser
  // that is gone still fails at once.
  timeout: 300000,
  protocolTimeout: 300000,
  defaultViewport: null,
  args: ['--width=1400', '--height=1000'],
  extraPrefsFirefox: {
    // "Save the run" lands in the test's folder without asking.
    'browser.download.dir': process.argv[2],
    'browser.download.folderList': 2,
    'browser.download.useDownloadDir': true,
    'browser.download.always_ask_before_handling_new_types': false,
    'browser.download.alwaysOpenPanel': false,
  },
});
const page = (await browser.pages())[0] || await browser.newPage();
page.setDefaultTimeout(300000);
const logs = [];
const levels = {error: 'SEVERE', warn: 'WARNING'};
page.on('console', m => logs.push({level: levels[m.type()] || 'INFO', message: m.text()}));
page.on('pageerror', e => logs.push({level: 'SEVERE', message: String(e)}));

const ops = {
  get: url => page.goto(url, {waitUntil: 'load'}).then(() => null),
  init: source => page.evaluateOnNewDocument(source).then(() => null),
  // A script body as Selenium runs one: its arguments in `arguments`, a
  // promise it returns waited for.
  js: (body, args) => page.evaluate((b, a) => Function(b).apply(null, a), body, args),
  down: key => page.keyboard.down(key),
  up: key => page.keyboard.up(key),
  click: sel => page.click(sel),
  pick: (sel, path) => page.$(sel).then(e => e.uploadFile(path)),
  shot: path => page.screenshot({path}).then(() => null),
  logs: () => logs.splice(0),
};

const lines = readline.createInterface({input: process.stdin});
for await (const line of lines) {
  const [op, ...args] = JSON.parse(line);
  if (op === 'quit') break;
  let answer;
  try {
    const value = await ops[op](...args);
    answer = {value: value === undefined ? null : value};
  } catch (e) {
    answer = {error: String(e && e.message || e)};
  }
  process.stdout.write(JSON.stringify(answer) + '\n');
}
await browser.close();
