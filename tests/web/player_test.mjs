// The page as a player, on the bundle that scripts/web.sh --bundle makes and
// scripts/serve.py serves: compressed, cached and cross-origin isolated
// responses and the manifest; the on-screen controls by mouse and keyboard,
// mute, seeking, the address following the show, Media Session, fullscreen
// and Escape; touch on a phone; playing offline through the service worker.
// Screenshots land in $WEB_SCREENSHOTS when set.
//
// usage: node --test player_test.mjs, with WEB_URL (where the bundle is served).
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import http from 'node:http';
import path from 'node:path';
import { launchChromium } from './chromium.mjs';

const address = process.env.WEB_URL;
const screenshots = process.env.WEB_SCREENSHOTS || '';
let browser;

before(async () => {
  browser = await launchChromium();
});

after(async () => {
  if (browser) await browser.close();
});

async function open(query = '', { viewport, prepare, context } = {}) {
  const page = await (context || browser).newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  if (viewport) await page.setViewport(viewport);
  if (prepare) await page.evaluateOnNewDocument(prepare);
  await page.goto(address + query);
  return { page, errors };
}

async function shoot(page, name) {
  if (screenshots) await page.screenshot({ path: path.join(screenshots, name + '.png') });
}

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
const showSeconds = (page) => page.evaluate(() => { const f = window.showPage.frames; return f.length ? f.at(-1)[0] / 5 : 0; });
const startAt = (page) => page.evaluate(() => new URL(location.href).searchParams.get('start'));
const idle = (page) => page.$eval('#stage', (stage) => stage.classList.contains('idle'));

async function playFrom(page) {
  await page.waitForSelector('#play:not([disabled])', { timeout: 60000 });
  await page.click('#play');
  await page.waitForFunction(() => window.showPage.frames.length > 10, { timeout: 20000 });
}

// Two taps 120 ms apart, as the finger made them: the touch events carry
// their own times, so a busy page hears them as a double-tap however late.
async function doubleTap(page, x, y) {
  const session = await page.createCDPSession();
  const at = Date.now() / 1000;
  const touch = (type, seconds) => session.send('Input.dispatchTouchEvent', {
    type, timestamp: at + seconds, touchPoints: type === 'touchEnd' ? [] : [{ x, y }] });
  await Promise.all([touch('touchStart', 0), touch('touchEnd', 0.04), touch('touchStart', 0.12), touch('touchEnd', 0.16)]);
  await session.detach();
}

// The controls brought back by a tap once they have hidden, so that the taps
// on them that follow fall well inside their 3 s before hiding again (shown
// already, they might hide between a look and the tap). The pause after the
// tap is longer than the browser's double-tap time, which would otherwise
// take the next tap (on a control) as the second of a pair and send no click.
async function controlsByTap(page, { x, y }) {
  await page.waitForFunction(() => document.getElementById('stage').classList.contains('idle'), { timeout: 8000 });
  await page.touchscreen.tap(x, y);
  await sleep(600);
  assert.equal(await idle(page), false);
}

function get(url, encodings) {
  return new Promise((resolve, reject) => {
    http.get(url, { headers: { 'Accept-Encoding': encodings } }, (response) => {
      const chunks = [];
      response.on('data', (chunk) => chunks.push(chunk));
      response.on('end', () => resolve({ headers: response.headers, status: response.statusCode, body: Buffer.concat(chunks) }));
    }).on('error', reject);
  });
}

