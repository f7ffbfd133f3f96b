// Frames per second of the running show in headless Chromium (SwiftShader, software
// rendering) at 640x480, and, where the page's build exports the GL layer's counters, its
// draw calls and layer time per frame:
//   node bench/web/show_fps.mjs SITE_DIR [SECONDS] [SKIP_SECONDS]
// Serves SITE_DIR (a built site: scripts/web-build) on 127.0.0.1, opens it in Chromium with
// a 640x480 page, starts the show with a key, lets it run SKIP_SECONDS (default 5), then
// counts the animation frames the page draws for SECONDS (default 20). Prints one line.
// Needs chromium (Debian's package); talks to it over the DevTools protocol with node's own
// WebSocket (node 22 and later) or a few lines of its own.
import { spawn } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import { existsSync, mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { connect } from 'node:net';
import { tmpdir } from 'node:os';
import { extname, join, normalize } from 'node:path';

const [site, secondsText = '20', skipText = '5'] = process.argv.slice(2);
if (!site || !existsSync(join(site, 'index.html'))) {
  console.error('usage: show_fps.mjs SITE_DIR [SECONDS] [SKIP_SECONDS] (a built site with index.html)');
  process.exit(2);
}
const seconds = Number(secondsText);
const skip = Number(skipText);

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                '.wasm': 'application/wasm', '.txt': 'text/plain', '.jpg': 'image/jpeg' };

