// Where the live step's time goes: the show played from START seconds
// (default 20) in headless Chromium, and for SECONDS (default 10) the Chrome
// DevTools Protocol's sampling profiler on each of the page's workers (the
// show's worker, its drawing threads, the canvas's worker), then each
// worker's time by function (its own time, not its callees'), in ms per
// frame drawn, with the steps' median and 99th percentile. The functions of
// the WebAssembly have their names in a build linked with them
// (WEB_PROFILING=1 bash scripts/web.sh ...). A measurement, not a test: run
// it by hand (tests/web/run.sh --profile), THREADS=0 for the one-thread
// build, THROTTLE=4 for Chromium's CPU throttling.
//
// usage: node step_profile.mjs, with WEB_URL (where build-web/ is served) in
// the environment.
import os from 'node:os';
import { launchChromium } from './chromium.mjs';

const start = Number(process.env.START || 20);
const seconds = Number(process.env.SECONDS || 10);
const shown = Number(process.env.TOP || 20);

const browser = await launchChromium();
const page = await browser.newPage();
if (process.env.THREADS === '0')
  await page.evaluateOnNewDocument(() => Object.defineProperty(window, 'crossOriginIsolated', { value: false }));
await page.goto(process.env.WEB_URL + `index.html?start=${start}`);
await page.waitForSelector('#play:not([disabled])', { timeout: 120000 });
await (await page.createCDPSession()).send('Emulation.setCPUThrottlingRate', { rate: Number(process.env.THROTTLE || 1) });
await page.keyboard.press('Enter');
await new Promise((done) => setTimeout(done, 1500));
const workers = page.workers();
for (const worker of workers) {
  await worker.client.send('Profiler.enable');
  await worker.client.send('Profiler.setSamplingInterval', { interval: 200 });
}
const before = await page.evaluate(() => window.showPage.frames.length);
for (const worker of workers) await worker.client.send('Profiler.start');
await new Promise((done) => setTimeout(done, seconds * 1000));
const profiles = [];
for (const worker of workers) profiles.push((await worker.client.send('Profiler.stop')).profile);
const steps = await page.evaluate((from) => window.showPage.frames.slice(from).map((f) => f[1]), before);
await browser.close();

const sorted = [...steps].sort((a, b) => a - b);
const at = (p) => sorted[Math.min(sorted.length - 1, Math.floor(sorted.length * p))].toFixed(2);
console.log(`load average ${os.loadavg().map((x) => x.toFixed(2)).join(' ')}; ${steps.length} frames drawn, ` +
            `step median ${at(0.5)} ms, p99 ${at(0.99)} ms`);
profiles.forEach((profile, i) => {
  const nodes = new Map(profile.nodes.map((node) => [node.id, node]));
  const own = new Map();
  let total = 0;
  profile.samples.forEach((id, k) => {
    const frame = nodes.get(id).callFrame;
    const name = frame.functionName || `(${frame.url.split('/').pop() || 'native'})`;
    const ms = profile.timeDeltas[k] / 1000;
    own.set(name, (own.get(name) || 0) + ms);
    total += ms;
  });
  console.log(`${workers[i].url().split('/').pop()}: ${(total / steps.length).toFixed(2)} ms a frame`);
  [...own.entries()].sort((a, b) => b[1] - a[1]).slice(0, shown).forEach(([name, ms]) =>
    console.log(`  ${(ms / steps.length).toFixed(3).padStart(7)} ms ${(100 * ms / total).toFixed(1).padStart(5)}%  ${name}`));
});
