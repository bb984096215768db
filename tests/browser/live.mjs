// Drives the system Chromium on the live page of a running webcam server and measures what
// its low-latency choice plays.
//
//   node live.mjs <baseUrl> [--seconds S] [--viewers N] [--stamped] [--vanish] [--pictures] [--user U --password P]
//                 [--spki SHA256-BASE64] [--share TOKEN]
//
// Each of N pages (one browser) opens /live and waits for WebRTC video; then for S seconds
// counts the frames the browser decoded. With --stamped, each page also reads the capture
// time that a stamp drawn into the picture carries (Unix milliseconds modulo 2^40, 40 cells
// of 16x16 pixels along the top, white for 1, most significant first) at every frame it
// shows, and reports the delay to the page's own clock. Prints one JSON line:
// {"viewers":[{"mode":..,"fps":..,"framesDecoded":..,"soundPackets":..}], "delayMs":[..]}; exits 0 when every
// page played live. With --vanish, the browser is killed outright once its pages play: no
// page closes, no goodbye is sent.

import { execFileSync } from 'node:child_process';
import { chromium } from 'playwright-core';

function parseArguments(argv) {
    const options = { seconds: 5, viewers: 1, stamped: false, vanish: false, user: null, password: null, spki: null, share: null, pictures: false };
    const positional = [];
    for (let i = 0; i < argv.length; ++i) {
        const argument = argv[i];
        if (argument === '--stamped') options.stamped = true;
        // Then Pictures is chosen on the first page, and what it shows after 3 s is reported.
        else if (argument === '--pictures') options.pictures = true;
        else if (argument === '--vanish') options.vanish = true;
        else if (argument === '--user') options.user = argv[++i];
        else if (argument === '--password') options.password = argv[++i];
        // An https page whose certificate the browser is to accept by its key's fingerprint.
        else if (argument === '--spki') options.spki = argv[++i];
        // The page opened as a share link gives it: its own requests then carry the link's cookie.
        else if (argument === '--share') options.share = argv[++i];
        else if (['--seconds', '--viewers'].includes(argument)) options[argument.slice(2)] = Number(argv[++i]);
        else if (argument.startsWith('--')) throw new Error(`unknown option ${argument}`);
        else positional.push(argument);
    }
    if (positional.length !== 1) throw new Error('usage: node live.mjs <baseUrl> [options]');
    options.baseUrl = positional[0];
    return options;
}

// What the page's connection took in so far: video frames decoded and sound packets.
async function received(page) {
    return page.evaluate(async () => {
        const pc = window.vantrelLive && window.vantrelLive.pc;
        const taken = { frames: 0, soundPackets: 0 };
        if (!pc) return taken;
        (await pc.getStats()).forEach((report) => {
            if (report.type !== 'inbound-rtp') return;
            if (report.kind === 'video') taken.frames = report.framesDecoded || 0;
            else taken.soundPackets = report.packetsReceived || 0;
        });
        return taken;
    });
}

// Reads the stamp at every frame shown.
function readStamps() {
    const video = document.getElementById('live');
    const canvas = document.createElement('canvas');
    const context = canvas.getContext('2d', { willReadFrequently: true });
    window.vantrelDelays = [];
    const onFrame = () => {
        if (video.videoWidth > 0) {
            canvas.width = 40 * 16;
            canvas.height = 16;
            context.drawImage(video, 0, 0, canvas.width, 16, 0, 0, canvas.width, 16);
            const pixels = context.getImageData(0, 0, canvas.width, 16).data;
            let stamp = 0;
            for (let bit = 0; bit < 40; ++bit) {
                const at = (8 * canvas.width + bit * 16 + 8) * 4; // the middle of the cell
                stamp = stamp * 2 + (pixels[at] > 128 ? 1 : 0);
            }
            window.vantrelDelays.push((Date.now() % 2 ** 40) - stamp);
        }
        video.requestVideoFrameCallback(onFrame);
    };
    video.requestVideoFrameCallback(onFrame);
}

