// The show's page in headless Chromium, served by Python's http.server as
// scripts/web.sh serves it: the frames drawn in the browser hash as the
// desktop build's, live play draws demo-capture's frames at their moments
// whatever the refresh rate with picture and music in step, a hidden page
// pauses both, the page plays the show with its music (drawn in a worker of
// its own, which goes on while the page's thread is busy), Escape ends it, it
// can be watched again, bad addresses are told so, and a browser without
// WebAssembly or Web Audio is told so. Screenshots land in $WEB_SCREENSHOTS
// when set.
//
// usage: node --test page_test.mjs, with WEB_URL (where build-web/ is
// served), NATIVE_HASHES (demo-capture --fps 2 --hashes), NATIVE_PICTURE
// (demo-capture --fps 10 --frame F --at-seconds 60) and NATIVE_HASHES_60
// (demo-capture --fps 60 --hashes --until-seconds 26) in the environment;
// tests/web/run.sh sets them.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { launchChromium } from './chromium.mjs';

const address = process.env.WEB_URL;
const nativeHashes = process.env.NATIVE_HASHES;
const nativePicture = process.env.NATIVE_PICTURE;
const nativeHashes60 = process.env.NATIVE_HASHES_60;
const screenshots = process.env.WEB_SCREENSHOTS || '';
let browser;

before(async () => {
  browser = await launchChromium();
});

after(async () => {
  if (browser) await browser.close();
});

async function open(query = '', prepare, within = browser) {
  const page = await within.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  if (prepare) await page.evaluateOnNewDocument(...[prepare].flat());
  await page.goto(address + 'index.html' + query);
  return { page, errors };
}

// Play, pressed by its key once the page offers it; the show has drawn its
// first frames.
async function playByEnter(page) {
  await page.waitForSelector('#play:not([disabled])', { timeout: 60000 });
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => window.showPage.frames.length > 10, { timeout: 20000 });
}

async function shoot(page, name) {
  if (screenshots) await page.screenshot({ path: path.join(screenshots, name + '.png') });
}

// A cheap fingerprint of the canvas: a sum over a grid of its pixels.
function canvasFingerprint(page) {
  return page.evaluate(async () => {
    const pixels = await window.showPage.canvasPixels();
    let sum = 0;
    for (let i = 0; i < pixels.length; i += 4 * 997) sum = (sum * 31 + pixels[i] + pixels[i + 1] * 3 + pixels[i + 2] * 7) % 1e9;
    return sum;
  });
}

const frameCount = (page) => page.evaluate(() => window.showPage.frames.length);
const lastT = (page) => page.evaluate(() => { const f = window.showPage.frames; return f.length ? f[f.length - 1][0] : 0; });

test('every frame at 2 a second hashes as the desktop build draws it', async () => {
  const { page, errors } = await open('?capture=2&hash=1');
  await page.waitForSelector('body[data-captured=yes]', { timeout: 120000 });
  const web = (await page.$eval('#output', (e) => e.textContent)).trim().split('\n')
    .map((line) => line.split(' ').slice(0, 8).join(' '));
  const native = fs.readFileSync(nativeHashes, 'utf8').trim().split('\n').filter((l) => l.startsWith('frame '));
  assert.ok(native.length > 250, `only ${native.length} native frames`);
  assert.deepEqual(web, native);
  assert.deepEqual(errors, []);
  await page.close();
});

