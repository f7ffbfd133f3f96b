// The running show in each browser engine at 640x480, all software rendering:
//   node bench/web/show_fps.mjs SITE_DIR [SECONDS] [SKIP_SECONDS] [--engines a,b] [--modules DIR]
//                                         [--swiftshader]
// Serves SITE_DIR (a built site: scripts/web-build) on 127.0.0.1, opens it in each engine
// (default chromium,firefox,webkit; through the drivers of tests/web/drivers.mjs, installed in
// DIR, default build/web-drivers), waits until the page is ready, starts the show with a key,
// lets it run SKIP_SECONDS (default 5), then counts the frames drawn for SECONDS (default 20).
// Prints one line per engine: the time to ready after load, the first frame after the key,
// frames per second, and, from the GL layer's counters, its draw calls and time a frame.
// --swiftshader has Chromium draw with SwiftShader instead of Mesa.
import { existsSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { launchBrowser, startSoundServer } from '../../tests/web/drivers.mjs';
import { startSiteServer } from '../../tests/web/site_server.mjs';

const positional = [];
const options = { engines: 'chromium,firefox,webkit', modules: null, swiftshader: false };
const argv = process.argv.slice(2);
for (let i = 0; i < argv.length; i++) {
  if (argv[i] === '--swiftshader')
    options.swiftshader = true;
  else if (argv[i].startsWith('--'))
    options[argv[i].slice(2)] = argv[++i];
  else
    positional.push(argv[i]);
}
const [site, secondsText = '20', skipText = '5'] = positional;
if (!site || !existsSync(join(site, 'index.html'))) {
  console.error('usage: show_fps.mjs SITE_DIR [SECONDS] [SKIP_SECONDS] [--engines a,b] [--modules DIR] [--swiftshader]');
  process.exit(2);
}
const seconds = Number(secondsText);
const skip = Number(skipText);
const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const modules = options.modules || join(root, 'build/web-drivers');
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

async function measure(engine, server, sound) {
  const browser = await launchBrowser(engine, { modules, soundServer: sound && sound.server,
                                               swiftshader: options.swiftshader });
  try {
    const page = await browser.open(server.base + '/', { width: 640, height: 480 });
    await page.waitFor('window.paradeStatus && window.paradeStatus.state !== "loading"', 120000);
    const ready = JSON.parse(await page.evaluate('JSON.stringify(window.paradeStatus)'));
    if (ready.state !== 'ready')
      return `${engine}: the page ended in state ${ready.state}: ${ready.message}`;
    await page.key('z');
    await page.waitFor('window.paradeStatus.firstFrameMs > 0', 60000);
    await sleep(skip * 1000);
    const read = 'JSON.stringify({ now: performance.now(), frames: Module._fglFrameCount(), calls: Module._fglDrawCallCount(), ' +
      'layer: Module._fglLayerSeconds(), status: window.paradeStatus })';
    const a = JSON.parse(await page.evaluate(read));
    await sleep(seconds * 1000);
    const b = JSON.parse(await page.evaluate(read));
    await page.close();
    const wall = (b.now - a.now) / 1000;
    const frames = b.frames - a.frames;
    return `${engine} (${browser.version}): ready ${(a.status.readyMs / 1000).toFixed(2)} s after load, ` +
      `first frame ${Math.round(a.status.firstFrameMs - a.status.startMs)} ms after the key, ` +
      `${(frames / wall).toFixed(1)} frames per second over ${wall.toFixed(1)} s, ` +
      `${frames > 0 ? ((b.calls - a.calls) / frames).toFixed(1) : '-'} draw calls a frame, ` +
      `layer ${frames > 0 ? ((b.layer - a.layer) / frames * 1000).toFixed(1) : '-'} ms a frame, sound "${b.status.sound}"`;
  } finally {
    await browser.close();
  }
}

const server = await startSiteServer(site);
let sound = null;
try {
  sound = await startSoundServer();
} catch (error) {
  console.log(`(no sound server: ${error.message}; Firefox and WebKit run without sound)`);
}
try {
  for (const engine of options.engines.split(',')) {
    try {
      console.log(await measure(engine, server, sound));
    } catch (error) {
      console.log(`${engine}: ${error.message}`);
    }
  }
} finally {
  if (sound)
    sound.stop();
  server.close();
}
