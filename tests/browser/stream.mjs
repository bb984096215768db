// Drives the system Chromium against a running webcam server and counts the camera
// pictures the index page streams.
//
//   node stream.mjs <baseUrl> [--frames N] [--width W] [--height H] [--seconds S]
//                   [--screenshot file.png] [--keep-watching]
//
// Opens the page, checks that the title picture shows at 220x165, ticks
// "Enable webcam" and watches the camera picture until N different pictures have
// arrived, for S seconds at most (the whole S seconds with --keep-watching, for
// measuring). Prints one JSON line {"loaded":..,"distinct":..,"fps":..}: loaded counts
// the /picN.jpg addresses whose picture arrived at W x H, distinct the different
// pictures among them (by their pixels), fps is loaded per second watched. Exits 0
// only if distinct >= N.

import { chromium } from 'playwright-core';

const TITLE_WIDTH = 220;
const TITLE_HEIGHT = 165;

function parseArguments(argv) {
    const options = { frames: 1, width: 320, height: 240, seconds: 5, screenshot: null, keepWatching: false };
    const positional = [];
    for (let i = 0; i < argv.length; ++i) {
        const argument = argv[i];
        if (argument === '--keep-watching') options.keepWatching = true;
        else if (argument === '--screenshot') options.screenshot = argv[++i];
        else if (['--frames', '--width', '--height', '--seconds'].includes(argument)) {
            const value = Number(argv[++i]);
            if (!Number.isFinite(value) || value < 0) throw new Error(`${argument} needs a number`);
            options[argument.slice(2)] = value;
        } else if (argument.startsWith('--')) throw new Error(`unknown option ${argument}`);
        else positional.push(argument);
    }
    if (positional.length !== 1) throw new Error('usage: node stream.mjs <baseUrl> [options]');
    options.baseUrl = positional[0];
    return options;
}

// Runs in the page before its own scripts. A capturing listener on the document sees
// each picture's load before the picture's own onload asks for the next one.
function watchCameraPicture() {
    const seen = { loads: [], errors: 0 };
    window.__vantrelStream = seen;
    const canvas = document.createElement('canvas');

    function pixelHash(image) {
        canvas.width = image.naturalWidth;
        canvas.height = image.naturalHeight;
        const context = canvas.getContext('2d', { willReadFrequently: true });
        context.drawImage(image, 0, 0);
        const pixels = context.getImageData(0, 0, canvas.width, canvas.height).data;
        let hash = 0x811c9dc5;
        for (let i = 0; i < pixels.length; ++i) hash = Math.imul(hash ^ pixels[i], 0x01000193);
        return (hash >>> 0).toString(16);
    }

    document.addEventListener('load', (event) => {
        const image = event.target;
        if (!(image instanceof HTMLImageElement) || image.id !== 'CamImg') return;
        const path = new URL(image.currentSrc || image.src).pathname;
        const isCameraPicture = /^\/pic\d+\.jpg$/i.test(path);
        seen.loads.push({
            path,
            width: image.naturalWidth,
            height: image.naturalHeight,
            hash: isCameraPicture && image.naturalWidth > 0 ? pixelHash(image) : null,
        });
    }, true);
    document.addEventListener('error', (event) => {
        if (event.target instanceof HTMLImageElement) ++seen.errors;
    }, true);
}

async function checkTitlePicture(page) {
    const title = await page.evaluate(() => {
        const image = document.getElementById('CamImg');
        return image && { complete: image.complete, width: image.naturalWidth, height: image.naturalHeight };
    });
    if (!title || !title.complete || title.width !== TITLE_WIDTH || title.height !== TITLE_HEIGHT)
        throw new Error(`title picture not shown at ${TITLE_WIDTH}x${TITLE_HEIGHT}: ${JSON.stringify(title)}`);
}

function countPictures(seen, options) {
    const pictures = seen.loads.filter(
        (load) => /^\/pic\d+\.jpg$/i.test(load.path) && load.width === options.width && load.height === options.height);
    return {
        loaded: new Set(pictures.map((load) => load.path.toLowerCase())).size,
        distinct: new Set(pictures.map((load) => load.hash)).size,
    };
}

// What the page saw and for how many seconds: until enough different pictures arrived, or
// the time is up.
async function watch(page, options) {
    const started = Date.now();
    const end = started + options.seconds * 1000;
    let seen;
    for (;;) {
        seen = await page.evaluate(() => window.__vantrelStream);
        const enough = !options.keepWatching && countPictures(seen, options).distinct >= options.frames;
        if (enough || Date.now() >= end) break;
        await page.waitForTimeout(Math.min(50, end - Date.now()));
    }
    return { seen, seconds: (Date.now() - started) / 1000 };
}

async function run(options) {
    const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args: ['--no-sandbox'] });
    try {
        const page = await browser.newPage();
        await page.addInitScript(watchCameraPicture);
        await page.goto(options.baseUrl, { waitUntil: 'load' });
        await checkTitlePicture(page);

        await page.check('input[name="Streaming"]');
        const { seen, seconds } = await watch(page, options);
        const streaming = await page.isChecked('input[name="Streaming"]');
        if (options.screenshot) await page.screenshot({ path: options.screenshot });

        const result = countPictures(seen, options);
        result.fps = Math.round((result.loaded / seconds) * 100) / 100;
        if (!streaming || seen.errors)
            console.error(`stream.mjs: streaming ${streaming ? 'on' : 'off'}, ${seen.errors} picture(s) failed`);
        return result;
    } finally {
        await browser.close();
    }
}

async function main() {
    let options;
    try {
        options = parseArguments(process.argv.slice(2));
    } catch (error) {
        console.error(`stream.mjs: ${error.message}`);
        return 2;
    }
    try {
        const result = await run(options);
        console.log(JSON.stringify(result));
        return result.distinct >= options.frames ? 0 : 1;
    } catch (error) {
        console.error(`stream.mjs: ${error.message}`);
        console.log(JSON.stringify({ loaded: 0, distinct: 0, fps: 0 }));
        return 1;
    }
}

process.exitCode = await main();