test('the bundle is served compressed, cached by content name and cross-origin isolated, with its manifest', async () => {
  const page = await get(address, 'gzip, br');
  assert.equal(page.status, 200);
  assert.equal(page.headers['content-encoding'], 'br');
  assert.equal(page.headers['cache-control'], 'no-cache');
  assert.equal(page.headers['cross-origin-opener-policy'], 'same-origin');
  assert.equal(page.headers['cross-origin-embedder-policy'], 'require-corp');
  const html = (await get(address, 'identity')).body.toString();
  const wasm = html.match(/"show\.wasm": "(show\.[0-9a-f]{12}\.wasm)"/)[1];
  const plain = await get(address + wasm, 'identity');
  assert.equal(plain.headers['content-encoding'], undefined);
  assert.equal(plain.headers['cache-control'], 'public, max-age=31536000, immutable');
  assert.equal(plain.headers['content-type'], 'application/wasm');
  for (const encoding of ['br', 'gzip']) {
    const packed = await get(address + wasm, encoding);
    assert.equal(packed.headers['content-encoding'], encoding);
    assert.ok(packed.body.length < plain.body.length / 2, `${encoding}: ${packed.body.length} of ${plain.body.length} bytes`);
  }
  for (const name of ['favicon.png', 'icon-192.png', 'icon-512.png', 'preview.png', 'robots.txt', 'sw.js'])
    assert.equal((await get(address + name, 'gzip')).status, 200, name);

  const { page: tab, errors } = await open();
  await tab.waitForSelector('#play:not([disabled])', { timeout: 60000 });
  const facts = await tab.evaluate(async () => {
    const manifest = await (await fetch(document.querySelector('link[rel=manifest]').href)).json();
    await navigator.serviceWorker.ready;
    return { isolated: window.crossOriginIsolated, manifest,
             description: document.querySelector('meta[name=description]').content };
  });
  assert.equal(facts.isolated, true);
  assert.equal(facts.manifest.display, 'fullscreen');
  assert.ok(facts.manifest.icons.some((icon) => icon.sizes === '512x512'));
  assert.ok(facts.description.length > 50);
  const installable = await tab.evaluate(async () => !!navigator.serviceWorker.controller ||
    new Promise((done) => navigator.serviceWorker.addEventListener('controllerchange', () => done(true))));
  assert.equal(installable, true, 'the service worker controls the page');
  const session = await tab.createCDPSession();
  const manifest = await session.send('Page.getAppManifest');
  assert.deepEqual(manifest.errors, [], 'the browser parses the manifest without errors');
  assert.deepEqual(errors, []);
  await tab.close();
});

