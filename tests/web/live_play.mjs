// Live play measured inside headless Chromium, as a viewer gets it: the time
// from navigation to Play (cold cache, on this machine and at an emulated
// 10 Mbit/s), then the show played from START seconds (default 0) for
// SECONDS (default the whole show) at CPU throttling 1x and 4x (a stand-in
// for a phone): each step's milliseconds in the show's worker (median, 99th
// percentile, steps over 16.7 ms after the first second), the page's
// animation-frame gaps over 20 ms, the longest tasks of the page's thread in
// five seconds of play (traced), the show's clock against the music's read
// every second, the picture against the music as each frame is put on the
// canvas, and the memory of the show and of the page's JavaScript. A
// measurement, not a test: run it by hand (tests/web/run.sh --live,
// THREADS=0 for the one-thread build) on a machine as quiet as can be.
//
// usage: node live_play.mjs, with WEB_URL (where build-web/ is served) in the
// environment.
import os from 'node:os';
import { launchChromium } from './chromium.mjs';

const address = process.env.WEB_URL;
const start = Number(process.env.START || 0);
const seconds = Number(process.env.SECONDS || 126 - start);
const oneThread = process.env.THREADS === '0';


async function open(browser, query, network) {
  const page = await browser.newPage();
  if (oneThread) await page.evaluateOnNewDocument(() => Object.defineProperty(window, 'crossOriginIsolated', { value: false }));
  if (network) await page.emulateNetworkConditions(network);
  await page.goto(address + 'index.html' + query);
  await page.waitForSelector('#play:not([disabled])', { timeout: 120000 });
  return page;
}

// Navigation to Play offered, in a fresh browser (nothing cached).
async function startUp(network) {
  const browser = await launchChromium();
  const page = await open(browser, '', network);
  const ms = await page.evaluate(() => window.showPage.readyMs);
  await browser.close();
  return ms;
}

const median = (values) => {
  const s = [...values].sort((a, b) => a - b);
  return s.length ? s[Math.floor((s.length - 1) / 2)] : NaN;
};
const percentile = (values, p) => {
  const s = [...values].sort((a, b) => a - b);
  return s.length ? s[Math.min(s.length - 1, Math.floor(s.length * p))] : NaN;
};

async function play(throttle) {
  const browser = await launchChromium();
  const page = await open(browser, `?start=${start}`);
  const client = await page.createCDPSession();
  await client.send('Emulation.setCPUThrottlingRate', { rate: throttle });
  await page.evaluate(() => {
    window.gaps = [];
    let last = 0;
    const watch = (now) => { if (last) window.gaps.push(now - last); last = now; requestAnimationFrame(watch); };
    requestAnimationFrame(watch);
  });
  await page.keyboard.press('Enter');
  const drifts = [];
  const began = Date.now();
  let tasks = [];
  while (Date.now() - began < seconds * 1000) {
    const tracing = drifts.length === 3;
    if (tracing) await page.tracing.start({ categories: ['toplevel'] });
    await new Promise((done) => setTimeout(done, tracing ? 5000 : 1000));
    if (tracing) tasks = mainThreadTasks(JSON.parse(Buffer.from(await page.tracing.stop()).toString()));
    const c = await page.evaluate(() => window.showPage.playing && window.showPage.clocks());
    if (!c) break;
    if (c.heard !== null) drifts.push(c.show - c.heard);
  }
  const result = await page.evaluate(() => {
    const frames = window.showPage.frames;
    const first = frames.length ? frames[0][2] : 0;
    return {
      steps: frames.map((f) => f[1]),
      late: frames.filter((f) => f[2] - first > 1000).map((f) => f[1]),
      apart: frames.filter((f) => f[2] - first > 1000 && f[3] !== null).map((f) => f[3]),
      gaps: window.gaps.filter((g) => g > 20).length,
      threads: window.showPage.threads,
      build: window.showPage.build,
      wasmMB: window.showPage.memoryBytes / 1048576,
      resyncs: window.showPage.resyncs,
    };
  });
  const metrics = await page.metrics();
  await browser.close();
  return { ...result, tasks, drifts: drifts.slice(1), jsMB: metrics.JSHeapTotalSize / 1048576 };
}

// The durations of the tasks run by the page's thread (the renderer's main
// thread) in a trace, longest first.
function mainThreadTasks(trace) {
  const main = new Set(trace.traceEvents.filter((e) => e.name === 'thread_name' && e.args.name === 'CrRendererMain')
    .map((e) => `${e.pid}:${e.tid}`));
  return trace.traceEvents.filter((e) => e.ph === 'X' && e.name === 'ThreadControllerImpl::RunTask' && main.has(`${e.pid}:${e.tid}`))
    .map((e) => e.dur / 1000).sort((a, b) => b - a);
}

const f = (x) => x.toFixed(2);
console.log(`load average ${os.loadavg().map(f).join(' ')}; ${os.cpus().length} cores`);
console.log(`start-up, navigation to Play: cold ${f(await startUp())} ms, ` +
            `10 Mbit/s ${f(await startUp({ download: 10e6 / 8, upload: 10e6 / 8, latency: 20 }))} ms`);
for (const throttle of [1, 4]) {
  const r = await play(throttle);
  console.log(`CPU ${throttle}x, ${r.build} on ${r.threads} thread(s), ${r.steps.length} steps from ${start} s: ` +
              `median ${f(median(r.steps))} ms, p99 ${f(percentile(r.steps, 0.99))} ms, ` +
              `over 16.7 ms after the first second ${r.late.filter((ms) => ms > 16.7).length}, ` +
              `animation-frame gaps over 20 ms ${r.gaps}; the page's thread in 5 s: ${r.tasks.length} tasks, the longest ` +
              `${r.tasks.slice(0, 5).map(f).join(', ')} ms, blocking ${f(r.tasks.reduce((sum, ms) => sum + Math.max(0, ms - 50), 0))} ms; ` +
              `show's clock minus music ${f(Math.min(...r.drifts))} to ` +
              `${f(Math.max(...r.drifts))} ms (${r.drifts.length} readings, ${r.resyncs} re-syncs); ` +
              `picture minus music as each frame is shown ${f(Math.min(...r.apart))}, p1 ${f(percentile(r.apart, 0.01))}, ` +
              `median ${f(median(r.apart))}, p99 ${f(percentile(r.apart, 0.99))}, ${f(Math.max(...r.apart))} ms ` +
              `(${r.apart.length} frames, ${r.apart.filter((ms) => Math.abs(ms) > 20).length} beyond 20 ms); ` +
              `memory: WebAssembly ${f(r.wasmMB)} MB, JavaScript heap ${f(r.jsMB)} MB`);
}
