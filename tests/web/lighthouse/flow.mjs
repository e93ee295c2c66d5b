// Lighthouse on the served bundle, in Debian's Chromium: the start screen as
// a page load (mobile and desktop settings), then, with desktop settings, the
// show playing for a few seconds with its controls shown (a timespan for the
// blocking time) and a snapshot of that screen. Prints each step's scores,
// with LIGHTHOUSE_TASKS=1 the mobile load's longer tasks of the page's main
// thread, and writes the flow report to $LIGHTHOUSE_REPORT when set.
//
// usage: node flow.mjs URL
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { startFlow, desktopConfig } from 'lighthouse';

const address = process.argv[2];
const args = ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
              '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// Each browser's profile folder goes when the script ends, however it ends.
const profiles = [];
process.on('exit', () => profiles.forEach((dir) => fs.rmSync(dir, { recursive: true, force: true })));

async function browse() {
  profiles.push(fs.mkdtempSync(path.join(os.tmpdir(), 'jubra-lighthouse-')));
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    userDataDir: profiles.at(-1), args, defaultViewport: null,
  });
}

function scores(step) {
  // A snapshot measures no timing: its Performance has nothing weighed.
  const weighed = (category) => category.auditRefs.some((ref) => ref.weight > 0 && step.lhr.audits[ref.id].score !== null);
  const line = Object.values(step.lhr.categories).map((category) =>
    `${category.title} ${category.score === null || !weighed(category) ? '-' : Math.round(category.score * 100)}`);
  const blocking = step.lhr.audits['total-blocking-time'];
  if (blocking && blocking.numericValue !== undefined) line.push(`TBT ${Math.round(blocking.numericValue)} ms`);
  return `${step.name}: ${line.join(', ')}`;
}

// The page's main-thread tasks over 12.5 ms in a load's trace, as run: the
// mobile settings simulate a CPU 4x slower from them, which makes each of
// these a long task, blocking from the simulated first paint on.
function longTasks(trace) {
  const events = trace.traceEvents;
  const start = events.find((e) => e.name === 'navigationStart' && e.args.data?.isLoadingMainFrame &&
                                   e.args.data.documentLoaderURL?.startsWith('http'));
  const main = events.find((e) => e.pid === start.pid && e.name === 'thread_name' && e.args.name === 'CrRendererMain');
  const ran = events.filter((e) => e.pid === main.pid && e.tid === main.tid && e.ph === 'X');
  const ms = (us) => (us / 1000).toFixed(1);
  return ran.filter((task) => task.name === 'RunTask' && task.dur > 12500).map((task) => {
    const inside = ran.filter((e) => e.name !== 'RunTask' && e.ts >= task.ts && e.ts + e.dur <= task.ts + task.dur);
    const named = (e) => `${e.name}${e.args.data?.url ? ' ' + e.args.data.url.split('/').pop() : ''} ${ms(e.dur)}`;
    const longest = inside.sort((a, b) => b.dur - a.dur).slice(0, 3).map(named).join(', ');
    return `  at ${ms(task.ts - start.ts)} ms, ${ms(task.dur)} ms: ${longest || 'nothing traced inside'}`;
  });
}

// A fresh browser for each load, so no step finds the files already kept.
async function startScreen(name, config) {
  const browser = await browse();
  const page = await browser.newPage();
  const flow = await startFlow(page, { name, config });
  await flow.navigate(address, { name });
  const result = await flow.createFlowResult();
  await browser.close();
  if (process.env.LIGHTHOUSE_TASKS) result.steps[0].tasks = longTasks(flow.createArtifactsJson().gatherSteps[0].artifacts.Trace);
  return result.steps;
}

async function playing() {
  const browser = await browse();
  const page = await browser.newPage();
  const flow = await startFlow(page, { name: 'playing', config: desktopConfig });
  await flow.navigate(address, { name: 'start screen, desktop, before playing' });
  await page.waitForSelector('#play:not([disabled])', { timeout: 60000 });
  await flow.startTimespan({ name: 'the show playing, controls shown (desktop)' });
  await page.click('#play');
  await page.waitForFunction(() => window.showPage.frames.length > 10, { timeout: 20000 });
  for (let i = 0; i < 5; ++i) {
    await page.mouse.move(300 + 40 * i, 300);
    await new Promise((done) => setTimeout(done, 1000));
  }
  await flow.endTimespan();
  await page.mouse.move(500, 320);
  await flow.snapshot({ name: 'the show playing, controls shown (snapshot)' });
  const result = await flow.createFlowResult();
  if (process.env.LIGHTHOUSE_REPORT) fs.writeFileSync(process.env.LIGHTHOUSE_REPORT, await flow.generateReport());
  await browser.close();
  return result.steps;
}

// LIGHTHOUSE_CPU=N: the mobile settings' CPU slowdown (default 4, meant for a
// machine whose benchmarkIndex is about 1500; Lighthouse's own advice is a
// smaller one on a slower machine).
const slowdown = Number(process.env.LIGHTHOUSE_CPU) || 4;
const mobile = { extends: 'lighthouse:default', settings: { throttling: { cpuSlowdownMultiplier: slowdown } } };
const steps = [...await startScreen(`start screen (mobile, CPU ${slowdown}x slower)`, mobile), ...await playing()];
for (const step of steps) {
  console.log(scores(step));
  for (const line of step.tasks || []) console.log(line);
  if (!process.env.LIGHTHOUSE_DETAILS) continue;
  for (const category of Object.values(step.lhr.categories)) {
    for (const ref of category.auditRefs) {
      const audit = step.lhr.audits[ref.id];
      if (ref.weight > 0 && audit.score !== null && audit.score < 1)
        console.log(`  ${category.title}: ${ref.id} ${audit.score} ${audit.displayValue || ''}`);
    }
  }
  if (step.lhr.runtimeError) console.log(`  runtime error: ${step.lhr.runtimeError.code} ${step.lhr.runtimeError.message}`);
  console.log(`  benchmarkIndex ${step.lhr.environment.benchmarkIndex}, throttling ${JSON.stringify(step.lhr.configSettings.throttling)}`);
}
