// Takes the README's picture: the overview page of a freshly started demo, after the plots
// have gathered some samples. Usage: node screenshot.mjs OUTPUT.png [DEMO]
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

const output = process.argv[2] || 'screenshot.png';
const demoPath = process.argv[3] || new URL('../../build/demo/examples/webjson-demo', import.meta.url).pathname;
const demo = spawn(demoPath, ['--port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
const address = await new Promise((resolve, reject) => {
  let text = '';
  demo.on('error', reject);
  demo.stdout.on('data', (chunk) => {
    text += chunk;
    const match = /http:\/\/127\.0\.0\.1:\d+\//.exec(text);
    if (match) resolve(match[0]);
  });
});
const profile = mkdtempSync(path.join(tmpdir(), 'webjson-shot-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  viewport: { width: 1500, height: 1000 },
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const page = await context.newPage();
  await page.goto(address);
  await page.waitForTimeout(25000);
  await page.screenshot({ path: output });
} finally {
  await context.close();
  rmSync(profile, { recursive: true, force: true });
  demo.kill('SIGTERM');
}
