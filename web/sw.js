// bitrot's service worker: keeps every file of the page, the music included,
// so that after one visit the game plays with no network at all. The cache is
// named after the build's content (the build writes the name below), so a new
// build fills a new cache, and the old one is deleted as soon as the new
// worker takes over: a page never mixes the files of two builds.
'use strict';

const cache = 'bitrot-@BUILD@';
const files = [@FILES_QUOTED@];

self.addEventListener('install', function (e) {
  // Asked of the server afresh, not of the browser's HTTP cache, which could
  // still hold a file of the build before.
  e.waitUntil(caches.open(cache)
    .then(c => c.addAll(files.map(f => new Request(f, {cache: 'no-cache'}))))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', function (e) {
  e.waitUntil(caches.keys()
    .then(keys => Promise.all(keys.filter(k => k.startsWith('bitrot-') && k !== cache).map(k => caches.delete(k))))
    .then(() => self.clients.claim()));
});

// From the cache, and from the network only what the cache does not hold. The
// page itself is found whatever its query (?seed=N).
self.addEventListener('fetch', function (e) {
  if (e.request.method !== 'GET') return;
  e.respondWith(caches.open(cache)
    .then(c => c.match(e.request, {ignoreSearch: e.request.mode === 'navigate'}))
    .then(r => r || fetch(e.request)));
});
