// Debian's Chromium for the page's tests and measurements: headless, with no
// updates, syncing or QUIC of its own, in a fresh profile that goes with the
// browser (each run's profile used to stay behind in the temporary folder).
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

export async function launchChromium(extraArgs = []) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'jubra-chromium-'));
  const removeProfile = () => fs.rmSync(profile, { recursive: true, force: true, maxRetries: 5 });
  try {
    const browser = await puppeteer.launch({
      executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
      userDataDir: profile,
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--disable-background-networking',
             '--disable-component-update', '--disable-sync', '--no-first-run', '--window-size=1280,720',
             ...extraArgs],
      defaultViewport: { width: 1280, height: 720 },
      protocolTimeout: 600000,  // a whole show drawn through the capture hook
    });
    browser.process().once('exit', removeProfile);
    return browser;
  } catch (error) {
    removeProfile();
    throw error;
  }
}