test('a page that is not cross-origin isolated draws the same frames on one thread, and plays', async () => {
  const { page, errors } = await open('?capture=2&hash=1&at=20',
    () => Object.defineProperty(window, 'crossOriginIsolated', { value: false }));
  await page.waitForSelector('body[data-captured=yes]', { timeout: 120000 });
  assert.equal(await page.evaluate(() => window.showPage.build), 'show');
  const web = (await page.$eval('#output', (e) => e.textContent)).trim().split('\n')
    .map((line) => line.split(' ').slice(0, 8).join(' '));
  const native = fs.readFileSync(nativeHashes, 'utf8').trim().split('\n').filter((l) => l.startsWith('frame '));
  assert.equal(web.length, 41);
  assert.deepEqual(web, native.slice(0, 41));
  assert.deepEqual(errors, []);
  await page.close();

  // Without OffscreenCanvas too: the show's worker hands each picture to the page.
  const live = await open('', () => {
    Object.defineProperty(window, 'crossOriginIsolated', { value: false });
    delete window.OffscreenCanvas;
  });
  await playByEnter(live.page);
  await live.page.waitForFunction(() => window.showPage.frames.at(-1)[0] > 10, { timeout: 20000 });
  const lit = await live.page.evaluate(async () => (await window.showPage.canvasPixels()).filter((byte, i) => i % 4 === 1 && byte).length);
  assert.ok(lit > 10000, `${lit} pixels lit: the pictures reach the page's canvas`);
  assert.deepEqual(live.errors, [], 'played live on one thread');
  await live.page.close();
});

test('the canvas shows the picture the window presents, trails included', async () => {
  const { page, errors } = await open('?capture=10&at=60&present=1');
  await page.waitForSelector('body[data-captured=yes]', { timeout: 120000 });
  const png = 'data:image/png;base64,' + fs.readFileSync(nativePicture).toString('base64');
  const differing = await page.evaluate(async (url) => {
    const image = new Image();
    image.src = url;
    await image.decode();
    const reference = new OffscreenCanvas(image.width, image.height).getContext('2d');
    reference.drawImage(image, 0, 0);
    const want = reference.getImageData(0, 0, image.width, image.height).data;
    const got = await window.showPage.canvasPixels();
    if (want.length !== got.length) return -1;
    let count = 0;
    for (let i = 0; i < got.length; i += 4)
      if (got[i] !== want[i] || got[i + 1] !== want[i + 1] || got[i + 2] !== want[i + 2]) ++count;
    return count;
  }, png);
  assert.equal(differing, 0, 'pixels that differ from demo-capture\'s presented frame');
  await shoot(page, 'presented-60s');
  assert.deepEqual(errors, []);
  await page.close();
});

// Counts whole-track decodes, which playing must not wait for.
function countDecodes() {
  window.decodedTracks = 0;
  const decode = AudioContext.prototype.decodeAudioData;
  AudioContext.prototype.decodeAudioData = function (...args) {
    ++window.decodedTracks;
    return decode.apply(this, args);
  };
}

test('the page plays the show with its music, Escape ends it and it plays again', async () => {
  const { page, errors } = await open('', countDecodes);
  await page.waitForSelector('#play:not([disabled])', { timeout: 60000 });
  await shoot(page, 'start');
  assert.ok(await page.evaluate(() => window.showPage.player.element.duration) >= 130, 'the music lasts 130 s or more');
  assert.equal(await page.evaluate(() => window.decodedTracks), 0, 'the music is not decoded whole before playing');
  const music = await fetch(await page.evaluate(() => window.showPage.music.currentSrc), { headers: { Range: 'bytes=1000-1999' } });
  const range = [music.status, music.headers.get('Content-Range'), (await music.arrayBuffer()).byteLength];
  assert.match(`${range}`, /^206,bytes 1000-1999\/\d+,1000$/, 'the music streams and seeks by byte ranges');

  await page.keyboard.press('Enter');
  await page.waitForFunction(() => window.showPage.frames.length > 10, { timeout: 20000 });
  assert.equal(await page.evaluate(() => window.showPage.audio.state), 'running');
  assert.equal(await page.$eval('#stage', (e) => e.hidden), false);
  await page.waitForFunction(() => window.showPage.frames.at(-1)[0] > 30, { timeout: 20000 });
  const early = await canvasFingerprint(page);
  await shoot(page, 'intro');
  await page.waitForFunction(() => window.showPage.frames.at(-1)[0] > 60, { timeout: 20000 });
  assert.notEqual(await canvasFingerprint(page), early, 'the canvas changes as the show goes on');
  await shoot(page, 'intro-view');

  // The show runs in a worker of its own: it draws on while the page's thread is busy.
  const busy = await page.evaluate(() => {
    const from = window.showPage.clocks().show;
    const began = performance.now();
    while (performance.now() - began < 400);
    return [from, from + 400];
  });
  await pause(200);
  const drawnWhileBusy = await page.evaluate(([from, to]) =>
    window.showPage.frames.filter((f) => f[2] > from + 50 && f[2] < to - 50).length, busy);
  assert.ok(drawnWhileBusy >= 5, `${drawnWhileBusy} frames drawn in the 300 ms the page's thread was busy`);

  await page.keyboard.press('Escape');
  await page.waitForSelector('#end:not([hidden])', { timeout: 5000 });
  const framesAtEnd = await frameCount(page);
  assert.ok(await lastT(page) < 100, 'the show ended early, on Escape');
  await new Promise((done) => setTimeout(done, 300));
  assert.equal(await frameCount(page), framesAtEnd, 'no frames after the end');
  assert.equal(await page.evaluate(() => window.showPage.player.element.paused), true, 'the music stopped');
  await shoot(page, 'end');

  await page.waitForFunction(() => window.showPage.next, { timeout: 20000 });
  await page.click('#again');
  await page.waitForFunction(() => window.showPage.frames.length > 10, { timeout: 20000 });
  assert.ok(await lastT(page) < 30, 'watching again starts from the beginning');
  await page.keyboard.press('Escape');
  await page.waitForSelector('#end:not([hidden])', { timeout: 5000 });
  assert.deepEqual(errors, []);
  await page.close();
});

