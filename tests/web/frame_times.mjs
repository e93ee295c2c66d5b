// The show's frame times inside headless Chromium: the page's capture hook
// draws the whole show at 60 frames a second of show time on the virtual
// clock, timing each frame's drawing with performance.now(), and this prints
// the table demo-capture prints for the desktop build. performance.now()
// counts wall time, which a busy machine stretches wherever the page is not
// running, so the show is drawn RUNS times (default 3) and each frame keeps
// its shortest time. A measurement, not a test: run it by hand
// (tests/web/run.sh --frame-times) beside
//   build/tools/capture/demo-capture --data build --quiet
//
// usage: node frame_times.mjs, with WEB_URL (where build-web/ is served) in
// the environment.
import { launchChromium } from './chromium.mjs';

async function drawShow(browser) {
  const page = await browser.newPage();
  await page.goto(process.env.WEB_URL + 'index.html?capture=60');
  await page.waitForSelector('body[data-captured=yes]', { timeout: 600000 });
  const lines = (await page.$eval('#output', (e) => e.textContent)).trim().split('\n');
  await page.close();
  return lines;
}

const browser = await launchChromium();
const runs = [];
for (let run = 0; run < (Number(process.env.RUNS) || 3); ++run) runs.push(await drawShow(browser));
await browser.close();
const lines = runs[0].map((line, n) => {
  const fields = line.split(' ');
  fields[9] = String(Math.min(...runs.map((r) => Number(r[n].split(' ')[9]))));
  return fields.join(' ');
});

// Each line: frame N ms MS t T hash H took MS in SCENE NAME
const groups = new Map();
for (const line of lines) {
  const fields = line.split(' ');
  const scene = fields.slice(11).join(' ');
  if (!groups.has(scene)) groups.set(scene, []);
  groups.get(scene).push({ t: Number(fields[5]), ms: Number(fields[9]) });
}
const median = (values) => {
  const s = [...values].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};
console.log(`shortest of ${runs.length} runs per frame`);
console.log('window    frames   min ms  median ms   max ms   slowest frame at t');
let slowest = { t: 0, ms: 0 };
for (const [name, frames] of groups) {
  const ms = frames.map((f) => f.ms);
  const worst = frames.reduce((a, b) => (b.ms > a.ms ? b : a));
  if (worst.ms > slowest.ms) slowest = worst;
  console.log(`${name.padEnd(8)} ${String(frames.length).padStart(7)} ${Math.min(...ms).toFixed(2).padStart(8)} ` +
              `${median(ms).toFixed(2).padStart(10)} ${worst.ms.toFixed(2).padStart(8)}   ${worst.t.toFixed(2)}`);
}
console.log(`${lines.length} frames; slowest frame ${slowest.ms.toFixed(2)} ms at t ${slowest.t.toFixed(2)}`);
