// The browser build in headless Chromium, driven over the DevTools protocol:
//   node page_test.mjs CASE --site DIR --capture BIN --syncs BIN --data DIR [--keep DIR]
// CASE "stills": the page draws stills at chosen demo times that match the desktop capture
// within a tolerance, and reports the same strike count as the desktop offline render.
// CASE "show": a key starts the show with its music; the first frame's time after load is
// printed; the syncs stamp the moments the strikes are heard; the band keeps its shape; the
// right-button menu offers the desktop's entries and its "Quit" ends the show; key q speeds
// the pictures up until the show ends by itself.
// CASE "missing-module": without mod2.it the page shows a message that says so, and with a
// mod2.it that is no module the program's error; a missing parade.js and files that fail at
// the network level are named.
// CASE "jumps": ?at= starts the show there and ?loop=1 loops it past its end; the arrow keys
// and Home jump the pictures and the music together; the scrub bar appears on mouse movement
// with the time and the pattern, hides 2 s later, and a drag on it moves the show.
// Serves the site itself on 127.0.0.1; prints one line per check and "N passed, N failed".
import { spawn, execFileSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdtempSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { randomBytes } from 'node:crypto';
import { createServer } from 'node:http';
import { connect } from 'node:net';
import { tmpdir } from 'node:os';
import { join, extname, normalize } from 'node:path';
import { inflateSync } from 'node:zlib';

// Demo times (pattern units) of the stills: the opening zoom stack and act 32, act 30, the
// sponsor overlay, the extra flip-book, a late act with the alternating backdrop, and the
// closing pictures.
const stillTimes = [0.5, 2.6, 5.3, 6.6, 12.6, 20.3, 24.9];
// Per-channel difference above which a pixel counts as different, and the share of such
// pixels a still may have. SwiftShader through our GL layer and llvmpipe's GL 1.1 round,
// filter and rasterise edges a little differently: measured at most 0.65% of pixels beyond 24
// (one-pixel shifts of wire edges and points) and a mean of 1.9 per channel (rounding summed
// over the many additive picture layers at 0.5). A wrong effect, act, texture or strike moves
// 10 to 40% of the pixels.
const pixelTolerance = 24;
const maxDifferentShare = 0.02;
const maxMeanDifference = 3.0;

const args = parseArgs(process.argv.slice(2));
let passed = 0;
let failed = 0;

function parseArgs(list) {
  const out = { case: list[0] };
  for (let i = 1; i < list.length; i += 2)
    out[list[i].replace(/^--/, '')] = list[i + 1];
  return out;
}

function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (ok)
    passed++;
  else
    failed++;
}

// ---- A static server over the site; /nomodule/ is the same site without mod2.it, ----------
// /badmodule/ one whose mod2.it is not a module.

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                '.wasm': 'application/wasm', '.txt': 'text/plain', '.jpg': 'image/jpeg' };