test('Space pauses picture and music, Right jumps 5 s on, and the show ends by itself', async () => {
  const { page, errors } = await open('?start=112');
  await playByEnter(page);
  assert.ok(await lastT(page) > 560, 'the show began at 112 s');
  await page.keyboard.press('Space');
  await new Promise((done) => setTimeout(done, 300));
  const held = { t: await lastT(page), music: await page.evaluate(() => window.showPage.player.positionMs()) };
  await new Promise((done) => setTimeout(done, 700));
  assert.equal(await lastT(page), held.t, 'the picture stands still');
  assert.equal(await page.evaluate(() => window.showPage.player.positionMs()), held.music, 'the music stands still');
  const clocks = await page.evaluate(() => window.showPage.clocks());
  assert.ok(Math.abs(clocks.show - clocks.heard) <= 20, `music at ${clocks.heard} ms with the show at ${clocks.show} ms`);
  // The last frame was aimed at the moment it would be seen, up to a frame on.
  assert.ok(held.t * 200 <= clocks.show + 1000 / 60, `the picture at t ${held.t}, not ahead of the show's clock`);
  await page.keyboard.press('Space');
  await page.waitForFunction((t) => window.showPage.frames.at(-1)[0] > t + 1, { timeout: 5000 }, held.t);
  const before = await lastT(page);
  await page.keyboard.press('ArrowRight');
  await page.waitForFunction((t) => window.showPage.frames.at(-1)[0] >= t + 25, { timeout: 3000 }, before);
  await page.waitForSelector('#end:not([hidden])', { timeout: 20000 });
  assert.ok(await lastT(page) > 630, 'the show ran to its end');
  assert.deepEqual(errors, []);
  await page.close();
});

// The show's animation frames at a rate of their own, as on a display of
// that refresh rate: its worker is started by a script that sets them first.
function refreshRate(hz) {
  const Worker = window.Worker;
  window.Worker = function (url) {
    const script = `self.requestAnimationFrame = (callback) => setTimeout(() => callback(performance.now()), ${1000 / hz});` +
                   `importScripts(${JSON.stringify(new URL(url, location.href).href)});`;
    return new Worker(URL.createObjectURL(new Blob([script], { type: 'text/javascript' })));
  };
}

// The frame on screen and both clocks, read between two of the show's animation frames.
const onScreen = (page) => page.evaluate(() => window.showPage.onScreen());

const pause = (ms) => new Promise((done) => setTimeout(done, ms));