test('the controls play, pause, mute, seek, share, go fullscreen and end the show; they hide when idle', async () => {
  const { page, errors } = await open('', {
    // Media Session's handlers cannot be read back: keep a note of them.
    prepare: () => {
      window.mediaActions = [];
      const set = navigator.mediaSession.setActionHandler.bind(navigator.mediaSession);
      navigator.mediaSession.setActionHandler = (action, handler) => { window.mediaActions.push(action); set(action, handler); };
    },
  });
  await playFrom(page);
  assert.equal(await idle(page), false, 'the controls show as the show starts');
  await shoot(page, 'laptop-controls');
  const actions = await page.evaluate(() => window.mediaActions);
  for (const action of ['play', 'pause', 'seekbackward', 'seekforward', 'seekto'])
    assert.ok(actions.includes(action), `Media Session ${action}`);
  assert.equal(await page.evaluate(() => navigator.mediaSession.metadata.title), 'JUBRA');
  await page.waitForFunction(() => document.getElementById('stage').classList.contains('idle'), { timeout: 8000 });
  await page.waitForFunction(() => getComputedStyle(document.getElementById('controls')).visibility === 'hidden',
                             { timeout: 3000 });
  await page.mouse.move(400, 300);
  assert.equal(await idle(page), false, 'a mouse move shows the controls');

  // Pause by the button: the paused sign shows and the address follows the show.
  await page.click('#toggle');
  await page.waitForSelector('#stage.paused #paused-sign', { visible: true, timeout: 3000 });
  assert.equal(await page.$eval('#toggle', (e) => e.getAttribute('aria-label')), 'Play');
  assert.equal(await page.evaluate(() => navigator.mediaSession.playbackState), 'paused');
  const held = await showSeconds(page);
  assert.ok(Math.abs(Number(await startAt(page)) - held) < 0.3, `?start=${await startAt(page)} with the show at ${held} s`);
  await sleep(3500);
  assert.equal(await idle(page), false, 'paused, the controls stay');
  await shoot(page, 'laptop-paused');

  // The seek bar moves the show (by replay) and the address with it; paused, it stays paused.
  await page.$eval('#seek', (bar) => {
    bar.value = 80;
    bar.dispatchEvent(new Event('input', { bubbles: true }));
    bar.dispatchEvent(new Event('change', { bubbles: true }));
  });
  await page.waitForFunction(() => Math.abs(window.showPage.frames.at(-1)[0] / 5 - 80) < 0.5, { timeout: 5000 });
  await page.waitForFunction(() => new URL(location.href).searchParams.get('start')?.startsWith('80'), { timeout: 3000 });
  assert.equal(await page.evaluate(() => window.showPage.paused()), true);
  await page.click('#link');
  await page.waitForSelector('#said:not([hidden])', { timeout: 3000 });
  assert.match(await page.evaluate(() => window.showPage.lastLink), /[?&]start=80(\.\d)?$/);

  // Keys: Space resumes, M mutes and unmutes, Tab reaches the buttons with a visible ring.
  await page.keyboard.press('Space');
  await page.waitForFunction(() => !window.showPage.paused(), { timeout: 3000 });
  await page.keyboard.press('m');
  assert.equal(await page.evaluate(() => window.showPage.musicOut.gain.value), 0);
  assert.equal(await page.$eval('#mute', (e) => e.getAttribute('aria-label')), 'Unmute');
  await page.keyboard.press('m');
  assert.equal(await page.evaluate(() => window.showPage.musicOut.gain.value), 1);
  const reached = [];
  for (let i = 0; i < 8; ++i) {
    await page.keyboard.press('Tab');
    reached.push(await page.evaluate(() => {
      const e = document.activeElement;
      return `${e.id}:${e.getAttribute('aria-label')}:${getComputedStyle(e).outlineStyle}`;
    }));
  }
  for (const control of ['toggle:Pause', 'seek:Show position', 'mute:Mute', 'volume:Volume', 'link:Copy a link to this moment',
                         'fullscreen:Fullscreen', 'quit:End the show'])
    assert.ok(reached.some((entry) => entry.startsWith(control + ':solid')), `${control} reached by Tab with a ring: ${reached}`);
  await shoot(page, 'laptop-focus');

  // Fullscreen: Escape leaves it and the show goes on; Escape again ends the show.
  await page.click('#fullscreen');
  await page.waitForFunction(() => document.fullscreenElement?.id === 'stage', { timeout: 3000 });
  assert.equal(await page.$eval('#fullscreen', (e) => e.getAttribute('aria-label')), 'Leave fullscreen');
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => !document.fullscreenElement, { timeout: 3000 });
  await sleep(600);
  assert.equal(await page.$eval('#end', (e) => e.hidden), true, 'Escape in fullscreen does not end the show');
  const going = await showSeconds(page);
  await page.waitForFunction((s) => window.showPage.frames.at(-1)[0] / 5 > s + 0.5, { timeout: 5000 }, going);

  // At 4K the canvas is scaled 2.4 times: hard pixel edges; at 1280x720 smoothed.
  assert.equal(await page.$eval('#screen', (e) => getComputedStyle(e).imageRendering), 'auto');
  await page.setViewport({ width: 3840, height: 2160 });
  await page.waitForFunction(() => getComputedStyle(document.getElementById('screen')).imageRendering === 'pixelated',
                             { timeout: 3000 });
  await page.setViewport({ width: 1280, height: 720 });

  await page.mouse.move(600, 300);
  await page.click('#quit');
  await page.waitForSelector('#end:not([hidden])', { timeout: 5000 });
  assert.equal(await startAt(page), null, 'the address forgets the moment at the end');
  assert.deepEqual(errors, []);
  await page.close();
});

