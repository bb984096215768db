// Drives the system Chromium to an <img src="/stream.mjpg"> on the server's own origin and
// counts the different pictures it shows.
//
//   node mjpeg_img.mjs <baseUrl> [--frames N] [--seconds S] [--min-fps F]
//
// Every animation frame the picture is drawn to a canvas and its pixels hashed, until N
// different pictures were seen or S seconds passed. Prints one JSON line
// {"distinct":..,"fps":..,"width":..,"height":..}; exits 0 only if the distinct pictures
// per second watched reach F (25 by default).

import { chromium } from 'playwright-core';

function parseArguments(argv) {
    const options = { frames: Infinity, seconds: 5, minFps: 25 };
    const positional = [];
    for (let i = 0; i < argv.length; ++i) {
        if (argv[i] === '--frames') options.frames = Number(argv[++i]);
        else if (argv[i] === '--seconds') options.seconds = Number(argv[++i]);
        else if (argv[i] === '--min-fps') options.minFps = Number(argv[++i]);
        else if (argv[i].startsWith('--')) throw new Error(`unknown option ${argv[i]}`);
        else positional.push(argv[i]);
    }
    if (positional.length !== 1) throw new Error('usage: node mjpeg_img.mjs <baseUrl> [options]');
    options.baseUrl = positional[0];
    return options;
}

// Runs in the page: counts distinct pictures of the stream until there are enough or the time is up.
function watch({ frames, seconds }) {
    return new Promise((resolve) => {
        const image = document.getElementById('live');
        const canvas = document.createElement('canvas');
        const context = canvas.getContext('2d', { willReadFrequently: true });
        const hashes = new Set();
        const started = performance.now();
        const end = started + seconds * 1000;
        function look() {
            if (image.naturalWidth > 0) {
                canvas.width = image.naturalWidth;
                canvas.height = image.naturalHeight;
                context.drawImage(image, 0, 0);
                const pixels = context.getImageData(0, 0, canvas.width, canvas.height).data;
                let hash = 0x811c9dc5;
                for (let i = 0; i < pixels.length; i += 7) hash = Math.imul(hash ^ pixels[i], 0x01000193);
                hashes.add(hash >>> 0);
            }
            const now = performance.now();
            if (hashes.size < frames && now < end) return requestAnimationFrame(look);
            resolve({
                distinct: hashes.size,
                width: image.naturalWidth,
                height: image.naturalHeight,
                seconds: (now - started) / 1000,
            });
        }
        requestAnimationFrame(look);
    });
}

const options = parseArguments(process.argv.slice(2));
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
let result;
try {
    const page = await browser.newPage();
    // The server's own page first, so that the picture is same-origin and its pixels readable.
    await page.goto(options.baseUrl);
    await page.setContent('<img id="live" src="/stream.mjpg">');
    await page.waitForFunction(() => document.getElementById('live').naturalWidth > 0, null, { timeout: 15000 });
    result = await page.evaluate(watch, { frames: options.frames, seconds: options.seconds });
} finally {
    await browser.close();
}
result.fps = Math.round((result.distinct / result.seconds) * 100) / 100;
console.log(JSON.stringify(result));
process.exit(result.fps >= options.minFps ? 0 : 1);