function startServer(site) {
  const server = createServer((request, response) => {
    let path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const noModule = path.startsWith('/nomodule/');
    const badModule = path.startsWith('/badmodule/');
    const noProgram = path.startsWith('/noprogram/');
    const cutOff = path.startsWith('/cutoff/');
    if (noModule || badModule || noProgram || cutOff)
      path = path.slice(path.indexOf('/', 1));
    // A connection closed without an answer: a failure at the network level.
    if (cutOff && (path === '/deita/logo.jpg' || path === '/mod2.it')) {
      request.socket.destroy();
      return;
    }
    if (path.endsWith('/'))
      path += 'index.html';
    if (badModule && path === '/mod2.it') {
      response.writeHead(200, { 'Content-Type': 'application/octet-stream' });
      response.end('this is no tracker module');
      return;
    }
    const file = normalize(join(site, path));
    if (!file.startsWith(normalize(site)) || (noModule && path === '/mod2.it') ||
        (noProgram && path === '/parade.js') ||
        !existsSync(file) || !statSync(file).isFile()) {
      response.writeHead(404);
      response.end('not found');
      return;
    }
    response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream' });
    response.end(readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// ---- Chromium and a small DevTools client ----------------------------------------------------

// A WebSocket client for node versions without one: text frames only, enough for DevTools.
class PlainWebSocket {
  constructor(address) {
    const url = new URL(address);
    this.buffer = Buffer.alloc(0);
    this.socket = connect(Number(url.port), url.hostname, () => {
      this.socket.write(`GET ${url.pathname} HTTP/1.1\r\nHost: ${url.host}\r\nUpgrade: websocket\r\n` +
        `Connection: Upgrade\r\nSec-WebSocket-Key: ${randomBytes(16).toString('base64')}\r\n` +
        'Sec-WebSocket-Version: 13\r\n\r\n');
    });
    let open = false;
    this.socket.on('data', (chunk) => {
      this.buffer = Buffer.concat([this.buffer, chunk]);
      if (!open) {
        const end = this.buffer.indexOf('\r\n\r\n');
        if (end < 0)
          return;
        if (!/^HTTP\/1\.1 101/.test(this.buffer.toString('latin1', 0, end)))
          return this.onerror && this.onerror();
        this.buffer = this.buffer.subarray(end + 4);
        open = true;
        this.onopen && this.onopen();
      }
      this.readFrames();
    });
    this.socket.on('error', () => this.onerror && this.onerror());
    this.pieces = [];
  }

  readFrames() {
    for (;;) {
      if (this.buffer.length < 2)
        return;
      let length = this.buffer[1] & 0x7f;
      let offset = 2;
      if (length === 126) {
        if (this.buffer.length < 4) return;
        length = this.buffer.readUInt16BE(2);
        offset = 4;
      } else if (length === 127) {
        if (this.buffer.length < 10) return;
        length = Number(this.buffer.readBigUInt64BE(2));
        offset = 10;
      }
      if (this.buffer.length < offset + length)
        return;
      const final = (this.buffer[0] & 0x80) !== 0;
      const opcode = this.buffer[0] & 0x0f;
      this.pieces.push(this.buffer.subarray(offset, offset + length));
      this.buffer = this.buffer.subarray(offset + length);
      if (final && (opcode === 1 || opcode === 0)) {
        const data = Buffer.concat(this.pieces).toString('utf8');
        this.pieces = [];
        this.onmessage && this.onmessage({ data });
      } else if (final) {
        this.pieces = [];
      }
    }
  }

  send(text) {
    const payload = Buffer.from(text, 'utf8');
    const mask = randomBytes(4);
    const header = payload.length < 126 ? Buffer.from([0x81, 0x80 | payload.length])
      : payload.length < 65536 ? Buffer.from([0x81, 0x80 | 126, payload.length >> 8, payload.length & 0xff])
        : Buffer.concat([Buffer.from([0x81, 0x80 | 127]), (() => { const b = Buffer.alloc(8); b.writeBigUInt64BE(BigInt(payload.length)); return b; })()]);
    for (let i = 0; i < payload.length; i++)
      payload[i] ^= mask[i & 3];
    this.socket.write(Buffer.concat([header, mask, payload]));
  }

  close() {
    this.socket.destroy();
  }
}

async function startBrowser() {
  const profile = mkdtempSync(join(tmpdir(), 'parade-chromium-'));
  const browser = spawn('chromium', [
    '--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--no-first-run', '--no-default-browser-check', '--disable-extensions', '--mute-audio',
    '--autoplay-policy=no-user-gesture-required', `--user-data-dir=${profile}`,
    '--remote-debugging-port=0', '--window-size=800,600', 'about:blank',
  ], { stdio: ['ignore', 'ignore', 'pipe'] });
  const endpoint = await new Promise((resolve, reject) => {
    let text = '';
    const timer = setTimeout(() => reject(new Error('chromium did not start:\n' + text)), 30000);
    browser.stderr.on('data', (chunk) => {
      text += chunk;
      const match = /DevTools listening on (ws:\/\/\S+)/.exec(text);
      if (match) {
        clearTimeout(timer);
        resolve(match[1]);
      }
    });
    browser.on('exit', (code) => reject(new Error(`chromium ended (${code}):\n${text}`)));
  });
  const socket = typeof WebSocket === 'function' ? new WebSocket(endpoint) : new PlainWebSocket(endpoint);
  await new Promise((resolve, reject) => {
    socket.onopen = resolve;
    socket.onerror = () => reject(new Error('cannot reach chromium at ' + endpoint));
  });
  let nextId = 1;
  const waiting = new Map();
  const consoleLines = [];
  socket.onmessage = (event) => {
    const message = JSON.parse(event.data);
    if (message.method === 'Runtime.consoleAPICalled')
      consoleLines.push(message.params.args.map((a) => a.value !== undefined ? a.value : a.description).join(' '));
    else if (message.method === 'Runtime.exceptionThrown')
      consoleLines.push('exception: ' + (message.params.exceptionDetails.exception || {}).description);
    if (message.id && waiting.has(message.id)) {
      const { resolve, reject } = waiting.get(message.id);
      waiting.delete(message.id);
      if (message.error)
        reject(new Error(message.error.message));
      else
        resolve(message.result);
    }
  };
  const send = (method, params = {}, sessionId) => new Promise((resolve, reject) => {
    const id = nextId++;
    waiting.set(id, { resolve, reject });
    socket.send(JSON.stringify({ id, method, params, sessionId }));
  });
  // Asks Chromium to end with all its processes, forces it after a few seconds, then removes
  // the profile (helpers may still be writing to it for a moment).
  const close = async () => {
    const ended = browser.exitCode !== null || browser.signalCode !== null ? Promise.resolve()
      : new Promise((resolve) => browser.once('exit', resolve));
    send('Browser.close').catch(() => {});
    const timer = setTimeout(() => browser.kill('SIGKILL'), 5000);
    await ended;
    clearTimeout(timer);
    socket.close();
    for (let attempt = 0; attempt < 10; attempt++) {
      try {
        rmSync(profile, { recursive: true, force: true });
        return;
      } catch (error) {
        await new Promise((resolve) => setTimeout(resolve, 300));
      }
    }
  };
  return { send, close, consoleLines };
}

async function openPage(browser, url) {
  const { targetId } = await browser.send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await browser.send('Target.attachToTarget', { targetId, flatten: true });
  const send = (method, params) => browser.send(method, params, sessionId);
  await send('Runtime.enable');
  await send('Page.enable');
  await send('Page.navigate', { url });
  const evaluate = async (expression) => {
    const { result, exceptionDetails } = await send('Runtime.evaluate', { expression, returnByValue: true });
    if (exceptionDetails)
      throw new Error(exceptionDetails.text);
    return result.value;
  };
  const close = () => browser.send('Target.closeTarget', { targetId });
  return { evaluate, close, send };
}

// Waits until the page's status leaves loading/ready/starting; returns it (without the PNG).
async function settledStatus(page, timeoutMs, alsoWaitFor = []) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const status = await page.evaluate(
      'window.paradeStatus ? JSON.stringify({...window.paradeStatus, png: undefined}) : null');
    const parsed = status ? JSON.parse(status) : null;
    if (parsed && !['loading', 'ready', 'starting', ...alsoWaitFor].includes(parsed.state))
      return parsed;
    if (Date.now() > end)
      return parsed || { state: 'no status' };
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

// ---- PNG ---------------------------------------------------------------------------------------

// Decodes an 8-bit RGB or RGBA, non-interlaced PNG into { width, height, rgb }.
function decodePng(bytes) {
  let offset = 8;
  let width = 0, height = 0, colorType = 0;
  const data = [];
  while (offset < bytes.length) {
    const length = bytes.readUInt32BE(offset);
    const type = bytes.toString('latin1', offset + 4, offset + 8);
    const body = bytes.subarray(offset + 8, offset + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      colorType = body[9];
      if (body[8] !== 8 || (colorType !== 2 && colorType !== 6) || body[12] !== 0)
        throw new Error('unsupported PNG');
    } else if (type === 'IDAT') {
      data.push(body);
    }
    offset += 12 + length;
  }
  const channels = colorType === 6 ? 4 : 3;
  const raw = inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    for (let x = 0; x < stride; x++) {
      const value = raw[y * (stride + 1) + 1 + x];
      const a = x >= channels ? pixels[y * stride + x - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
      let predictor = 0;
      if (filter === 1) predictor = a;
      else if (filter === 2) predictor = b;
      else if (filter === 3) predictor = (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c;
        const pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      pixels[y * stride + x] = (value + predictor) & 0xff;
    }
  }
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0; i < width * height; i++)
    for (let k = 0; k < 3; k++)
      rgb[i * 3 + k] = pixels[i * channels + k];
  return { width, height, rgb };
}

function compare(a, b) {
  let different = 0, total = 0, max = 0;
  for (let i = 0; i < a.rgb.length; i += 3) {
    let worst = 0;
    for (let k = 0; k < 3; k++) {
      const d = Math.abs(a.rgb[i + k] - b.rgb[i + k]);
      total += d;
      worst = Math.max(worst, d);
    }
    max = Math.max(max, worst);
    if (worst > pixelTolerance)
      different++;
  }
  const pixels = a.rgb.length / 3;
  return { share: different / pixels, mean: total / a.rgb.length, max };
}

// ---- Cases -------------------------------------------------------------------------------------

async function stills(base, browser) {
  const work = mkdtempSync(join(tmpdir(), 'parade-web-'));
  try {
    const tsv = execFileSync(args.syncs, ['--tsv', join(args.data, 'mod2.it')], { encoding: 'utf8' });
    const desktopStrikes = tsv.split('\n').filter((line) => line.trim()).length;
    let first = true;
    for (const time of stillTimes) {
      const page = await openPage(browser, `${base}/?t=${time}`);
      const started = Date.now();
      const status = await settledStatus(page, 120000);
      const seconds = (Date.now() - started) / 1000;
      if (!status || status.state !== 'still') {
        check(false, `still at ${time}: page ended in state ${status && status.state}: ${status && status.message}`);
        await page.close();
        continue;
      }
      if (first) {
        check(status.strikes === desktopStrikes,
              `strike count: page ${status.strikes}, desktop offline render ${desktopStrikes}`);
        first = false;
      }
      const url = await page.evaluate('window.paradeStatus.png');
      await page.close();
      const webPng = Buffer.from(url.slice(url.indexOf(',') + 1), 'base64');
      const web = decodePng(webPng);
      const desktopFile = join(work, `desktop-${time}.png`);
      execFileSync(args.capture, ['frame', String(time), desktopFile, '--data', args.data], { stdio: 'ignore' });
      const desktop = decodePng(readFileSync(desktopFile));
      // --keep DIR leaves both pictures there for a look.
      if (args.keep) {
        writeFileSync(join(args.keep, `web-${time}.png`), webPng);
        copyFileSync(desktopFile, join(args.keep, `desktop-${time}.png`));
      }
      if (web.width !== desktop.width || web.height !== desktop.height) {
        check(false, `still at ${time}: ${web.width}x${web.height} against the desktop's ${desktop.width}x${desktop.height}`);
        continue;
      }
      const d = compare(web, desktop);
      check(d.share <= maxDifferentShare && d.mean <= maxMeanDifference,
            `still at ${time} (${seconds.toFixed(1)} s): ${(d.share * 100).toFixed(3)}% of pixels differ by more than ` +
            `${pixelTolerance}, mean difference ${d.mean.toFixed(2)}, largest ${d.max}`);
    }
  } finally {
    rmSync(work, { recursive: true, force: true });
  }
}

async function missingModule(base, browser) {
  const page = await openPage(browser, `${base}/nomodule/`);
  const status = await settledStatus(page, 60000);
  const shown = await page.evaluate(
    '!document.getElementById("message").hidden && document.getElementById("message-text").textContent');
  await page.close();
  check(status.state === 'failed' && typeof shown === 'string' && /mod2\.it is missing/.test(shown),
        `missing module: page in state ${status.state}, message "${shown}"`);

  // A file that is not a module is refused by the program itself once the viewer starts.
  const bad = await openPage(browser, `${base}/badmodule/`);
  await waitFor(bad, 'window.paradeStatus && window.paradeStatus.state === "ready"', 60000);
  await bad.evaluate('document.getElementById("start").click(), true');
  const badStatus = await settledStatus(bad, 60000, ['running']);
  const badShown = await bad.evaluate(
    '!document.getElementById("message").hidden && document.getElementById("message-text").textContent');
  await bad.close();
  check(badStatus.state === 'failed' && typeof badShown === 'string' && /Can't play the file/.test(badShown),
        `module that is not one: page in state ${badStatus.state}, message "${badShown}"`);
  await unfetchableFiles(base, browser);
}

// Files that cannot be fetched are named: the program (a script's load error), the music and
// a picture that fail at the network level.
async function unfetchableFiles(base, browser) {
  const message = async (page) => page.evaluate(
    '!document.getElementById("message").hidden && document.getElementById("message-text").textContent');
  const noProgram = await openPage(browser, `${base}/noprogram/`);
  const noProgramStatus = await settledStatus(noProgram, 60000);
  const noProgramShown = await message(noProgram);
  await noProgram.close();
  check(noProgramStatus.state === 'failed' && /parade\.js could not be fetched/.test(noProgramShown),
        `missing parade.js: page in state ${noProgramStatus.state}, message "${noProgramShown}"`);

  const cut = await openPage(browser, `${base}/cutoff/`);
  const cutStatus = await settledStatus(cut, 60000);
  const cutShown = await message(cut);
  await cut.close();
  check(cutStatus.state === 'failed' && /mod2\.it could not be fetched/.test(cutShown),
        `mod2.it cut off: page in state ${cutStatus.state}, message "${cutShown}"`);
}

async function waitFor(page, expression, timeoutMs) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await page.evaluate(expression);
    if (value || Date.now() > end)
      return value;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

// SyncPoints 0 to 12 and their instruments.
const syncInstruments = [10, 6, 7, 8, 9, 16, 14, 15, 4, 5, 13, 3, 2];

// While the music plays, every SyncPoint's stamp is the demo time at which its instrument's
// last strike was heard (seconds x 125/960), not the time of the frame that fired it: the
// stamps agree with the desktop's offline strike list within float rounding: the clock reads 0
// at the song's first heard frame. A stamp taken at the frame that fired it would be late by
// up to a frame (SwiftShader draws a frame in 100 ms or more).
async function syncsOnHeardNotes(page) {
  await waitFor(page, 'Module._webStrikesFiredUpTo() >= 6', 60000);
  const probe = JSON.parse(await page.evaluate(
    'JSON.stringify({ upTo: Module._webStrikesFiredUpTo(), stamps: [...Array(13).keys()].map((i) => Module._webSyncStamp(i)) })'));
  const strikes = execFileSync(args.syncs, ['--tsv', join(args.data, 'mod2.it')], { encoding: 'utf8' })
    .split('\n').filter((line) => line.trim()).map((line) => line.split('\t').map(Number));
  const offsets = [];
  let unstruck = 0;
  syncInstruments.forEach((instrument, index) => {
    const heard = strikes.filter((s) => s[6] === instrument && s[0] <= probe.upTo);
    if (heard.length === 0) {
      unstruck += probe.stamps[index] === -1 ? 0 : 1;
      return;
    }
    offsets.push(probe.stamps[index] - heard[heard.length - 1][0] * 125 / 960);
  });
  offsets.sort((a, b) => a - b);
  const median = offsets[Math.floor(offsets.length / 2)];
  const spread = offsets.length ? offsets[offsets.length - 1] - offsets[0] : Infinity;
  check(offsets.length >= 2 && unstruck === 0 && spread <= 1e-3 && Math.abs(median) <= 1e-3,
        `syncs stamp the heard notes: ${offsets.length} SyncPoints struck by ${probe.upTo.toFixed(2)} s, ` +
        `stamps within ${spread.toExponential(1)} units of each other, common offset ${median.toExponential(1)} units`);
}

// On a page of 1000x400 the band is the largest of 640:270 shape that fits, 948x400, centred:
// black columns at both sides, the picture between them.
async function bandKeepsItsShape(page) {
  await page.send('Emulation.setDeviceMetricsOverride', { width: 1000, height: 400, deviceScaleFactor: 1, mobile: false });
  await page.evaluate('new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(resolve, 500))))');
  const { data } = await page.send('Page.captureScreenshot', { format: 'png' });
  await page.send('Emulation.clearDeviceMetricsOverride');
  const shot = decodePng(Buffer.from(data, 'base64'));
  const column = (x) => {
    let lit = 0;
    for (let y = 0; y < shot.height - 60; y++) {
      const i = (y * shot.width + x) * 3;
      if (shot.rgb[i] + shot.rgb[i + 1] + shot.rgb[i + 2] > 24)
        lit++;
    }
    return lit;
  };
  const sides = [0, 12, 25, 974, 987, 999].map(column);
  const inside = [26, 200, 500, 800, 973].map(column);
  check(shot.width === 1000 && sides.every((lit) => lit === 0) && inside.filter((lit) => lit > 0).length >= 4,
        `the band keeps its shape on a 1000x400 page: lit pixels in side columns ${sides.join(' ')}, inside ${inside.join(' ')}`);
}

async function show(base, browser) {
  const page = await openPage(browser, `${base}/`);
  const ready = await waitFor(page, 'window.paradeStatus && window.paradeStatus.state === "ready"', 60000);
  check(ready, 'the page waits for a click or key');
  if (!ready) {
    await page.close();
    return;
  }
  await page.send('Input.dispatchKeyEvent', { type: 'keyDown', key: 'z', code: 'KeyZ', windowsVirtualKeyCode: 90 });
  await page.send('Input.dispatchKeyEvent', { type: 'keyUp', key: 'z', code: 'KeyZ', windowsVirtualKeyCode: 90 });
  const firstFrame = await waitFor(page, 'window.paradeStatus.firstFrameMs > 0 && window.paradeStatus.firstFrameMs', 120000);
  const readyMs = await page.evaluate('window.paradeStatus.readyMs');
  check(firstFrame > 0, `a key starts the show: ready ${Math.round(readyMs)} ms and first frame ` +
        `${Math.round(firstFrame)} ms after the page began loading`);
  const sound = await page.evaluate('Module.paradeAudioContext ? Module.paradeAudioContext.state + (Module.paradeMusic ? " with music" : "") : "none"');
  check(sound === 'running with music', `the music plays through Web Audio (${sound})`);
  await syncsOnHeardNotes(page);
  await bandKeepsItsShape(page);
  await page.send('Input.dispatchMouseEvent', { type: 'mousePressed', x: 300, y: 200, button: 'right', clickCount: 1 });
  await page.send('Input.dispatchMouseEvent', { type: 'mouseReleased', x: 300, y: 200, button: 'right', clickCount: 1 });
  const entries = await waitFor(page,
    '!document.getElementById("menu").hidden && [...document.querySelectorAll("#menu li")].map((li) => li.textContent).join("|")', 10000);
  check(entries === '(un)Pause|No effect|Effect1|Effect2|Quit', `the right button opens the menu: ${entries}`);
  await page.evaluate('[...document.querySelectorAll("#menu li")].find((li) => li.textContent === "Quit").click(), true');
  const over = await waitFor(page, 'window.paradeStatus.state === "over"', 20000);
  check(over, 'the menu\'s "Quit" ends the show with "The show is over."');
  await page.close();

  // Key q speeds the pictures up (exp(0.025) a press); at about 150 times the music's pace the
  // show reaches its end in a second or two and ends by itself.
  const fast = await openPage(browser, `${base}/`);
  await waitFor(fast, 'window.paradeStatus && window.paradeStatus.state === "ready"', 60000);
  await fast.evaluate('document.getElementById("start").click(), true');
  await waitFor(fast, 'window.paradeStatus.firstFrameMs > 0', 120000);
  for (let i = 0; i < 200; i++)
    await fast.send('Input.dispatchKeyEvent', { type: 'keyDown', key: 'q', code: 'KeyQ', windowsVirtualKeyCode: 81, text: 'q' });
  const ended = await waitFor(fast, 'window.paradeStatus.state === "over"', 60000);
  check(ended, 'key q runs the pictures faster until the show ends by itself');
  await fast.close();
  if (failed > 0)
    console.log('page console:\n  ' + browser.consoleLines.slice(-15).join('\n  '));
}

// ---- Jumps ---------------------------------------------------------------------------------
// Written with a few generic operations (evaluate, key, mouse, wait) so that they move to any
// driver.

const specialKeys = { ArrowLeft: 37, ArrowRight: 39, Home: 36 };

async function pressKey(page, key) {
  const code = specialKeys[key];
  await page.send('Input.dispatchKeyEvent', { type: 'keyDown', key, code: key, windowsVirtualKeyCode: code });
  await page.send('Input.dispatchKeyEvent', { type: 'keyUp', key, code: key, windowsVirtualKeyCode: code });
}

async function mouse(page, type, x, y, button = 'none') {
  await page.send('Input.dispatchMouseEvent', { type, x, y, button, clickCount: type === 'mouseMoved' ? 0 : 1 });
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Where the pictures and the music are, in seconds, a moment after the pictures moved on
// (SwiftShader draws a frame in 100 ms or more).
async function positions(page) {
  await page.evaluate('new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)))');
  return JSON.parse(await page.evaluate(
    'JSON.stringify({ show: Module._webShowSeconds(), music: Module._webMusicSeconds(), state: window.paradeStatus.state })'));
}

async function startedShow(browser, url) {
  const page = await openPage(browser, url);
  await waitFor(page, 'window.paradeStatus && window.paradeStatus.state === "ready"', 60000);
  await page.evaluate('document.getElementById("start").click(), true');
  await waitFor(page, 'window.paradeStatus.firstFrameMs > 0 && Module._webMusicSeconds() > 0', 120000);
  return page;
}

// The pictures within `slack` seconds of `expected`, and on the music (within two frames).
function near(where, expected, slack) {
  return Math.abs(where.show - expected) <= slack && Math.abs(where.show - where.music) <= 0.5;
}

async function jumps(base, browser) {
  // ?at=60&loop=1: the show starts a minute in, its music with it.
  const page = await startedShow(browser, `${base}/?at=60&loop=1`);
  let where = await positions(page);
  check(near(where, 60, 3), `?at=60 starts the show there: pictures at ${where.show.toFixed(2)} s, ` +
        `music at ${where.music.toFixed(2)} s`);

  // Right: a pattern on; Left twice: a pattern back from where it started; Home: the start.
  const before = where.show;
  await pressKey(page, 'ArrowRight');
  where = await positions(page);
  check(near(where, before + 7.68, 2), `Right jumps a pattern on: ${before.toFixed(2)} s to ` +
        `${where.show.toFixed(2)} s, music at ${where.music.toFixed(2)} s`);
  await pressKey(page, 'ArrowLeft');
  await pressKey(page, 'ArrowLeft');
  where = await positions(page);
  check(near(where, before - 7.68, 2), `Left twice jumps two patterns back: ${where.show.toFixed(2)} s, ` +
        `music at ${where.music.toFixed(2)} s`);
  await pressKey(page, 'Home');
  where = await positions(page);
  check(near(where, 0, 2), `Home jumps to the start: ${where.show.toFixed(2)} s, music at ${where.music.toFixed(2)} s`);

  // The bar: shown on mouse movement with the time and the pattern, hidden 2 s later.
  const shown = 'document.getElementById("scrub").classList.contains("shown")';
  await mouse(page, 'mouseMoved', 400, 200);
  await mouse(page, 'mouseMoved', 410, 210);
  const text = await waitFor(page, `${shown} && document.getElementById("scrub-label").textContent`, 5000);
  check(typeof text === 'string' && /^0:0\d\.\d \/ 3:19\.7 · pattern 1 of 26$/.test(text),
        `mouse movement shows the bar: "${text}"`);
  await sleep(2600);
  check(!(await page.evaluate(shown)), 'the bar hides 2 s after the mouse stops');

  // A drag from a quarter to three quarters of the bar moves the show there, music and all.
  await mouse(page, 'mouseMoved', 400, 200);
  await waitFor(page, shown, 5000);
  const track = JSON.parse(await page.evaluate(
    'JSON.stringify(document.getElementById("scrub-track").getBoundingClientRect())'));
  const y = track.top + track.height / 2;
  await mouse(page, 'mousePressed', track.left + track.width * 0.25, y, 'left');
  for (const share of [0.4, 0.55, 0.75])
    await mouse(page, 'mouseMoved', track.left + track.width * share, y, 'left');
  await mouse(page, 'mouseReleased', track.left + track.width * 0.75, y, 'left');
  await sleep(300);
  where = await positions(page);
  const target = 0.75 * 26 * 7.68;
  const label = await page.evaluate('document.getElementById("scrub-label").textContent');
  check(near(where, target, 3) && /pattern 20 of 26/.test(label),
        `a drag on the bar moves the show: pictures at ${where.show.toFixed(2)} s (${target.toFixed(2)} asked), ` +
        `music at ${where.music.toFixed(2)} s, "${label}"`);

  // With the loop the show goes on past its end, from its start, on the music.
  await page.evaluate('Module._webSeekSeconds(197), true');
  const round = await waitFor(page, 'Module._webShowSeconds() < 20 && window.paradeStatus.state', 30000);
  where = await positions(page);
  check(round === 'running' && where.state === 'running' && Math.abs(where.show - where.music) <= 0.5,
        `?loop=1 starts the show again at its end: pictures at ${where.show.toFixed(2)} s, ` +
        `music at ${where.music.toFixed(2)} s, page ${where.state}`);
  await page.close();

  // A bad ?at= is said and the show starts at its beginning.
  const bad = await startedShow(browser, `${base}/?at=soon`);
  where = await positions(bad);
  const notes = await bad.evaluate('document.getElementById("notes").textContent');
  check(where.show < 5 && /\?at=soon is not a time/.test(notes),
        `a bad ?at= is noted and ignored: pictures at ${where.show.toFixed(2)} s, "${notes}"`);
  await bad.close();
  if (failed > 0)
    console.log('page console:\n  ' + browser.consoleLines.slice(-15).join('\n  '));
}

const cases = { 'stills': stills, 'show': show, 'missing-module': missingModule, 'jumps': jumps };
if (!cases[args.case] || !args.site) {
  console.error('usage: page_test.mjs stills|show|missing-module|jumps --site DIR [--capture BIN --syncs BIN --data DIR]');
  process.exit(2);
}
if (!existsSync(join(args.site, 'parade.wasm'))) {
  console.error(`${args.site} holds no built page: run scripts/web-build`);
  process.exit(1);
}
const server = await startServer(args.site);
const base = `http://127.0.0.1:${server.address().port}`;
const browser = await startBrowser();
try {
  await cases[args.case](base, browser);
} catch (error) {
  check(false, `${args.case}: ${error.message}`);
} finally {
  await browser.close();
  server.close();
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
