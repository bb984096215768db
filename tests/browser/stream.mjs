// Drives the system Chromium against a running webcam server and counts the camera
// pictures the index page streams.
//
//   node stream.mjs <baseUrl> [--frames N] [--width W] [--height H] [--seconds S]
//                   [--screenshot file.png] [--bare-http]
//
// Opens the page, checks that the title picture shows at 220x165, ticks
// "Enable webcam" and watches the camera picture for S seconds. Prints one JSON
// line {"loaded":..,"distinct":..,"fps":..}: loaded counts the /picN.jpg addresses
// whose picture arrived at W x H, distinct the different pictures among them (by
// their pixels), fps is loaded per second. Exits 0 only if distinct >= N.
//
// --bare-http fetches every address through a plain socket and hands the browser
// the bytes as a 200 answer: for a server that sends bodies without a status line,
// which Chromium refuses on any port but 80.

import { chromium } from 'playwright-core';
import net from 'node:net';

const TITLE_WIDTH = 220;
const TITLE_HEIGHT = 165;

function parseArguments(argv) {
    const options = { frames: 1, width: 320, height: 240, seconds: 5, screenshot: null, bareHttp: false };
    const positional = [];
    for (let i = 0; i < argv.length; ++i) {
        const argument = argv[i];
        if (argument === '--bare-http') options.bareHttp = true;
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

// The whole answer of a server that closes the connection after its body.
function fetchBare(url) {
    return new Promise((resolve, reject) => {
        const chunks = [];
        const socket = net.connect(Number(url.port || 80), url.hostname, () => {
            socket.write(`GET ${url.pathname}${url.search} HTTP/1.1\r\nHost: ${url.host}\r\n\r\n`);
        });
        socket.on('data', (chunk) => chunks.push(chunk));
        socket.on('end', () => resolve(Buffer.concat(chunks)));
        socket.on('error', reject);
    });
}

function contentTypeOf(body) {
    if (body[0] === 0xff && body[1] === 0xd8) return 'image/jpeg';
    return 'text/html';
}

async function routeThroughBareSockets(page) {
    await page.route('**/*', async (route) => {
        try {
            const body = await fetchBare(new URL(route.request().url()));
            await route.fulfill({ status: 200, contentType: contentTypeOf(body), body });
        } catch {
            await route.abort('connectionrefused');
        }
    });
}

async function checkTitlePicture(page) {
    const title = await page.evaluate(() => {
        const image = document.getElementById('CamImg');
        return image && { complete: image.complete, width: image.naturalWidth, height: image.naturalHeight };
    });
    if (!title || !title.complete || title.width !== TITLE_WIDTH || title.height !== TITLE_HEIGHT)
        throw new Error(`title picture not shown at ${TITLE_WIDTH}x${TITLE_HEIGHT}: ${JSON.stringify(title)}`);
}

function summarise(seen, options) {
    const pictures = seen.loads.filter(
        (load) => /^\/pic\d+\.jpg$/i.test(load.path) && load.width === options.width && load.height === options.height);
    const loaded = new Set(pictures.map((load) => load.path.toLowerCase())).size;
    const distinct = new Set(pictures.map((load) => load.hash)).size;
    const fps = options.seconds > 0 ? Math.round((loaded / options.seconds) * 100) / 100 : 0;
    return { loaded, distinct, fps };
}

async function run(options) {
    const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args: ['--no-sandbox'] });
    try {
        const page = await browser.newPage();
        if (options.bareHttp) await routeThroughBareSockets(page);
        await page.addInitScript(watchCameraPicture);
        await page.goto(options.baseUrl, { waitUntil: 'load' });
        await checkTitlePicture(page);

        await page.check('input[name="Streaming"]');
        await page.waitForTimeout(options.seconds * 1000);
        const seen = await page.evaluate(() => window.__vantrelStream);
        const streaming = await page.isChecked('input[name="Streaming"]');
        if (options.screenshot) await page.screenshot({ path: options.screenshot });

        const result = summarise(seen, options);
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
