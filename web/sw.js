// The bundle's service worker: keeps every file of the show so that it plays
// offline after a first visit. The page itself is asked of the network first
// (a new bundle shows at once) and taken from the copy when offline; the
// content-named files never change, so the copy answers for them.
// scripts/bundle.py writes the version and the file list.
'use strict';
const version = 'jubra-%VERSION%';
const files = %FILES%;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(version).then((cache) => cache.addAll(files)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((name) => name !== version).map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

async function pageFirstFromNetwork(request) {
  try {
    const response = await fetch(request);
    if (response.ok) (await caches.open(version)).put('./', response.clone());
    return response;
  } catch (error) {
    const kept = await caches.match('./', { cacheName: version });
    if (kept) return kept;
    throw error;
  }
}

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== location.origin) return;
  if (request.mode === 'navigate') return event.respondWith(pageFirstFromNetwork(request));
  event.respondWith(caches.match(request, { cacheName: version, ignoreSearch: true })
    .then((kept) => kept || fetch(request)));
});
