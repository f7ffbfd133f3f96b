// A static server over a built site for the page's tests, on 127.0.0.1, with broken copies of
// the site under their own folders:
//   /nomodule/       without mod2.it (404)           /badmodule/     mod2.it that is no module
//   /noprogram/      without parade.js (404)         /nowasm/        without parade.wasm (404)
//   /lostmodule/     mod2.it's connection is cut     /lostpicture/   deita/happy2.jpg's is cut
//   /lostlist/       files.txt's connection is cut   /hugepicture/   deita/happy2.jpg says 65535x65535
//   /oldengine/      parade.wasm that no engine compiles
//   /trapsonce/      the program traps on the first load   /trapsalways/   ... on every load
//   /trapsblank/     ... on every load, with a trap that says nothing
// With `recordConsole`, every HTML page gets a small recorder of its console and uncaught
// errors (window.paradeConsole), for drivers that cannot read the console themselves.
import { existsSync, readFileSync, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, normalize } from 'node:path';

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                '.wasm': 'application/wasm', '.txt': 'text/plain', '.jpg': 'image/jpeg' };

const recorder = `<script>(function () {
  var list = window.paradeConsole = [];
  ['error', 'warn', 'log', 'info'].forEach(function (type) {
    var original = console[type];
    console[type] = function () {
      list.push({ type: type === 'warn' ? 'warning' : type,
                  text: Array.prototype.map.call(arguments, String).join(' ') });
      return original.apply(console, arguments);
    };
  });
  // Read after the page's own listeners: an error the page handled (preventDefault) is not
  // reported, as the browser does not report it either.
  window.addEventListener('error', function (event) {
    setTimeout(function () {
      if (!event.defaultPrevented)
        list.push({ type: 'error', text: 'uncaught: ' + (event.message || (event.target && event.target.src) || 'error') });
    }, 0);
  }, true);
  window.addEventListener('unhandledrejection', function (event) {
    list.push({ type: 'error', text: 'unhandled rejection: ' + event.reason });
  });
})();</script>`;

// What each broken copy does to a path: 'missing', 'cut' (the connection closes without an
// answer), or a replacement body.
const variants = {
  nomodule: { '/mod2.it': 'missing' },
  badmodule: { '/mod2.it': 'this is no tracker module' },
  noprogram: { '/parade.js': 'missing' },
  nowasm: { '/parade.wasm': 'missing' },
  lostmodule: { '/mod2.it': 'cut' },
  lostpicture: { '/deita/happy2.jpg': 'cut' },
  lostlist: { '/files.txt': 'cut' },
  hugepicture: { '/deita/happy2.jpg': hugeJpeg() },
  // What a browser that cannot compile the program meets.
  oldengine: { '/parade.wasm': Buffer.from([0x00, 0x61, 0x73, 0x6d, 0x01, 0x00, 0x00, 0x00, 0x7f, 0x01, 0x00]) },
  trapsonce: { '/index.html': (html) => html.replace('</body>', trapScript(false, 'a trap for the test') + '</body>') },
  trapsalways: { '/index.html': (html) => html.replace('</body>', trapScript(true, 'a trap for the test') + '</body>') },
  trapsblank: { '/index.html': (html) => html.replace('</body>', trapScript(true, '') + '</body>') },
};

// The program's first step of getting ready traps as WebAssembly traps, saying `message`, on the
// first load of the page only or on every load.
function trapScript(always, message) {
  return `<script>(function () {
  var reloaded = performance.getEntriesByType('navigation')[0].type === 'reload';
  if (${always} || !reloaded) {
    var ready = Module.onRuntimeInitialized;
    Module.onRuntimeInitialized = function () {
      Module._webPrepareStep = function () { throw new WebAssembly.RuntimeError(${JSON.stringify(message)}); };
      ready();
    };
  }
})();</script>`;
}

// A JPEG whose frame says 65535x65535 pixels, past the library's limit: its decoder leaves
// through the error exit's longjmp.
function hugeJpeg() {
  return Buffer.from([
    0xff, 0xd8, // start of image
    0xff, 0xc0, 0x00, 0x0b, 0x08, 0xff, 0xff, 0xff, 0xff, 0x01, 0x01, 0x11, 0x00, // baseline frame
    0xff, 0xda, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3f, 0x00, // scan
    0xff, 0xd9, // end of image
  ]);
}

export function startSiteServer(site, { recordConsole = false } = {}) {
  const root = normalize(site);
  const server = createServer((request, response) => {
    let path;
    try {
      path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    } catch (error) {
      response.writeHead(400);
      response.end();
      return;
    }
    const variant = variants[path.split('/')[1]];
    if (variant)
      path = path.slice(path.indexOf('/', 1));
    if (path.endsWith('/'))
      path += 'index.html';
    const change = variant && variant[path];
    if (change === 'cut') {
      request.socket.destroy();
      return;
    }
    if ((typeof change === 'string' && change !== 'missing') || Buffer.isBuffer(change)) {
      response.writeHead(200, { 'Content-Type': 'application/octet-stream' });
      response.end(change);
      return;
    }
    const file = normalize(join(root, path));
    if (change === 'missing' || !file.startsWith(root) || !existsSync(file) || !statSync(file).isFile()) {
      response.writeHead(404);
      response.end('not found');
      return;
    }
    let body = readFileSync(file);
    if (typeof change === 'function')
      body = Buffer.from(change(body.toString('utf8')));
    if (recordConsole && extname(file) === '.html')
      body = Buffer.from(body.toString('utf8').replace('<head>', '<head>' + recorder));
    response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream',
                              'Cache-Control': 'no-store' });
    response.end(body);
  });
  return new Promise((done) => server.listen(0, '127.0.0.1', () => {
    done({ base: `http://127.0.0.1:${server.address().port}`, close: () => server.close() });
  }));
}