// How many WebRTC viewers the server counts (-1 when it does not say).
async function webRtcViewers(options) {
    const headers = options.user ? { Authorization: 'Basic ' + Buffer.from(`${options.user}:${options.password}`).toString('base64') } : {};
    try {
        const state = await (await fetch(`${options.baseUrl}/state`, { headers })).json();
        return state.viewers.webrtc;
    } catch {
        return -1;
    }
}

// A closed page's goodbye is a keepalive request that closing the browser would cut off:
// the browser stays until the server has counted the pages out (or 15 s have passed).
async function goodbyesArrived(options, expected) {
    const deadline = Date.now() + 15000;
    while (Date.now() < deadline && (await webRtcViewers(options)) > expected)
        await new Promise((resolve) => setTimeout(resolve, 100));
}

async function watch(context, options) {
    const page = await context.newPage();
    const share = options.share ? `?share=${options.share}` : '';
    await page.goto(`${options.baseUrl}/live${share}`, { waitUntil: 'load' });
    await page.waitForFunction(() => {
        const video = document.getElementById('live');
        return window.vantrelLive.mode !== 'live' || (video.readyState >= 2 && video.videoWidth > 0);
    }, null, { timeout: 20000 });
    return page;
}

async function run(options) {
    const browser = await chromium.launch({
        executablePath: '/usr/bin/chromium', headless: true,
        args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required',
            ...(options.spki ? [`--ignore-certificate-errors-spki-list=${options.spki}`] : [])],
    });
    try {
        const credentials = options.user ? { httpCredentials: { username: options.user, password: options.password } } : {};
        const context = await browser.newContext(credentials);
        const pages = [];
        for (let n = 0; n < options.viewers; ++n) pages.push(await watch(context, options));
        if (options.vanish) {
            await pages[0].waitForTimeout(options.seconds * 1000);
            const modes = await Promise.all(pages.map((page) => page.evaluate(() => window.vantrelLive.mode)));
            execFileSync('pkill', ['-KILL', '-P', String(process.pid)]); // the browser this script started
            return { viewers: modes.map((mode) => ({ mode })), delayMs: [] };
        }
        if (options.stamped) for (const page of pages) await page.evaluate(readStamps);
        const before = await Promise.all(pages.map(received));
        const started = Date.now();
        await pages[0].waitForTimeout(options.seconds * 1000);
        const after = await Promise.all(pages.map(received));
        const seconds = (Date.now() - started) / 1000;
        const viewers = [];
        for (let n = 0; n < pages.length; ++n) {
            viewers.push({
                mode: await pages[n].evaluate(() => window.vantrelLive.mode),
                status: await pages[n].evaluate(() => document.getElementById('status').textContent),
                sound: await pages[n].evaluate(() => document.getElementById('sound').textContent),
                delay: await pages[n].evaluate(() => document.getElementById('delay').textContent),
                framesDecoded: after[n].frames,
                fps: Math.round(((after[n].frames - before[n].frames) / seconds) * 10) / 10,
                soundPackets: after[n].soundPackets,
            });
        }
        if (options.pictures) {
            await pages[0].selectOption('#mode', 'pictures');
            await pages[0].waitForTimeout(3000);
            viewers[0].pictures = await pages[0].evaluate(() => ({
                readyState: document.readyState, delay: document.getElementById('delay').textContent,
                shown: window.vantrelLive.pictureWidth ?? 0 }));
        }
        const delayMs = options.stamped ? (await Promise.all(pages.map((page) => page.evaluate(() => window.vantrelDelays)))).flat() : [];
        const watching = await webRtcViewers(options);
        for (const page of pages) await page.close({ runBeforeUnload: true });
        await goodbyesArrived(options, watching - pages.length);
        return { viewers, delayMs };
    } finally {
        await browser.close().catch(() => {});
    }
}

async function main() {
    let options;
    try {
        options = parseArguments(process.argv.slice(2));
        const result = await run(options);
        console.log(JSON.stringify(result));
        return result.viewers.every((viewer) => viewer.mode === 'live') ? 0 : 1;
    } catch (error) {
        console.error(`live.mjs: ${error.message}`);
        return 1;
    }
}

process.exitCode = await main();
