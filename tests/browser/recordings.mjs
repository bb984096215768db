// Plays the newest recording of a running webcam server's /recordings page in the system
// Chromium: a click on it, its video playing (currentTime advancing), then a seek to the
// middle, which the browser makes with Range requests.
//
//   node recordings.mjs <baseUrl> [--user U --password P] [--screenshot file.png]
//
// Prints one JSON line {"clips":N,"played":s,"seekedTo":s,"duration":s,"rangeRequests":N};
// exits 0 when the video played and the seek landed.

import { chromium } from 'playwright-core';

const args = process.argv.slice(2);
const option = (name) => { const at = args.indexOf(name); return at >= 0 ? args[at + 1] : null; };
const baseUrl = args[0];

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required'] });
let exitCode = 1;
try {
    const user = option('--user');
    const context = await browser.newContext(user ? { httpCredentials: { username: user, password: option('--password') } } : {});
    const page = await context.newPage();
    let rangeRequests = 0;
    page.on('request', (request) => { if (request.headers().range) rangeRequests += 1; });
    await page.goto(`${baseUrl}/recordings`, { waitUntil: 'load' });
    const clips = await page.locator('.clip').count();
    // The newest finished one: the one still being written may hold less than a second yet.
    await page.locator('.clip:not(:has(.badge.live))').first().click();
    const video = page.locator('#player');
    await page.waitForFunction(() => document.getElementById('player').currentTime > 0.5, null, { timeout: 20000 });
    const played = await video.evaluate((v) => v.currentTime);
    const duration = await video.evaluate((v) => v.duration);
    const target = duration / 2;
    await video.evaluate((v, to) => { v.pause(); v.currentTime = to; }, target);
    await page.waitForFunction(() => { const v = document.getElementById('player'); return !v.seeking && v.readyState >= 2; }, null, { timeout: 20000 });
    const seekedTo = await video.evaluate((v) => v.currentTime);
    const shot = option('--screenshot');
    if (shot) await page.screenshot({ path: shot, fullPage: true });
    console.log(JSON.stringify({ clips, played, seekedTo, duration, rangeRequests }));
    exitCode = played > 0.5 && Math.abs(seekedTo - target) < 1.5 ? 0 : 1;
} catch (error) {
    console.error(`recordings.mjs: ${error.message}`);
} finally {
    await browser.close().catch(() => {});
}
process.exitCode = exitCode;
