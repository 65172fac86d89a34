// node pack.js PROGRAM_JS INDEX_HTML SOURCE_DIR SITE_DIR
// The site's first download made small, since a player waits for all of it:
// emscripten's runtime and the page's own scripts minified by Debian's terser
// (node-terser), and the page's scripts, in the order index.html names them,
// put into one script inside index.html, its style sheet beside them, so the
// page makes no round trip for them and lays itself out (the screen's scale,
// the touch pad) before it is first drawn: a style sheet still on its way
// would let the browser draw the page once before the scripts run. The runtime's unload listener is left out: it would push a
// quit event that nothing reads as the page goes, and it keeps the page out
// of the browser's back/forward cache.
'use strict';
const fs = require('fs');
const path = require('path');
const {minify} = require('terser');

const [program, index, sources, site] = process.argv.slice(2);

function fail(why) {
  console.error('pack.js: ' + why);
  process.exit(1);
}

async function small(code, name) {
  const out = await minify(code, {ecma: 2020, compress: {passes: 2}, mangle: true, format: {comments: false}});
  if (!out.code) fail(name + ': terser gave nothing');
  return out.code;
}

(async function () {
  let runtime = fs.readFileSync(program, 'utf8');
  const unload = /window\.addEventListener\(\s*["']unload["']\s*,\s*SDL\.receiveEvent\s*\)\s*;?/g;
  const found = runtime.match(unload) || [];
  if (found.length !== 1) fail(`${program}: ${found.length} unload listeners where one was looked for`);
  runtime = runtime.replace(unload, '');
  fs.writeFileSync(path.join(site, 'bitrot.js'), await small(runtime, program));

  let html = fs.readFileSync(index, 'utf8');
  const tag = /<script src="([a-z]+\.js)"><\/script>\n?/g;
  const names = [...html.matchAll(tag)].map(m => m[1]);
  if (!names.length) fail(index + ': no scripts');
  const code = names.map(n => fs.readFileSync(path.join(sources, n), 'utf8')).join('\n');
  const script = (await small(code, names.join(', '))).replace(/<\/script/gi, '<\\/script');
  const sheet = /<link rel="stylesheet" href="([a-z]+\.css)">/;
  const css = html.match(sheet);
  if (!css) fail(index + ': no style sheet');
  const style = fs.readFileSync(path.join(sources, css[1]), 'utf8')
    .replace(/\/\*[^]*?\*\//g, '').replace(/\n\s*/g, '\n').replace(/\n+/g, '\n').trim();
  html = html.replace(sheet, () => '<style>\n' + style + '\n</style>');
  let first = true;
  html = html.replace(tag, () => (first ? (first = false, '<script>' + script + '</script>\n') : ''));
  fs.writeFileSync(path.join(site, 'index.html'), html);
})().catch(e => fail(e.message));