test('live, at any refresh rate, frames are demo-capture\'s at their moments, in step with the music', async () => {
  const native = new Map(fs.readFileSync(nativeHashes60, 'utf8').trim().split('\n').filter((l) => l.startsWith('frame '))
    .map((line) => { const f = line.split(' '); return [Number(f[1]), f[7]]; }));
  const unlimited = await launchChromium(['--disable-frame-rate-limit', '--disable-gpu-vsync']);
  for (const hz of [0, 144, 40]) {
    const { page, errors } = await open('?start=21', hz ? [refreshRate, hz] : undefined, unlimited);
    await page.waitForSelector('#play:not([disabled])', { timeout: 60000 });
    await page.keyboard.press('Enter');
    await page.waitForFunction(() => window.showPage.frames.length > 5, { timeout: 20000 });
    const seen = [];
    for (let i = 0; i < 4; ++i) {
      await pause(300);
      seen.push(await onScreen(page));
    }
    for (const { frame, hash, camera, clocks } of seen) {
      assert.ok(native.has(frame), `frame ${frame} within demo-capture's first 26 s`);
      assert.equal(hash, native.get(frame), `frame ${frame} at ${hz || 'unlimited'} Hz, camera ${camera}`);
      assert.ok(Math.abs(clocks.show - clocks.heard) <= 20,
                `picture at ${clocks.show} ms, music heard at ${clocks.heard} ms (${hz || 'unlimited'} Hz)`);
    }
    assert.ok(seen[3].frame - seen[0].frame >= 40, `frames ${seen[0].frame} to ${seen[3].frame} in 0.9 s`);
    assert.ok(seen[3].camera[0] > seen[0].camera[0], 'the camera glides on');
    assert.equal(await page.evaluate(() => window.showPage.build), 'show-threads', 'a cross-origin isolated page');
    assert.ok(await page.evaluate(() => window.showPage.threads === Math.min(navigator.hardwareConcurrency, 256)),
              'one thread per core');
    assert.deepEqual(errors, []);
    await page.close();
  }
  await unlimited.close();
});

test('on a machine too slow for every frame (CPU 4x slower) frames are left out, the picture keeps to the music', async () => {
  const { page, errors } = await open('?start=120');
  await page.waitForSelector('#play:not([disabled])', { timeout: 60000 });
  await page.emulateCPUThrottling(4);
  await page.keyboard.press('Enter');
  await page.waitForSelector('#end:not([hidden])', { timeout: 30000 });
  await page.emulateCPUThrottling(1);
  const { apart, clocks } = await page.evaluate(() => {
    const frames = window.showPage.frames;
    return { apart: frames.filter((f) => f[2] > frames[0][2] + 1000 && f[3] !== null).map((f) => f[3]).sort((a, b) => a - b),
             clocks: window.showPage.clocks() };
  });
  assert.ok(apart.length > 30, `${apart.length} frames shown in step`);
  const within = apart.filter((ms) => Math.abs(ms) <= 20).length;
  assert.ok(Math.abs(apart[apart.length >> 1]) <= 10 && within >= apart.length / 2,
            `picture minus music as each frame is shown: ${apart.map((ms) => ms.toFixed(0)).join(' ')}`);
  assert.ok(Math.abs(clocks.show - clocks.heard) <= 20, `after the end, show ${clocks.show} ms and music ${clocks.heard} ms`);
  assert.deepEqual(errors, []);
  await page.close();
});

test('a hidden page pauses picture and music together and both go on where they were', async () => {
  const { page, errors } = await open('?start=40');
  await playByEnter(page);
  const other = await browser.newPage();
  await other.bringToFront();
  await page.waitForFunction(() => document.hidden, { timeout: 5000 });
  await pause(200);  // the show's worker tells of its last frame
  const state = () => page.evaluate(() => ({
    frames: window.showPage.frames.length,
    drawn: window.showPage.clocks().drawn,
    music: window.showPage.player.element.currentTime,
    playing: !window.showPage.player.element.paused,
  }));
  const hidden = await state();
  assert.equal(hidden.playing, false, 'the music pauses with the picture');
  await pause(1000);
  assert.deepEqual(await state(), hidden, 'nothing moves while hidden');
  await page.bringToFront();
  await page.waitForFunction((n) => window.showPage.frames.length > n + 5, { timeout: 5000 }, hidden.frames);
  const resumedAt = await page.evaluate((n) => window.showPage.frames[n][2], hidden.frames);
  assert.ok(resumedAt > hidden.drawn && resumedAt <= hidden.drawn + 34, `went on at ${resumedAt} ms from ${hidden.drawn}`);
  await pause(500);
  const { clocks } = await onScreen(page);
  assert.ok((await state()).playing, 'the music goes on');
  assert.ok(Math.abs(clocks.show - clocks.heard) <= 20, `picture at ${clocks.show} ms, music at ${clocks.heard} ms`);
  await other.close();
  assert.deepEqual(errors, []);
  await page.close();
});