function serve(root) {
  const server = createServer((request, response) => {
    let path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    if (path.endsWith('/'))
      path += 'index.html';
    const file = normalize(join(root, path));
    if (!file.startsWith(normalize(root)) || !existsSync(file) || !statSync(file).isFile()) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream' });
    response.end(readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Text frames of the WebSocket protocol, enough for DevTools, for node without WebSocket.
function openSocket(address) {
  if (typeof WebSocket === 'function')
    return new WebSocket(address);
  const url = new URL(address);
  const socket = { buffer: Buffer.alloc(0) };
  const tcp = connect(Number(url.port), url.hostname, () => {
    tcp.write(`GET ${url.pathname} HTTP/1.1\r\nHost: ${url.host}\r\nUpgrade: websocket\r\n` +
      `Connection: Upgrade\r\nSec-WebSocket-Key: ${randomBytes(16).toString('base64')}\r\n` +
      'Sec-WebSocket-Version: 13\r\n\r\n');
  });
  let open = false;
  tcp.on('error', () => socket.onerror && socket.onerror());
  tcp.on('data', (chunk) => {
    socket.buffer = Buffer.concat([socket.buffer, chunk]);
    if (!open) {
      const end = socket.buffer.indexOf('\r\n\r\n');
      if (end < 0)
        return;
      socket.buffer = socket.buffer.subarray(end + 4);
      open = true;
      socket.onopen();
    }
    for (;;) {
      const b = socket.buffer;
      if (b.length < 2)
        return;
      let length = b[1] & 0x7f;
      let offset = 2;
      if (length === 126) {
        if (b.length < 4) return;
        length = b.readUInt16BE(2);
        offset = 4;
      } else if (length === 127) {
        if (b.length < 10) return;
        length = Number(b.readBigUInt64BE(2));
        offset = 10;
      }
      if (b.length < offset + length)
        return;
      socket.buffer = b.subarray(offset + length);
      // DevTools sends each message in one final text frame.
      if ((b[0] & 0x0f) === 1)
        socket.onmessage({ data: b.subarray(offset, offset + length).toString('utf8') });
    }
  });
  socket.send = (text) => {
    const payload = Buffer.from(text, 'utf8');
    const mask = randomBytes(4);
    let header;
    if (payload.length < 126) {
      header = Buffer.from([0x81, 0x80 | payload.length]);
    } else {
      header = Buffer.alloc(10);
      header[0] = 0x81;
      header[1] = 0x80 | 127;
      header.writeBigUInt64BE(BigInt(payload.length), 2);
    }
    for (let i = 0; i < payload.length; i++)
      payload[i] ^= mask[i & 3];
    tcp.write(Buffer.concat([header, mask, payload]));
  };
  socket.close = () => tcp.destroy();
  return socket;
}

const profile = mkdtempSync(join(tmpdir(), 'parade-fps-'));
const server = await serve(site);
const browser = spawn('chromium', [
  '--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--no-first-run', '--no-default-browser-check', '--disable-extensions', '--mute-audio',
  '--autoplay-policy=no-user-gesture-required', `--user-data-dir=${profile}`,
  '--remote-debugging-port=0', '--window-size=640,480', 'about:blank',
], { stdio: ['ignore', 'ignore', 'pipe'] });
try {
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
  });
  const socket = openSocket(endpoint);
  await new Promise((resolve, reject) => {
    socket.onopen = resolve;
    socket.onerror = () => reject(new Error('cannot reach chromium'));
  });
  let nextId = 1;
  const waiting = new Map();
  socket.onmessage = (event) => {
    const message = JSON.parse(event.data);
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
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
  const page = (method, params) => send(method, params, sessionId);
  const evaluate = async (expression) => {
    const { result, exceptionDetails } = await page('Runtime.evaluate',
      { expression, returnByValue: true, awaitPromise: true });
    if (exceptionDetails)
      throw new Error(exceptionDetails.text);
    return result.value;
  };
  await page('Runtime.enable');
  await page('Page.enable');
  await page('Emulation.setDeviceMetricsOverride',
    { width: 640, height: 480, deviceScaleFactor: 1, mobile: false });
  // Every animation-frame callback the page runs is counted: the show draws one frame in each.
  await page('Page.addScriptToEvaluateOnNewDocument', { source: `
    window.paradeAnimationFrames = 0;
    const request = window.requestAnimationFrame.bind(window);
    window.requestAnimationFrame = (callback) => request((time) => {
      window.paradeAnimationFrames++;
      callback(time);
    });` });
  const { port } = server.address();
  await page('Page.navigate', { url: `http://127.0.0.1:${port}/` });
  const waitFor = async (expression, timeoutMs) => {
    const end = Date.now() + timeoutMs;
    for (;;) {
      const value = await evaluate(expression);
      if (value || Date.now() > end)
        return value;
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
  };
  if (!await waitFor('window.paradeStatus && window.paradeStatus.state === "ready"', 120000))
    throw new Error('the page did not become ready');
  await page('Input.dispatchKeyEvent', { type: 'keyDown', key: 'z', code: 'KeyZ', windowsVirtualKeyCode: 90 });
  await page('Input.dispatchKeyEvent', { type: 'keyUp', key: 'z', code: 'KeyZ', windowsVirtualKeyCode: 90 });
  if (!await waitFor('window.paradeStatus.firstFrameMs > 0', 120000))
    throw new Error('the show did not start');
  await new Promise((resolve) => setTimeout(resolve, skip * 1000));
  const sample = `JSON.stringify({ now: performance.now(), frames: window.paradeAnimationFrames,
    layerFrames: Module._fglFrameCount ? Module._fglFrameCount() : null,
    calls: Module._fglDrawCallCount ? Module._fglDrawCallCount() : null,
    layerSeconds: Module._fglLayerSeconds ? Module._fglLayerSeconds() : null,
    canvas: document.querySelector('canvas').width + 'x' + document.querySelector('canvas').height })`;
  const first = JSON.parse(await evaluate(sample));
  await new Promise((resolve) => setTimeout(resolve, seconds * 1000));
  const last = JSON.parse(await evaluate(sample));
  const elapsed = (last.now - first.now) / 1000;
  let line = `canvas ${last.canvas}: ${((last.frames - first.frames) / elapsed).toFixed(2)} fps ` +
    `over ${elapsed.toFixed(1)} s of the running show`;
  if (last.layerFrames !== null) {
    const frames = last.layerFrames - first.layerFrames;
    line += `; layer: ${(frames / elapsed).toFixed(2)} frames/s, ` +
      `${((last.calls - first.calls) / frames).toFixed(1)} draw calls and ` +
      `${((last.layerSeconds - first.layerSeconds) * 1000 / frames).toFixed(2)} ms a frame`;
  }
  console.log(line);
  await send('Browser.close').catch(() => {});
  socket.close();
} finally {
  browser.kill('SIGKILL');
  server.close();
  setTimeout(() => rmSync(profile, { recursive: true, force: true }), 500);
}
