// node onvif_client.mjs [--user U --password P [--digest 1]] [--address HOST:PORT] [--events 1 | --watch SECONDS]: the `onvif` npm client as a
// recorder uses it. Without an address it finds the camera by WS-Discovery first; then it
// connects (with HTTP Digest instead of signed requests for --digest), asks for the stream and snapshot addresses, and prints one JSON line of what it got.
import onvif from 'onvif';

const options = { user: undefined, password: undefined, address: undefined };
for (let i = 2; i < process.argv.length; ++i) {
    const name = process.argv[i].replace(/^--/, '');
    options[name] = process.argv[++i];
}

const result = { found: [] };
function finish(code) {
    console.log(JSON.stringify(result));
    process.exit(code);
}
setTimeout(() => { result.error = 'timed out'; finish(1); }, 30000 + 1000 * Number(options.watch ?? 0));

async function discover() {
    return new Promise((resolve) => {
        onvif.Discovery.probe({ timeout: 3000, resolve: false }, (error, answers) => {
            if (error) result.discoveryError = String(error.message || error);
            for (const answer of answers || []) {
                const match = answer?.probeMatches?.probeMatch;
                if (match) result.found.push({ xaddrs: match.XAddrs, scopes: match.scopes, types: match.types });
            }
            resolve();
        });
    });
}

if (!options.address) await discover();
const xaddr = options.address ? `http://${options.address}/onvif/device_service` : String(result.found[0]?.xaddrs ?? '').split(' ')[0];
if (!xaddr) finish(1);
const url = new URL(xaddr);
const cam = new onvif.Cam({ hostname: url.hostname, port: Number(url.port), path: url.pathname,
                            username: options.user, password: options.password, autoconnect: false,
                            useWSSecurity: !options.digest });
cam.connect((error) => {
    if (error) { result.error = String(error.message || error); finish(1); }
    result.media2 = cam.media2Support;
    result.profiles = cam.profiles.map((profile) => ({ token: profile.$.token, encoding: profile.videoEncoderConfiguration?.encoding,
                                                        width: profile.videoEncoderConfiguration?.resolution?.width }));
    cam.getStreamUri({ protocol: 'RTSP' }, (streamError, stream) => {
        if (streamError) result.streamError = String(streamError.message || streamError);
        result.streamUri = stream?.uri;
        cam.getSnapshotUri({}, (snapshotError, snapshot) => {
            if (snapshotError) result.snapshotError = String(snapshotError.message || snapshotError);
            result.snapshotUri = snapshot?.uri;
            if (options.watch) return watch(Date.now() + 1000 * Number(options.watch));
            if (!options.events) finish(result.streamUri && result.snapshotUri ? 0 : 1);
            // --events 1: a pull point subscription and one pull of what it holds.
            cam.createPullPointSubscription((subscribeError) => {
                if (subscribeError) { result.eventsError = String(subscribeError.message || subscribeError); finish(1); }
                cam.pullMessages({ messageLimit: 10 }, (pullError, data, xml) => {
                    if (pullError) result.eventsError = String(pullError.message || pullError);
                    result.events = String(xml ?? '');
                    finish(pullError ? 1 : 0);
                });
            });
        });
    });
});

// --watch SECONDS: subscribes, then pulls for that long, printing a line with the time each
// motion message arrived and what it said.
function watch(until) {
    cam.createPullPointSubscription((subscribeError) => {
        if (subscribeError) { result.eventsError = String(subscribeError.message || subscribeError); finish(1); }
        console.log(JSON.stringify({ subscribed: true }));
        const pullAgain = () => {
            if (Date.now() >= until) finish(0);
            cam.pullMessages({ messageLimit: 10 }, (pullError, data, xml) => {
                if (pullError) { result.eventsError = String(pullError.message || pullError); finish(1); }
                for (const match of String(xml ?? '').matchAll(/Name="IsMotion" Value="(true|false)"/g))
                    console.log(JSON.stringify({ at: Date.now(), moving: match[1] === 'true' }));
                pullAgain();
            });
        };
        pullAgain();
    });
}
