// The three browser engines behind one small interface, for the page's tests and benches:
// Chromium (DevTools protocol) and Firefox (WebDriver BiDi) through puppeteer-core, WebKitGTK's
// MiniBrowser through WebKitWebDriver (W3C WebDriver) with selenium-webdriver. The drivers come
// from the npm registry, installed from tests/web/package-lock.json into a folder of the build
// tree (tests/web/install-drivers), named here by `modules`.
//
//   const browser = await launchBrowser('firefox', { modules, sound: 'server' });
//   const page = await browser.open(url, { width: 800, height: 600 });
//   await page.evaluate('document.title');  await page.key('q');  await page.click(10, 10);
//   await page.screenshot();  await page.consoleMessages();  await page.close();  await browser.close();
//
// A page offers: evaluate(expression) (awaited, JSON-like result), waitFor(expression,
// timeoutMs) (the first truthy value, or null), key(name) (puppeteer key names: 'q', ' ',
// 'Escape', 'ArrowLeft'), click(x, y, button), move(x, y), down(button), up(button),
// drag(from, to), tap(x, y) (touch; Chromium only), resize(width, height), screenshot() (PNG
// bytes of the viewport), consoleMessages() (a promise of the { type, text } list), close(),
// and reveal(): a page opened with { hidden: true } loads as a tab in the background does
// (document.hidden, no animation frames) until reveal() shows it.
import { spawn, spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';

export const engineNames = ['chromium', 'firefox', 'webkit'];

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

function loadDriver(modules, name) {
  const require = createRequire(join(resolve(modules), 'index.js'));
  try {
    return require(name);
  } catch (error) {
    throw new Error(`the npm package ${name} is not installed in ${modules}: ` +
                    'run tests/web/install-drivers there (' + error.message.split('\n')[0] + ')');
  }
}

function which(program) {
  const found = spawnSync('sh', ['-c', `command -v ${program}`], { encoding: 'utf8' });
  return found.status === 0 ? found.stdout.trim() : null;
}

function freePort() {
  return new Promise((done, fail) => {
    const server = createServer();
    server.on('error', fail);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => done(port));
    });
  });
}

// Ends a process we started and the processes it started in its group.
function killGroup(child) {
  if (!child || child.exitCode !== null || child.signalCode !== null)
    return;
  try {
    process.kill(-child.pid, 'SIGKILL');
  } catch (error) {
    try { child.kill('SIGKILL'); } catch (e) { /* gone */ }
  }
}

function removeLater(folder) {
  for (let attempt = 0; attempt < 10; attempt++) {
    try {
      rmSync(folder, { recursive: true, force: true });
      return;
    } catch (error) {
      spawnSync('sleep', ['0.3']);
    }
  }
}

// ---- Helpers: a private X server, a private sound server ---------------------------------------

// A private Xvfb; resolves to { display, stop }.
export function startXvfb() {
  return new Promise((done, fail) => {
    const server = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '2560x1600x24', '-nolisten', 'tcp'],
                         { stdio: ['ignore', 'ignore', 'pipe', 'pipe'], detached: true });
    let text = '';
    let errors = '';
    const timer = setTimeout(() => {
      killGroup(server);
      fail(new Error('Xvfb did not start within 20 s: ' + errors));
    }, 20000);
    server.stderr.on('data', (chunk) => { errors += chunk; });
    server.stdio[3].on('data', (chunk) => {
      text += chunk;
      if (text.includes('\n')) {
        clearTimeout(timer);
        done({ display: ':' + text.trim(), stop: () => killGroup(server) });
      }
    });
    server.on('error', (error) => fail(new Error('cannot start Xvfb: ' + error.message)));
    server.on('exit', (code) => fail(new Error(`Xvfb ended (${code}): ${errors}`)));
  });
}

