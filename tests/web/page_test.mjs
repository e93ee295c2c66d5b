// The show's page in headless Chromium, served by Python's http.server as
// scripts/web.sh serves it: the frames drawn in the browser hash as the
// desktop build's, the page plays the show with its music, Escape ends it,
// it can be watched again, and a browser without WebAssembly or Web Audio is
// told so. Screenshots land in $WEB_SCREENSHOTS when set.
//
// usage: node --test page_test.mjs, with WEB_URL (where build-web/ is
// served), NATIVE_HASHES (demo-capture --fps 2 --hashes) and NATIVE_PICTURE
// (demo-capture --fps 10 --frame F --at-seconds 60) in the environment;
// tests/web/run.sh sets them.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const address = process.env.WEB_URL;
const nativeHashes = process.env.NATIVE_HASHES;
const nativePicture = process.env.NATIVE_PICTURE;
const screenshots = process.env.WEB_SCREENSHOTS || '';
let browser;

before(async () => {
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    userDataDir: fs.mkdtempSync(path.join(os.tmpdir(), 'jubra-chromium-')),
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--no-first-run', '--window-size=1280,720'],
    defaultViewport: { width: 1280, height: 720 },
  });
});

after(async () => {
  if (browser) await browser.close();
});

async function open(query = '', prepare) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  if (prepare) await page.evaluateOnNewDocument(prepare);
  await page.goto(address + 'index.html' + query);
  return { page, errors };
}

async function shoot(page, name) {
  if (screenshots) await page.screenshot({ path: path.join(screenshots, name + '.png') });
}

// A cheap fingerprint of the canvas: a sum over a grid of its pixels.
function canvasFingerprint(page) {
  return page.$eval('#screen', (canvas) => {
    const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
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
    const screen = document.getElementById('screen');
    const got = screen.getContext('2d').getImageData(0, 0, screen.width, screen.height).data;
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

test('the page plays the show with its music, Escape ends it and it plays again', async () => {
  const { page, errors } = await open();
  await page.waitForSelector('#play:not([disabled])', { timeout: 60000 });
  await shoot(page, 'start');
  assert.ok(await page.evaluate(() => window.showPage.music.duration) >= 130, 'the music lasts 130 s or more');

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

  await page.keyboard.press('Escape');
  await page.waitForSelector('#end:not([hidden])', { timeout: 5000 });
  const framesAtEnd = await frameCount(page);
  assert.ok(await lastT(page) < 100, 'the show ended early, on Escape');
  await new Promise((done) => setTimeout(done, 300));
  assert.equal(await frameCount(page), framesAtEnd, 'no frames after the end');
  assert.equal(await page.evaluate(() => window.showPage.player.source), null, 'the music stopped');
  await shoot(page, 'end');

  await page.waitForFunction(() => window.showPage.next !== null, { timeout: 20000 });
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
  await page.waitForSelector('#play:not([disabled])', { timeout: 60000 });
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => window.showPage.frames.length > 10, { timeout: 20000 });
  assert.ok(await lastT(page) > 560, 'the show began at 112 s');
  await page.keyboard.press('Space');
  await new Promise((done) => setTimeout(done, 300));
  const held = { t: await lastT(page), music: await page.evaluate(() => window.showPage.player.positionMs()) };
  await new Promise((done) => setTimeout(done, 700));
  assert.equal(await lastT(page), held.t, 'the picture stands still');
  assert.equal(await page.evaluate(() => window.showPage.player.positionMs()), held.music, 'the music stands still');
  assert.ok(Math.abs(held.music - held.t * 200) < 500, `music at ${held.music} ms with the show at t ${held.t}`);
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
