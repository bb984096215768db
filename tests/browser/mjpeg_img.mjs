// Drives the system Chromium to an <img src="/stream.mjpg"> on the server's own origin and
// counts the different pictures it shows.
//
//   node mjpeg_img.mjs <baseUrl> [--seconds S] [--min-fps F]
//
// Every animation frame the picture is drawn to a canvas and its pixels hashed. Prints
// one JSON line {"distinct":..,"fps":..,"width":..,"height":..}; exits 0 only if the
// distinct pictures per second reach F (25 by default).

import { chromium } from 'playwright-core';

function parseArguments(argv) {
    const options = { seconds: 5, minFps: 25 };
    const positional = [];
    for (let i = 0; i < argv.length; ++i) {
        if (argv[i] === '--seconds') options.seconds = Number(argv[++i]);
        else if (argv[i] === '--min-fps') options.minFps = Number(argv[++i]);
        else if (argv[i].startsWith('--')) throw new Error(`unknown option ${argv[i]}`);
        else positional.push(argv[i]);
    }
    if (positional.length !== 1) throw new Error('usage: node mjpeg_img.mjs <baseUrl> [options]');
    options.baseUrl = positional[0];
    return options;
}

// Runs in the page: counts distinct pictures of the stream over the given time.
function watch(seconds) {
    return new Promise((resolve) => {
        const image = document.getElementById('live');
        const canvas = document.createElement('canvas');
        const context = canvas.getContext('2d', { willReadFrequently: true });
        const hashes = new Set();
        const end = performance.now() + seconds * 1000;
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
            if (performance.now() < end) requestAnimationFrame(look);
            else resolve({ distinct: hashes.size, width: image.naturalWidth, height: image.naturalHeight });
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
    result = await page.evaluate(watch, options.seconds);
} finally {
    await browser.close();
}
result.fps = Math.round((result.distinct / options.seconds) * 100) / 100;
console.log(JSON.stringify(result));
process.exit(result.fps >= options.minFps ? 0 : 1);