// A private PulseAudio server with one null sink: a sound output on a machine without a sound
// card. Resolves to { server, stop } where `server` is the PULSE_SERVER value.
export async function startSoundServer() {
  const home = mkdtempSync(join(tmpdir(), 'parade-pulse-'));
  const socket = join(home, 'native');
  writeFileSync(join(home, 'default.pa'),
                `load-module module-native-protocol-unix socket=${socket} auth-anonymous=1\n` +
                'load-module module-null-sink sink_name=parade\nset-default-sink parade\n');
  const env = { ...process.env, HOME: home, XDG_RUNTIME_DIR: home, XDG_CONFIG_HOME: home,
                PULSE_RUNTIME_PATH: home, PULSE_STATE_PATH: home };
  delete env.PULSE_SERVER;
  const daemon = spawn('pulseaudio', ['-n', '--daemonize=no', '--exit-idle-time=-1', '--disallow-exit',
                                      '--use-pid-file=no', '--system=false', '-F', join(home, 'default.pa')],
                       { env, stdio: ['ignore', 'ignore', 'pipe'], detached: true });
  let errors = '';
  daemon.stderr.on('data', (chunk) => { errors += chunk; });
  const stop = () => {
    killGroup(daemon);
    removeLater(home);
  };
  for (let waited = 0; waited < 15000; waited += 200) {
    if (daemon.exitCode !== null) {
      stop();
      throw new Error('pulseaudio ended: ' + errors.trim().split('\n').slice(-3).join(' / '));
    }
    const probe = spawnSync('pactl', ['--server', 'unix:' + socket, 'info'], { encoding: 'utf8' });
    if (probe.status === 0)
      return { server: 'unix:' + socket, stop };
    await sleep(200);
  }
  stop();
  throw new Error('pulseaudio did not answer within 15 s: ' + errors.trim());
}

// ---- puppeteer: Chromium and Firefox --------------------------------------------------------------

function puppeteerPage(page, messages) {
  return {
    async evaluate(expression) {
      return page.evaluate(expression);
    },
    async key(name) {
      await page.keyboard.press(name);
    },
    async click(x, y, button = 'left') {
      await page.mouse.click(x, y, { button });
    },
    async move(x, y) {
      await page.mouse.move(x, y);
    },
    async down(button = 'left') {
      await page.mouse.down({ button });
    },
    async up(button = 'left') {
      await page.mouse.up({ button });
    },
    async tap(x, y) {
      await page.touchscreen.tap(x, y);
    },
    async resize(width, height, { density = 1, touch = false } = {}) {
      await page.setViewport({ width, height, deviceScaleFactor: density, isMobile: touch, hasTouch: touch });
    },
    async screenshot() {
      return Buffer.from(await page.screenshot({ type: 'png' }));
    },
    async consoleMessages() {
      return messages.slice();
    },
    async close() {
      await page.close();
    },
  };
}

async function launchPuppeteer(engine, options) {
  const puppeteer = loadDriver(options.modules, 'puppeteer-core');
  const profile = mkdtempSync(join(tmpdir(), `parade-${engine}-`));
  const env = { ...process.env };
  if (options.soundServer)
    env.PULSE_SERVER = options.soundServer;
  let settings;
  if (engine === 'chromium') {
    const executablePath = which('chromium');
    if (!executablePath)
      throw new Error('chromium is not installed (Debian package chromium)');
    // Mesa through ANGLE's EGL draws faster than SwiftShader and as the desktop draws.
    const gl = options.swiftshader ? ['--use-angle=swiftshader', '--enable-unsafe-swiftshader']
      : ['--use-gl=angle', '--use-angle=gl-egl', '--ignore-gpu-blocklist'];
    settings = {
      executablePath,
      args: ['--no-sandbox', ...gl, '--mute-audio', '--disable-background-networking',
             '--disable-component-update', '--disable-sync', '--no-first-run',
             '--no-default-browser-check', '--disable-extensions',
             '--disable-background-timer-throttling', '--disable-renderer-backgrounding'],
    };
  } else {
    const executablePath = which('firefox-esr') || which('firefox');
    if (!executablePath)
      throw new Error('firefox-esr is not installed (Debian package firefox-esr)');
    // Headless Firefox offers WebGL 2 only when told to, through EGL.
    env.MOZ_WEBGL_FORCE_EGL = '1';
    settings = {
      browser: 'firefox',
      executablePath,
      extraPrefsFirefox: { 'webgl.force-enabled': true, 'media.autoplay.default': 0,
                           'media.autoplay.blocking_policy': 0 },
    };
  }
  const browser = await puppeteer.launch({
    ...settings,
    headless: true,
    userDataDir: profile,
    env,
    defaultViewport: { width: 800, height: 600 },
    protocolTimeout: 60000,
    handleSIGINT: false,
    handleSIGTERM: false,
    handleSIGHUP: false,
  });
  const child = browser.process();
  let backgroundTabs = 0;
  return {
    name: engine,
    version: await browser.version(),
    async open(url, { width = 800, height = 600, density = 1, touch = false, hidden = false } = {}) {
      // Hidden: Chromium opens the tab in the background; in Firefox a blank tab opened after
      // it comes to the front and hides it.
      let page;
      let cover = null;
      if (hidden && engine === 'chromium') {
        const blank = `about:blank#background-${++backgroundTabs}`;
        const session = await browser.target().createCDPSession();
        await session.send('Target.createTarget', { url: blank, background: true });
        await session.detach();
        page = await (await browser.waitForTarget((target) => target.url() === blank)).page();
      } else {
        page = await browser.newPage();
        if (hidden)
          cover = await browser.newPage();
      }
      const messages = [];
      page.on('console', (message) => messages.push({ type: message.type(), text: message.text() }));
      page.on('pageerror', (error) => messages.push({ type: 'error', text: 'uncaught: ' + error.message }));
      await page.setViewport({ width, height, deviceScaleFactor: density, isMobile: touch, hasTouch: touch });
      await page.goto(url, { waitUntil: 'load' });
      const opened = puppeteerPage(page, messages);
      const uncover = async () => {
        if (cover)
          await cover.close();
        cover = null;
      };
      opened.reveal = async () => {
        await page.bringToFront();
        await uncover();
      };
      const close = opened.close;
      opened.close = async () => {
        await uncover();
        await close();
      };
      return withWaitFor(opened);
    },
    async close() {
      await Promise.race([browser.close().catch(() => {}), sleep(10000)]);
      killGroup(child);
      removeLater(profile);
    },
    kill() {
      killGroup(child);
      removeLater(profile);
    },
  };
}

