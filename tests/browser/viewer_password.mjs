// node viewer_password.mjs <baseUrl> <user> <password>: the system Chromium without credentials
// must get 401; with them the page loads and, "Enable webcam" ticked, shows the camera's picture.
// Prints one JSON line of what it saw; exits 0 only if both held.

import { chromium } from 'playwright-core';

const [baseUrl, username, password] = process.argv.slice(2);
if (!password) throw new Error('usage: node viewer_password.mjs <baseUrl> <user> <password>');

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
const result = {};
try {
    // Without credentials to offer, the browser gives up on the challenge: the navigation
    // fails, and the answer it got is seen as it arrives.
    const stranger = await (await browser.newContext()).newPage();
    stranger.on('response', (response) => {
        result.withoutPassword = response.status();
        result.challenge = response.headers()['www-authenticate'] ?? null;
    });
    await stranger.goto(baseUrl).catch(() => {});

    const viewer = await (await browser.newContext({ httpCredentials: { username, password } })).newPage();
    result.withPassword = (await viewer.goto(baseUrl)).status();
    await viewer.check('input[name="Streaming"]');
    // The page asks for the next picture as soon as one has loaded: the width is taken at once.
    const width = await viewer.waitForFunction(() => {
        const image = document.getElementById('CamImg');
        return /\/pic\d+\.jpg$/i.test(image.src) && image.complete && image.naturalWidth;
    }, null, { timeout: 15000 });
    result.pictureWidth = await width.jsonValue();
} finally {
    await browser.close();
}
console.log(JSON.stringify(result));
process.exit(result.withoutPassword === 401 && result.withPassword === 200 && result.pictureWidth > 0 ? 0 : 1);