test('on a phone: turn prompt, tap for the controls, double-tap jumps, the seek bar drags, the show fills the window', async () => {
  const phone = { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true };
  const { page, errors } = await open('?start=30', {
    viewport: phone,
    prepare: () => { delete Element.prototype.requestFullscreen; },  // as on an iPhone
  });
  await playFrom(page);
  assert.ok(await showSeconds(page) >= 30, 'the show begins at ?start=30');
  assert.equal(await page.$eval('#turn', (e) => getComputedStyle(e).display), 'block', 'upright: the prompt to turn');
  await shoot(page, 'phone-portrait');
  const middle = { x: 195, y: 422 };
  await page.waitForFunction(() => document.getElementById('stage').classList.contains('idle'), { timeout: 8000 });
  await page.touchscreen.tap(middle.x, middle.y);
  assert.equal(await idle(page), false, 'a tap shows the controls');
  await page.touchscreen.tap(middle.x, middle.y);
  await sleep(400);
  assert.equal(await idle(page), true, 'a second tap hides them');

  const before = await showSeconds(page);
  await doubleTap(page, 350, middle.y);
  await page.waitForFunction((s) => window.showPage.frames.at(-1)[0] / 5 >= s + 5, { timeout: 3000 }, before);
  const after = await showSeconds(page);
  await doubleTap(page, 40, middle.y);
  await page.waitForFunction((s) => window.showPage.frames.at(-1)[0] / 5 < s - 3, { timeout: 3000 }, after);

  // Dragging the seek bar's thumb to the right end of the bar moves the show near the end.
  await controlsByTap(page, middle);
  const bar = await page.$eval('#seek', (e) => { const r = e.getBoundingClientRect(); return { x: r.x, y: r.y + r.height / 2, w: r.width }; });
  const value = await page.$eval('#seek', (e) => Number(e.value));
  const thumb = bar.x + bar.w * value / 126;
  await page.touchscreen.touchStart(thumb, bar.y);
  for (let i = 1; i <= 5; ++i) await page.touchscreen.touchMove(thumb + (bar.x + bar.w * 0.9 - thumb) * i / 5, bar.y);
  await page.touchscreen.touchEnd();
  await page.waitForFunction(() => window.showPage.frames.at(-1)[0] / 5 > 105, { timeout: 5000 });

  // No element fullscreen: the show takes the window; Escape gives it back.
  await controlsByTap(page, middle);
  await page.tap('#fullscreen');
  await page.waitForFunction(() => document.body.classList.contains('filled'), { timeout: 3000 });
  assert.equal(await page.$eval('#turn', (e) => getComputedStyle(e).display), 'none');
  await page.keyboard.press('Escape');
  assert.equal(await page.evaluate(() => document.body.classList.contains('filled')), false);
  assert.equal(await page.$eval('#end', (e) => e.hidden), true);

  await page.setViewport({ ...phone, width: 844, height: 390 });
  assert.equal(await page.$eval('#turn', (e) => getComputedStyle(e).display), 'none', 'sideways: no prompt');
  await page.touchscreen.tap(422, 195);
  await shoot(page, 'phone-landscape');
  assert.deepEqual(errors, []);
  await page.close();
});

test('on a phone held sideways the start screen fits, its loading bar whole', async () => {
  const { page, errors } = await open('', {
    viewport: { width: 844, height: 390, deviceScaleFactor: 3, isMobile: true, hasTouch: true },
  });
  const parts = await page.$$eval('#start > *:not([hidden])', (all) => all.map((e) => {
    const r = e.getBoundingClientRect();
    return { id: e.id || e.tagName, top: r.top, bottom: r.bottom, height: r.height };
  }));
  for (const part of parts) {
    assert.ok(part.top >= 0 && part.bottom <= 390, `${part.id} in view: ${part.top} to ${part.bottom}`);
  }
  assert.ok(parts.find((p) => p.id === 'bar').height >= 8, 'the loading bar keeps its height');
  assert.deepEqual(errors, []);
  await page.close();
});

test('after a first visit the show plays offline, from the service worker', async () => {
  const context = await browser.createBrowserContext();
  const first = await open('', { context });
  await first.page.waitForSelector('#play:not([disabled])', { timeout: 60000 });
  await first.page.evaluate(async () => {
    await navigator.serviceWorker.ready;
    if (!navigator.serviceWorker.controller)
      await new Promise((done) => navigator.serviceWorker.addEventListener('controllerchange', done));
  });
  await first.page.setOfflineMode(true);
  await first.page.reload();
  await playFrom(first.page);
  const fromWorker = await first.page.evaluate(() => performance.getEntriesByType('resource')
    .filter((entry) => /\.(wasm|png|mp3)$/.test(entry.name)).every((entry) => entry.workerStart > 0));
  assert.equal(fromWorker, true, 'every file came through the service worker');
  assert.deepEqual(first.errors, []);
  await first.page.close();
  await context.close();
});