// ---- selenium-webdriver: WebKitGTK's MiniBrowser -------------------------------------------------

const miniBrowserPaths = ['/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser',
                          '/usr/lib/aarch64-linux-gnu/webkit2gtk-4.1/MiniBrowser',
                          '/usr/libexec/webkit2gtk-4.1/MiniBrowser'];

async function launchWebKit(options) {
  const webdriver = loadDriver(options.modules, 'selenium-webdriver');
  const driverPath = which('WebKitWebDriver');
  if (!driverPath)
    throw new Error('WebKitWebDriver is not installed (Debian package webkit2gtk-driver)');
  const { existsSync } = await import('node:fs');
  const binary = miniBrowserPaths.find((path) => existsSync(path));
  if (!binary)
    throw new Error('MiniBrowser is not installed (Debian package webkit2gtk-driver)');
  // MiniBrowser draws into an X window: a private Xvfb.
  const x = await startXvfb();
  const port = await freePort();
  const env = { ...process.env, DISPLAY: x.display };
  if (options.soundServer)
    env.PULSE_SERVER = options.soundServer;
  const server = spawn(driverPath, [`--port=${port}`, '--host=127.0.0.1'],
                       { env, stdio: ['ignore', 'ignore', 'pipe'], detached: true });
  let errors = '';
  server.stderr.on('data', (chunk) => { errors = (errors + chunk).slice(-4000); });
  const stop = () => {
    killGroup(server);
    x.stop();
  };
  const capabilities = new webdriver.Capabilities();
  capabilities.set('browserName', 'MiniBrowser');
  capabilities.set('webkitgtk:browserOptions', { binary, args: ['--automation'] });
  let driver = null;
  for (let attempt = 0; attempt < 50 && !driver; attempt++) {
    try {
      driver = await new webdriver.Builder().usingServer(`http://127.0.0.1:${port}`)
        .withCapabilities(capabilities).build();
    } catch (error) {
      if (server.exitCode !== null || attempt === 49) {
        stop();
        throw new Error('WebKitWebDriver gave no session: ' + error.message + '\n' + errors);
      }
      await sleep(200);
    }
  }
  const version = (await driver.getCapabilities()).get('browserVersion');
  const { Key, Button, Origin } = webdriver;
  const keyNames = { Escape: Key.ESCAPE, Enter: Key.ENTER, ArrowLeft: Key.ARROW_LEFT,
                     ArrowRight: Key.ARROW_RIGHT, ArrowUp: Key.ARROW_UP, ArrowDown: Key.ARROW_DOWN,
                     Home: Key.HOME, End: Key.END, Space: ' ' };
  const buttons = { left: Button.LEFT, middle: Button.MIDDLE, right: Button.RIGHT };
  let pointer = { x: 0, y: 0 };
  // The window's place and size before it was minimized, while it is.
  let shownRect = null;
  async function restore() {
    if (shownRect) {
      const { x, y, width, height } = shownRect;
      shownRect = null;
      await driver.manage().window().setRect({ x, y, width, height });
    }
  }
  // The page's own size, set through the window's: the difference is the window's frame.
  async function resize(width, height) {
    for (let attempt = 0; attempt < 3; attempt++) {
      const [innerWidth, innerHeight] = await driver.executeScript('return [innerWidth, innerHeight]');
      if (innerWidth === width && innerHeight === height)
        return;
      const rect = await driver.manage().window().getRect();
      await driver.manage().window().setRect({ width: rect.width + width - innerWidth,
                                               height: rect.height + height - innerHeight });
      await sleep(300);
    }
  }
  const page = {
    async evaluate(expression) {
      return driver.executeScript(`return (${expression});`);
    },
    async key(name) {
      await driver.actions().sendKeys(keyNames[name] || name).perform();
    },
    async click(x, y, button = 'left') {
      pointer = { x, y };
      await driver.actions().move({ x: Math.round(x), y: Math.round(y), origin: Origin.VIEWPORT })
        .press(buttons[button]).release(buttons[button]).perform();
    },
    async move(x, y) {
      pointer = { x, y };
      await driver.actions().move({ x: Math.round(x), y: Math.round(y), origin: Origin.VIEWPORT }).perform();
    },
    async down(button = 'left') {
      await driver.actions().move({ x: Math.round(pointer.x), y: Math.round(pointer.y), origin: Origin.VIEWPORT })
        .press(buttons[button]).perform();
    },
    async up(button = 'left') {
      await driver.actions().move({ x: Math.round(pointer.x), y: Math.round(pointer.y), origin: Origin.VIEWPORT })
        .release(buttons[button]).perform();
    },
    // One chain of actions, as a hand drags: separate round trips to the driver can leave
    // longer pauses between the steps than a page waits for.
    async drag(from, to, steps = 8) {
      const at = (i) => ({ x: Math.round(from.x + (to.x - from.x) * i / steps),
                           y: Math.round(from.y + (to.y - from.y) * i / steps), origin: Origin.VIEWPORT });
      let chain = driver.actions().move(at(0)).press(Button.LEFT);
      for (let i = 1; i <= steps; i++)
        chain = chain.move({ ...at(i), duration: 20 });
      await chain.release(Button.LEFT).perform();
      pointer = { x: to.x, y: to.y };
    },
    async tap() {
      throw new Error('touch is not offered by this driver');
    },
    async resize(width, height, { density = 1, touch = false } = {}) {
      if (density !== 1 || touch)
        throw new Error('pixel density and touch are not offered by this driver');
      await resize(width, height);
    },
    async screenshot() {
      return Buffer.from(await driver.takeScreenshot(), 'base64');
    },
    // The site's server puts a recorder of the console into every page for this engine.
    async consoleMessages() {
      return driver.executeScript('return window.paradeConsole || []');
    },
    async close() {
      await driver.get('about:blank');
    },
  };
  return {
    name: 'webkit',
    version: `MiniBrowser (WebKitGTK ${version})`,
    recordsConsole: true,
    // Hidden: the window is minimized (iconified) before the page loads, and put back by
    // reveal() or the next open().
    async open(url, { width = 800, height = 600, density = 1, touch = false, hidden = false } = {}) {
      if (density !== 1 || touch)
        throw new Error('pixel density and touch are not offered by this driver');
      await restore();
      await resize(width, height);
      // A new page starts with no key or button held from the last one.
      await driver.actions().clear();
      if (hidden) {
        shownRect = await driver.manage().window().getRect();
        await driver.manage().window().minimize();
      }
      await driver.get(url);
      return withWaitFor({ ...page, reveal: restore });
    },
    async close() {
      await Promise.race([driver.quit().catch(() => {}), sleep(10000)]);
      stop();
    },
    kill: stop,
  };
}

// waitFor over evaluate, the same for every engine.
function withWaitFor(page) {
  page.waitFor = async (expression, timeoutMs) => {
    // A page that reloads itself has no document for a moment: asked again.
    const end = Date.now() + timeoutMs;
    for (;;) {
      let value = null;
      try {
        value = await page.evaluate(expression);
      } catch (error) {
        if (Date.now() > end)
          throw error;
      }
      if (value)
        return value;
      if (Date.now() > end)
        return null;
      await sleep(100);
    }
  };
  page.drag = page.drag || async function (from, to, steps = 8) {
    await page.move(from.x, from.y);
    await page.down();
    for (let i = 1; i <= steps; i++)
      await page.move(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
    await page.up();
  };
  return page;
}

// Starts `engine` (one of engineNames). Options: modules (the folder whose node_modules holds
// the drivers), soundServer (a PULSE_SERVER for the browser's sound), swiftshader (Chromium
// draws with SwiftShader instead of Mesa).
export async function launchBrowser(engine, options) {
  if (engine === 'chromium' || engine === 'firefox')
    return launchPuppeteer(engine, options);
  if (engine === 'webkit')
    return launchWebKit(options);
  throw new Error(`no engine "${engine}": one of ${engineNames.join(', ')}`);
}