test('on a server that answers no byte ranges the show starts at ?start= with its music', async () => {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.setRequestInterception(true);
  page.on('request', async (request) => {
    if (!request.url().endsWith('.mp3')) return request.continue();
    const track = Buffer.from(await (await fetch(request.url())).arrayBuffer());
    request.respond({ status: 200, contentType: 'audio/mpeg', body: track });
  });
  await page.goto(address + 'index.html?start=60');
  await playByEnter(page);
  await pause(1000);
  const { clocks } = await onScreen(page);
  assert.ok(clocks.show > 60500 && Math.abs(clocks.show - clocks.heard) <= 20,
            `picture at ${clocks.show} ms, music at ${clocks.heard} ms`);
  assert.deepEqual(errors, []);
  await page.close();
});

test('bad addresses are told so on a page that stays responsive', async () => {
  for (const query of ['?start=abc', '?start=-5', '?start=', '?start=1e9', '?start=126']) {
    const { page, errors } = await open(query);
    await page.waitForSelector('#play:not([disabled])', { timeout: 60000 });
    assert.match(await page.$eval('#warning', (e) => e.hidden ? '' : e.textContent), /not a moment of the show.*from the beginning/, query);
    await page.keyboard.press('Enter');
    await page.waitForFunction(() => window.showPage.frames.length > 3, { timeout: 20000 });
    assert.ok(await lastT(page) < 30, `${query} plays from the beginning`);
    assert.deepEqual(errors, []);
    await page.close();
  }
  for (const query of ['?capture=0', '?capture=1.5', '?capture=2&at=abc']) {
    const { page, errors } = await open(query);
    await page.waitForSelector('#problem:not([hidden])', { timeout: 20000 });
    assert.match(await page.$eval('#problem-text', (e) => e.textContent), /frames a second|seconds from/, query);
    assert.deepEqual(errors, []);
    await page.close();
  }
  // The whole show at 60 frames a second is drawn a few frames at a time.
  const { page } = await open('?capture=60');
  await page.waitForFunction(() => window.showPage.output.length > 30, { timeout: 20000 });
  const answer = await Promise.race([page.evaluate(() => 'answered'), pause(3000).then(() => 'frozen')]);
  assert.equal(answer, 'answered', 'the page answers while it captures');
  await page.close();
});

test('a browser without WebAssembly or Web Audio is told so', async () => {
  const noWasm = await open('', () => { delete window.WebAssembly; });
  await noWasm.page.waitForSelector('#problem:not([hidden])', { timeout: 20000 });
  assert.match(await noWasm.page.$eval('#problem-text', (e) => e.textContent), /cannot run WebAssembly/);
  await noWasm.page.close();

  const noAudio = await open('', () => { delete window.AudioContext; delete window.webkitAudioContext; });
  await noAudio.page.waitForSelector('#play:not([disabled])', { timeout: 60000 });
  assert.match(await noAudio.page.$eval('#warning', (e) => e.textContent), /without its music/);
  await noAudio.page.keyboard.press('Space');
  await noAudio.page.waitForFunction(() => window.showPage.frames.length > 10, { timeout: 20000 });
  await noAudio.page.keyboard.press('Escape');
  await noAudio.page.waitForSelector('#end:not([hidden])', { timeout: 5000 });
  assert.deepEqual(noAudio.errors, []);
  await noAudio.page.close();
});
