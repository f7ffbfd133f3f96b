// The browser build in one engine (Chromium, Firefox or WebKitGTK), through the drivers of
// drivers.mjs:
//   node page_test.mjs --engine ENGINE --site DIR --modules DIR --capture BIN --syncs BIN
//                      --data DIR --references DIR [--cases a,b] [--keep DIR]
// Cases (each a function over the driver-neutral page of drivers.mjs):
//   stills   stills at chosen demo times match the desktop capture within a tolerance, one of
//            them on a 1920x1080 page, and the page's strike count is the desktop offline
//            render's
//   show     the page is ready before the click; a key starts it; the first frame after the
//            key, frames per second and draw calls are reported; the show runs 20 s with the
//            heard music advancing; the syncs stamp the heard notes; the band keeps its shape
//            on an odd page size; the audio suspended and resumed moves the show to the page's
//            clock with "no sound" and back; the menu's Quit ends it; key q runs the pictures
//            to the end; no console errors
//   nosound  without a sound output the show runs on the page's clock and says "no sound";
//            a jump moves that clock too
//   jumps    ?at= starts the show there and ?loop=1 loops it past its end; the arrow keys and
//            Home jump the pictures and the music together; the scrub bar appears on mouse
//            movement with the time and the pattern, hides 2 s later, and a drag on it moves
//            the show; a bad ?at= is noted and ignored; Right held and pressed faster than
//            frames adds up into one jump a frame and Escape after a burst ends the show at once;
//            the bar held at its end does not end the show, and after the show has played to its
//            end the bar, Home and Left take it back in; a fault while a jump draws stops the
//            show with a message
//   background  a page loaded in a tab in the background gets ready while hidden; shown, a
//            click starts the show
//   missing  missing or broken files give messages naming them
//   phone    a touch screen at 3x density: "Tap", a tap starts, the canvas covers the band
//            with at most 2.5 million pixels, buttons of 44 px at least
// A case that gets no answer within its time (Firefox can hang in its audio start-up on a
// loaded machine) ends the browser with a line saying so and runs once more in a new one.
// Prints one line per check and "N passed, N failed".
import { execFileSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, readFileSync, statSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { engineNames, launchBrowser, startSoundServer } from './drivers.mjs';
import { comparePictures, decodePng } from './png.mjs';
import { startSiteServer } from './site_server.mjs';

// Demo times (pattern units) of the stills: the opening zoom stack and act 32, act 30, the
// sponsor overlay, the extra flip-book, a late act with the alternating backdrop, and the
// closing pictures.
const stillTimes = [0.5, 2.6, 5.3, 6.6, 12.6, 20.3, 24.9];
// One still at full HD (a page of that size at density 1), where lines and points are drawn
// thicker with the band: the wire act.
const largeStill = { time: 20.3, width: 1920, height: 1080 };
// Per-channel difference above which a pixel counts as different, and the share of such
// pixels a still may have. Engines drawing through another rasteriser than the desktop's
// llvmpipe round, filter and rasterise edges a little differently: measured at most 0.65% of
// pixels beyond 24 (one-pixel shifts of wire edges and points) and a mean of 1.9 per channel
// (rounding summed over the many additive picture layers). A wrong effect, act, texture or
// strike moves 10 to 40% of the pixels.
// Chromium draws through Mesa as the desktop does: measured at most 0.001% of pixels beyond 24
// and a mean of 0.03, so it is held tighter.
const pixelTolerance = 24;
const stillLimits = { chromium: { share: 0.001, mean: 0.3 }, firefox: { share: 0.02, mean: 3.0 },
                      webkit: { share: 0.02, mean: 3.0 } };
// Seconds the running show is watched.
const showSeconds = 20;

const casesOf = { chromium: ['stills', 'show', 'jumps', 'background', 'missing', 'phone'],
                  firefox: ['stills', 'show', 'jumps', 'background', 'missing', 'nosound'],
                  webkit: ['stills', 'show', 'jumps', 'background', 'missing'] };
// The most a case may take before the browser counts as hung.
const caseSeconds = { stills: 420, show: 300, jumps: 360, background: 240, nosound: 120, missing: 180, phone: 120 };

const args = parseArgs(process.argv.slice(2));
let passed = 0;
let failed = 0;

function parseArgs(list) {
  const out = {};
  for (let i = 0; i < list.length; i += 2)
    out[list[i].replace(/^--/, '')] = list[i + 1];
  return out;
}

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// ---- One attempt of a case: its checks count only when it finishes ---------------------------

function makeRun(engine) {
  const lines = [];
  return {
    engine,
    lines,
    check(ok, what) {
      lines.push({ ok: !!ok, text: `${ok ? 'ok  ' : 'FAIL'} ${engine}: ${what}` });
    },
    report(what) {
      lines.push({ ok: null, text: `     ${engine}: ${what}` });
    },
  };
}

const readStatus = 'JSON.stringify({ ...window.paradeStatus, png: undefined })';

async function status(page) {
  return JSON.parse(await page.evaluate(readStatus));
}

// Waits until the page is ready (or failed); returns its status.
async function whenReady(page, timeoutMs = 120000) {
  await page.waitFor('window.paradeStatus && !["loading"].includes(window.paradeStatus.state)', timeoutMs);
  return status(page);
}

function errorsOf(messages) {
  return messages.filter((m) => m.type === 'error').map((m) => m.text);
}

// ---- stills -------------------------------------------------------------------------------------

function desktopStrikes() {
  const tsv = execFileSync(args.syncs, ['--tsv', join(args.data, 'mod2.it')], { encoding: 'utf8' });
  return tsv.split('\n').filter((line) => line.trim()).map((line) => line.split('\t').map(Number));
}

// The desktop's still at `time` and `size`, made once into the references folder.
function desktopStill(time, size) {
  mkdirSync(args.references, { recursive: true });
  const file = join(args.references, `desktop-${time}${size === '640x480' ? '' : '-' + size}.png`);
  const made = existsSync(file) ? statSync(file).mtimeMs : 0;
  if (made < statSync(args.capture).mtimeMs || made < statSync(join(args.data, 'mod2.it')).mtimeMs)
    execFileSync(args.capture, ['frame', String(time), file, '--size', size, '--data', args.data], { stdio: 'ignore' });
  return file;
}

async function stills(run, session) {
  const strikeCount = desktopStrikes().length;
  let first = true;
  const shots = stillTimes.map((time) => ({ time, width: 640, height: 480 })).concat([largeStill]);
  for (const { time, width, height } of shots) {
    const size = `${width}x${height}`;
    const name = size === '640x480' ? `${time}` : `${time} at ${size}`;
    const page = size === '640x480' ? await session.open(`/?t=${time}`, { width: 800, height: 600 })
      : await session.open(`/?t=${time}&size=${size}`, { width, height });
    const started = Date.now();
    await page.waitFor('window.paradeStatus && ["still", "failed"].includes(window.paradeStatus.state)', 120000);
    const state = await status(page);
    const seconds = (Date.now() - started) / 1000;
    if (state.recovered)
      console.log(`     ${run.engine}: still at ${name}: the program trapped (${state.recovered}); the page loaded it once more`);
    if (state.state !== 'still') {
      run.check(false, `still at ${name}: page in state ${state.state}: ${state.message}`);
      await page.close();
      continue;
    }
    if (first) {
      run.check(state.strikes === strikeCount, `strike count: page ${state.strikes}, desktop offline render ${strikeCount}`);
      first = false;
    }
    const url = await page.evaluate('window.paradeStatus.png');
    const errors = errorsOf(await page.consoleMessages());
    await page.close();
    const webPng = Buffer.from(url.slice(url.indexOf(',') + 1), 'base64');
    const web = decodePng(webPng);
    const desktopFile = desktopStill(time, size);
    const desktop = decodePng(readFileSync(desktopFile));
    // --keep DIR leaves both pictures there for a look.
    if (args.keep) {
      mkdirSync(args.keep, { recursive: true });
      writeFileSync(join(args.keep, `${run.engine}-${time}-${size}.png`), webPng);
      copyFileSync(desktopFile, join(args.keep, `desktop-${time}-${size}.png`));
    }
    if (web.width !== desktop.width || web.height !== desktop.height) {
      run.check(false, `still at ${name}: ${web.width}x${web.height} against the desktop's ${desktop.width}x${desktop.height}`);
      continue;
    }
    const d = comparePictures(web, desktop, pixelTolerance);
    const limits = stillLimits[run.engine];
    run.check(d.share <= limits.share && d.mean <= limits.mean && errors.length === 0,
              `still at ${name} (${seconds.toFixed(1)} s): ${(d.share * 100).toFixed(3)}% of pixels differ by more than ` +
              `${pixelTolerance}, mean difference ${d.mean.toFixed(2)}, largest ${d.max}` +
              (errors.length ? `; console errors: ${errors.join(' / ')}` : ''));
  }
}

// ---- show ---------------------------------------------------------------------------------------

// SyncPoints 0 to 12 and their instruments.
const syncInstruments = [10, 6, 7, 8, 9, 16, 14, 15, 4, 5, 13, 3, 2];

// While the music plays, every SyncPoint's stamp is the demo time at which its instrument's
// last strike was heard (seconds x 125/960), not the time of the frame that fired it: the
// stamps agree with the desktop's offline strike list within float rounding.
async function syncsOnHeardNotes(run, page) {
  const probe = JSON.parse(await page.evaluate(
    'JSON.stringify({ upTo: Module._webStrikesFiredUpTo(), stamps: [...Array(13).keys()].map((i) => Module._webSyncStamp(i)) })'));
  const strikes = desktopStrikes();
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
  run.check(offsets.length >= 2 && unstruck === 0 && spread <= 1e-3 && Math.abs(median) <= 1e-3,
            `syncs stamp the heard notes: ${offsets.length} SyncPoints struck by ${probe.upTo.toFixed(2)} s, ` +
            `stamps within ${spread.toExponential(1)} units of each other, common offset ${median.toExponential(1)} units`);
}

// On an odd page size the canvas covers the band, the largest 640:270 rectangle that fits,
// the black left over split 90 : 120 above and below, evenly at the sides; the picture shows
// in it and the page beside it is black.
async function bandOnOddPage(run, page) {
  const width = 1001, height = 399;
  await page.resize(width, height);
  await page.evaluate('new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(done, 500))))');
  const box = JSON.parse(await page.evaluate(
    'JSON.stringify((({ left, top, width, height }) => ({ left, top, width, height, pixels: [canvas.width, canvas.height], page: [innerWidth, innerHeight] }))(canvas.getBoundingClientRect()))'));
  const bandWidth = Math.min(box.page[0], box.page[1] * 640 / 270);
  const bandHeight = bandWidth * 270 / 640;
  const left = (box.page[0] - bandWidth) / 2;
  const top = (box.page[1] - bandHeight) * 90 / 210;
  const placed = Math.abs(box.left - left) <= 1 && Math.abs(box.top - top) <= 1 &&
    Math.abs(box.width - bandWidth) <= 1 && Math.abs(box.height - bandHeight) <= 1;
  const shot = decodePng(await page.screenshot());
  const column = (x) => {
    let lit = 0;
    for (let y = 0; y < shot.height - 70; y++) {
      const i = (y * shot.width + x) * 3;
      if (shot.rgb[i] + shot.rgb[i + 1] + shot.rgb[i + 2] > 24)
        lit++;
    }
    return lit;
  };
  const scale = shot.width / box.page[0];
  const sides = [0, Math.floor(left / 2), Math.floor(left) - 2].flatMap((x) => [x, box.page[0] - 1 - x])
    .map((x) => column(Math.round(x * scale)));
  const inside = [0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9].map((f) => column(Math.round((left + f * bandWidth) * scale)));
  run.check(box.page[0] === width && box.page[1] === height && placed && sides.every((lit) => lit === 0) &&
            inside.filter((lit) => lit > 0).length >= 3,
            `the band on a ${box.page[0]}x${box.page[1]} page: canvas at ${box.left.toFixed(1)},${box.top.toFixed(1)} ` +
            `${box.width.toFixed(1)}x${box.height.toFixed(1)} (${box.pixels.join('x')} pixels; band ${left.toFixed(1)},${top.toFixed(1)} ` +
            `${bandWidth.toFixed(1)}x${bandHeight.toFixed(1)}); lit pixels in side columns ${sides.join(' ')}, inside ${inside.join(' ')}`);
  await page.resize(800, 600);
}

// The audio taken away and given back: the show goes on on the page's clock with "no sound",
// then follows the heard music again from where the pictures are.
async function soundTakenAwayAndBack(run, page) {
  const before = await page.evaluate('Module._webStrikesFiredUpTo()');
  await page.evaluate('Module.paradeAudioContext.suspend().then(() => true)');
  await sleep(2000);
  const away = JSON.parse(await page.evaluate(
    'JSON.stringify({ sound: paradeStatus.sound, note: !document.getElementById("sound-note").hidden, at: Module._webStrikesFiredUpTo() })'));
  await page.evaluate('Module.paradeAudioContext.resume().then(() => true)');
  await sleep(2000);
  const back = JSON.parse(await page.evaluate(
    'JSON.stringify({ sound: paradeStatus.sound, note: !document.getElementById("sound-note").hidden, at: Module._webStrikesFiredUpTo(), playing: !!(Module.paradeMusic && Module.paradeMusic.source) })'));
  run.check(away.sound === 'none' && away.note && away.at - before > 1.0 &&
            back.sound === 'playing' && !back.note && back.playing && back.at - away.at > 1.0,
            `audio suspended: "${away.sound}", note shown ${away.note}, the show went on ${(away.at - before).toFixed(2)} s ` +
            `in 2 s; resumed: "${back.sound}", music playing ${back.playing}, on ${(back.at - away.at).toFixed(2)} s in 2 s`);
}

async function show(run, session) {
  const page = await session.open('/', { width: 800, height: 600 });
  const ready = await whenReady(page);
  run.check(ready.state === 'ready', `ready before the click (${ready.state}${ready.message ? ': ' + ready.message : ''})`);
  if (ready.state !== 'ready') {
    await page.close();
    return;
  }
  // Responsive while it readied: the page answers at once.
  await page.key('z');
  const firstFrame = await page.waitFor('window.paradeStatus.firstFrameMs > 0', 60000);
  const started = await status(page);
  const afterStart = started.firstFrameMs - started.startMs;
  run.check(firstFrame, `a key starts the show: ready ${Math.round(started.readyMs)} ms after load, first frame ` +
            `${Math.round(afterStart)} ms after the key`);
  run.report(`figures: ready ${Math.round(started.readyMs)} ms; first frame after the key ${Math.round(afterStart)} ms`);
  // Past the first frame, then the show is watched for showSeconds.
  await page.waitFor('Module._webStrikesFiredUpTo() > 0.5 || (window.paradeStatus.sound === "none" && window.paradeStatus.state === "running")', 20000);
  const counters = 'JSON.stringify({ heard: Module._webStrikesFiredUpTo(), frames: Module._fglFrameCount ? Module._fglFrameCount() : -1, ' +
    'calls: Module._fglDrawCallCount ? Module._fglDrawCallCount() : -1, sound: paradeStatus.sound, state: paradeStatus.state, now: performance.now() })';
  const a = JSON.parse(await page.evaluate(counters));
  await sleep(showSeconds * 1000);
  const b = JSON.parse(await page.evaluate(counters));
  const wall = (b.now - a.now) / 1000;
  const heard = b.heard - a.heard;
  const fps = (b.frames - a.frames) / wall;
  const calls = b.frames > a.frames ? (b.calls - a.calls) / (b.frames - a.frames) : NaN;
  run.check(b.state === 'running' && b.sound === 'playing' && heard > 0.85 * wall && heard < 1.1 * wall,
            `the show runs ${wall.toFixed(1)} s with the music heard advancing ${heard.toFixed(2)} s (sound "${b.sound}")`);
  run.report(`figures: ${fps.toFixed(1)} frames per second over ${wall.toFixed(1)} s, ` +
             (a.calls >= 0 ? `${calls.toFixed(0)} draw calls a frame` : 'draw calls: the layer exposes no counter'));
  await syncsOnHeardNotes(run, page);
  await bandOnOddPage(run, page);
  await soundTakenAwayAndBack(run, page);
  await page.click(300, 200, 'right');
  const entries = await page.waitFor(
    '!document.getElementById("menu").hidden && [...document.querySelectorAll("#menu li")].map((li) => li.textContent).join("|")', 10000);
  run.check(entries === '(un)Pause|No effect|Effect1|Effect2|Quit', `the right button opens the menu: ${entries}`);
  const quit = JSON.parse(await page.evaluate(
    'JSON.stringify((({ left, top, width, height }) => ({ x: left + width / 2, y: top + height / 2 }))([...document.querySelectorAll("#menu li")].find((li) => li.textContent === "Quit").getBoundingClientRect()))'));
  await page.click(quit.x, quit.y);
  const over = await page.waitFor('window.paradeStatus.state === "over"', 20000);
  run.check(over, 'the menu\'s "Quit" ends the show with "The show is over."');
  const errors = errorsOf(await page.consoleMessages());
  await page.close();

  // Escape ends the show at once.
  const escape = await session.open('/', { width: 640, height: 480 });
  await whenReady(escape);
  await escape.click(320, 240);
  await escape.waitFor('window.paradeStatus.firstFrameMs > 0', 60000);
  await escape.key('Escape');
  const escaped = await escape.waitFor('window.paradeStatus.state === "over"', 20000);
  run.check(escaped, 'Escape ends the show');
  errors.push(...errorsOf(await escape.consoleMessages()));
  await escape.close();
  run.check(errors.length === 0, `no console errors${errors.length ? ': ' + errors.join(' / ') : ''}`);

  // Key q speeds the pictures up (exp(0.025) a press): at about 20 times the music's pace the
  // show reaches its end within seconds and ends by itself.
  const fast = await session.open('/', { width: 640, height: 480 });
  await whenReady(fast);
  await fast.click(320, 240);
  await fast.waitFor('window.paradeStatus.firstFrameMs > 0', 60000);
  for (let i = 0; i < 120; i++)
    await fast.key('q');
  const ended = await fast.waitFor('window.paradeStatus.state === "over"', 90000);
  run.check(ended, 'key q runs the pictures faster until the show ends by itself');
  await fast.close();
}

// ---- nosound ------------------------------------------------------------------------------------

async function nosound(run, session) {
  const page = await session.open('/', { width: 800, height: 600 });
  await whenReady(page);
  await page.click(400, 300);
  await page.waitFor('window.paradeStatus.firstFrameMs > 0', 60000);
  const state = await page.waitFor('window.paradeStatus.sound && window.paradeStatus.sound', 10000);
  const a = JSON.parse(await page.evaluate('JSON.stringify({ heard: Module._webStrikesFiredUpTo(), now: performance.now() })'));
  await sleep(5000);
  const b = JSON.parse(await page.evaluate(
    'JSON.stringify({ heard: Module._webStrikesFiredUpTo(), now: performance.now(), note: !document.getElementById("sound-note").hidden && document.getElementById("sound-note").textContent, context: Module.paradeAudioContext ? Module.paradeAudioContext.state : "none", state: paradeStatus.state })'));
  const wall = (b.now - a.now) / 1000;
  run.check(state === 'none' && b.note === 'no sound' && b.state === 'running' && b.heard - a.heard > 0.9 * wall,
            `without a sound output (audio context "${b.context}"): sound "${state}", the note says "${b.note}", ` +
            `the show goes on ${(b.heard - a.heard).toFixed(2)} s in ${wall.toFixed(1)} s on the page's clock`);
  // A jump moves the page's clock with the pictures.
  const before = await positions(page);
  await page.key('ArrowRight');
  const after = await positions(page);
  run.check(near(after, before.show + 7.68, 2),
            `without sound Right jumps a pattern on: ${before.show.toFixed(2)} s to ${after.show.toFixed(2)} s, ` +
            `the music's place at ${after.music.toFixed(2)} s`);
  await page.close();
}

// ---- jumps -------------------------------------------------------------------------------------

// Where the pictures and the music are, in seconds, a moment after the pictures moved on.
async function positions(page) {
  await page.evaluate('new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(() => done(true))))');
  return JSON.parse(await page.evaluate(
    'JSON.stringify({ show: Module._webShowSeconds(), music: Module._webMusicSeconds(), state: paradeStatus.state, now: performance.now() })'));
}

// The pictures within `slack` seconds of `expected`, and on the music.
function near(where, expected, slack) {
  return Math.abs(where.show - expected) <= slack && Math.abs(where.show - where.music) <= 0.5;
}

async function startedShow(session, path) {
  const page = await session.open(path, { width: 800, height: 600 });
  await whenReady(page);
  await page.click(400, 300);
  await page.waitFor('window.paradeStatus.firstFrameMs > 0 && Module._webMusicSeconds() > 0', 60000);
  return page;
}

// A key as the browser hands it to the page: a keydown on the window with its key code
// (39 Right, 27 Escape).
const pressKey = `((code) => { const e = new KeyboardEvent('keydown', { bubbles: true, cancelable: true });
  Object.defineProperty(e, 'keyCode', { value: code }); window.dispatchEvent(e); })`;

// Right held (with the loop on): three presses every animation frame for 30 frames, faster
// than jumps can be drawn. Presses that come before a jump's frame add up into one jump: the
// show moves all 90 patterns with its music, drawing about a frame a frame (one a press would
// draw 90 or more). Then 60 presses and Escape queued at once, each its own task as keys come
// from the browser: Escape ends the show after at most a frame or two drawn, not behind 60
// jumps.
async function heldKeys(run, page) {
  const held = JSON.parse(await page.evaluate(`new Promise((done) => {
    const press = ${pressKey};
    const first = { show: Module._webShowSeconds(), now: performance.now(), frames: Module._fglFrameCount() };
    let ticks = 0;
    const tick = () => {
      if (ticks++ < 30) {
        for (let i = 0; i < 3; i++)
          press(39);
        requestAnimationFrame(tick);
        return;
      }
      // The jump's frame is shown by the next frame.
      requestAnimationFrame(() => requestAnimationFrame(() => done(JSON.stringify({
        first, ticks: ticks + 2, frames: Module._fglFrameCount() - first.frames,
        show: Module._webShowSeconds(), music: Module._webMusicSeconds(), now: performance.now() }))));
    };
    requestAnimationFrame(tick);
  })`));
  // 90 patterns on, going round at the end, and on by at most the time the hold took (each
  // jump waits a moment for its music to start).
  const length = 26 * 7.68;
  const jumped = (held.first.show + 90 * 7.68) % length;
  const later = ((held.show - jumped) % length + 1.5 * length) % length - 0.5 * length;
  const took = (held.now - held.first.now) / 1000;
  const withMusic = Math.abs(held.show - held.music) <= 0.5;
  run.check(later >= -1 && later <= took + 1 && withMusic && held.frames <= held.ticks + 3,
            `Right held (90 presses over ${held.ticks} frames, ${took.toFixed(1)} s): ${held.frames} frames drawn, ` +
            `the show from ${held.first.show.toFixed(2)} s to ${held.show.toFixed(2)} s (${jumped.toFixed(2)} s and ` +
            `up to ${took.toFixed(1)} s on expected), music at ${held.music.toFixed(2)} s`);
  const escape = JSON.parse(await page.evaluate(`new Promise((done) => {
    const press = ${pressKey};
    const channel = new MessageChannel();
    const keys = Array(60).fill(39).concat([27]);
    channel.port1.onmessage = () => press(keys.shift());
    const frames = Module._fglFrameCount();
    const start = performance.now();
    keys.forEach(() => channel.port2.postMessage(0));
    const wait = () => {
      if (paradeStatus.state !== 'running')
        done(JSON.stringify({ state: paradeStatus.state, frames: Module._fglFrameCount() - frames, ms: performance.now() - start }));
      else
        setTimeout(wait, 5);
    };
    wait();
  })`));
  run.check(escape.state === 'over' && escape.frames <= 3,
            `60 Right presses and Escape queued at once: the show ends after ${escape.frames} frames drawn ` +
            `(${escape.ms.toFixed(0)} ms), page ${escape.state}`);
}

// The bar held at its right end keeps the show on its last frame without ending it; dragged
// back and let go, the show plays on from there. Played to its end, the show is over, and the
// bar, Home and Left take it back in.
async function barNeverEndsTheShow(run, session) {
  const page = await startedShow(session, '/?at=170');
  // The bar shows on mouse movement: two moves, so that the pointer surely moves.
  const showBar = async () => {
    await page.move(400, 200);
    await page.move(410, 210);
    await page.waitFor('document.getElementById("scrub").classList.contains("shown")', 5000);
  };
  await showBar();
  const track = JSON.parse(await page.evaluate(
    'JSON.stringify(document.getElementById("scrub-track").getBoundingClientRect())'));
  const y = track.top + track.height / 2;
  const at = (share) => track.left + track.width * share;
  // At the end while the music's clock goes on a second (the pictures would follow it past
  // the end), or no longer running.
  const heldAtEnd = `new Promise((done) => {
    let reached = -1;
    const look = () => {
      if (paradeStatus.state !== 'running')
        return done(paradeStatus.state);
      if (Module._webShowSeconds() >= 199.68 - 1e-3) {
        const heard = Module.paradeSound.read();
        if (reached < 0)
          reached = heard;
        else if (heard - reached >= 1)
          return done('held at the end');
      }
      requestAnimationFrame(look);
    };
    look();
  })`;
  await page.move(at(0.9), y);
  await page.down();
  await page.move(at(0.95), y);
  await page.move(Math.min(track.left + track.width + 10, await page.evaluate('innerWidth') - 1), y);
  const atEnd = await page.evaluate(heldAtEnd);
  await page.move(at(0.5), y);
  await page.up();
  const released = await page.evaluate('performance.now()');
  await page.waitFor('paradeStatus.state !== "running" || Module._webMusicSeconds() < 150', 10000);
  let where = await positions(page);
  const target = 0.5 * 26 * 7.68 + (where.now - released) / 1000;
  run.check(atEnd === 'held at the end' && where.state === 'running' && near(where, target, 3),
            `the bar held past its end: ${atEnd}; dragged back to the middle and let go: page ${where.state}, ` +
            `pictures at ${where.show.toFixed(2)} s (${target.toFixed(2)} expected), music at ${where.music.toFixed(2)} s`);

  // Played to its end: over; then each of Left, Home and the bar takes the show back in.
  const playedToEnd = async () => {
    await showBar();
    await page.click(at(0.995), y);
    return page.waitFor('paradeStatus.state === "over" && document.getElementById("message-text").textContent', 20000);
  };
  const ways = [
    ['Left', () => page.key('ArrowLeft'), 26 * 7.68 - 7.68],
    ['Home', () => page.key('Home'), 0],
    ['the bar', async () => {
      await showBar();
      await page.click(at(0.25), y);
    }, 0.25 * 26 * 7.68],
  ];
  for (const [name, back, expected] of ways) {
    const over = await playedToEnd();
    const asked = await page.evaluate('performance.now()');
    await back();
    const sound = await page.waitFor('paradeStatus.state === "running" && paradeStatus.sound === "playing" && paradeStatus.sound', 10000);
    where = await positions(page);
    const target = expected + (where.now - asked) / 1000;
    run.check(over === 'The show is over.' && where.state === 'running' && near(where, target, 3) && sound,
              `played to its end ("${over}"), ${name} takes the show back in: page ${where.state}, pictures at ` +
              `${where.show.toFixed(2)} s (${target.toFixed(2)} expected), music at ${where.music.toFixed(2)} s, ` +
              `sound "${sound || 'none'}"`);
  }
  const errors = errorsOf(await page.consoleMessages());
  await page.close();
  return errors;
}

// A fault in the program while it draws a jump (WebKit's JIT faults now and then, at a
// different place each time) stops the show with a message naming it. It never leaves the
// pictures held at the jump's moment while the music plays on (once seen as the show at 0 s
// with the music at 2 s). The fault is thrown from the first draw call of Home's frame.
async function faultInJump(run, session) {
  const page = await startedShow(session, '/?at=30');
  await page.evaluate(`(() => {
    const gl = Module.ctx;
    let armed = true;
    for (const name of ['drawArrays', 'drawElements']) {
      const draw = gl[name];
      gl[name] = function () {
        if (armed && Module._webShowSeconds() === 0) {
          armed = false;
          throw new WebAssembly.RuntimeError('a fault for the test');
        }
        return draw.apply(this, arguments);
      };
    }
    return true;
  })()`);
  await page.key('Home');
  await page.waitFor('paradeStatus.state !== "running" || (Module._webMusicSeconds() > 2 && Module._webMusicSeconds() < 20)', 20000);
  const after = JSON.parse(await page.evaluate(
    'JSON.stringify({ state: paradeStatus.state, show: Module._webShowSeconds(), music: Module._webMusicSeconds(), message: paradeStatus.message })'));
  await page.close();
  run.check(after.state === 'failed' && /a fault for the test/.test(after.message),
            `a fault while drawing a jump: page ${after.state}, pictures at ${after.show.toFixed(2)} s, ` +
            `music at ${after.music.toFixed(2)} s${after.message ? ', "' + after.message.replace(/\n/g, ' / ') + '"' : ''}`);
}

async function jumps(run, session) {
  // ?at=60&loop=1: the show starts a minute in, its music with it.
  const page = await startedShow(session, '/?at=60&loop=1');
  let where = await positions(page);
  run.check(near(where, 60, 3), `?at=60 starts the show there: pictures at ${where.show.toFixed(2)} s, ` +
            `music at ${where.music.toFixed(2)} s`);

  // Right: a pattern on; Left twice: two patterns back; Home: the start. The show runs on
  // meanwhile: a loaded machine may take seconds between the reads.
  const since = (from) => (where.now - from.now) / 1000;
  let from = where;
  await page.key('ArrowRight');
  where = await positions(page);
  run.check(near(where, from.show + 7.68 + since(from), 2), `Right jumps a pattern on: ${from.show.toFixed(2)} s to ` +
            `${where.show.toFixed(2)} s (${since(from).toFixed(2)} s later), music at ${where.music.toFixed(2)} s`);
  from = where;
  await page.key('ArrowLeft');
  await page.key('ArrowLeft');
  where = await positions(page);
  run.check(near(where, from.show - 2 * 7.68 + since(from), 2), `Left twice jumps two patterns back: ${from.show.toFixed(2)} s to ` +
            `${where.show.toFixed(2)} s (${since(from).toFixed(2)} s later), music at ${where.music.toFixed(2)} s`);
  from = JSON.parse(await page.evaluate('JSON.stringify({ now: performance.now() })'));
  await page.key('Home');
  where = await positions(page);
  run.check(near(where, since(from), 2), `Home jumps to the start: ${where.show.toFixed(2)} s (${since(from).toFixed(2)} s ` +
            `after the key), music at ${where.music.toFixed(2)} s`);

  // The bar: shown on mouse movement with the time and the pattern, hidden 2 s later.
  const shown = 'document.getElementById("scrub").classList.contains("shown")';
  await page.move(400, 200);
  await page.move(410, 210);
  const text = await page.waitFor(`${shown} && document.getElementById("scrub-label").textContent`, 5000);
  run.check(typeof text === 'string' && /^0:0\d\.\d \/ 3:19\.7 · pattern 1 of 26$/.test(text),
            `mouse movement shows the bar: "${text}"`);
  await sleep(2600);
  run.check(!(await page.evaluate(shown)), 'the bar hides 2 s after the mouse stops');

  // A drag from a quarter to three quarters of the bar moves the show there, music and all.
  await page.move(400, 200);
  await page.waitFor(shown, 5000);
  const track = JSON.parse(await page.evaluate(
    'JSON.stringify(document.getElementById("scrub-track").getBoundingClientRect())'));
  const y = track.top + track.height / 2;
  const under = await page.evaluate(`(document.elementFromPoint(${track.left + track.width * 0.25}, ${y}) || {}).id`);
  await page.drag({ x: track.left + track.width * 0.25, y }, { x: track.left + track.width * 0.75, y }, 4);
  const released = await page.evaluate('performance.now()');
  await sleep(300);
  where = await positions(page);
  // The show runs on from the drop: a busy machine may take seconds to answer.
  const target = 0.75 * 26 * 7.68 + (where.now - released) / 1000;
  const label = await page.evaluate('document.getElementById("scrub-label").textContent');
  run.check(near(where, target, 3) && /pattern 20 of 26/.test(label),
            `a drag on the bar moves the show: pictures at ${where.show.toFixed(2)} s (${(0.75 * 26 * 7.68).toFixed(2)} asked, ${target.toFixed(2)} when read), ` +
            `music at ${where.music.toFixed(2)} s, "${label}" (under the pointer: ${under})`);

  // With the loop the show goes on past its end, from its start, on the music.
  await page.evaluate('(Module._webSeekSeconds(197), true)');
  const round = await page.waitFor('Module._webShowSeconds() < 20 && paradeStatus.state', 30000);
  where = await positions(page);
  run.check(round === 'running' && where.state === 'running' && Math.abs(where.show - where.music) <= 0.5,
            `?loop=1 starts the show again at its end: pictures at ${where.show.toFixed(2)} s, ` +
            `music at ${where.music.toFixed(2)} s, page ${where.state}`);
  await heldKeys(run, page);
  const errors = errorsOf(await page.consoleMessages());
  await page.close();

  errors.push(...await barNeverEndsTheShow(run, session));
  await faultInJump(run, session);

  // A bad ?at= is said and the show starts at its beginning.
  const bad = await startedShow(session, '/?at=soon');
  where = await positions(bad);
  const notes = await bad.evaluate('document.getElementById("notes").textContent');
  errors.push(...errorsOf(await bad.consoleMessages()));
  await bad.close();
  run.check(where.show < 5 && /\?at=soon is not a time/.test(notes),
            `a bad ?at= is noted and ignored: pictures at ${where.show.toFixed(2)} s, "${notes}"`);
  run.check(errors.length === 0, `no console errors while jumping${errors.length ? ': ' + errors.join(' / ') : ''}`);
}

// ---- background ---------------------------------------------------------------------------------

// A page loaded in a tab in the background (hidden, given no animation frames) gets ready as a
// shown one does; shown, a click starts the show.
async function background(run, session) {
  const page = await session.open('/', { width: 800, height: 600, hidden: true });
  await page.waitFor('window.paradeStatus && paradeStatus.state !== "loading"', 120000);
  const ready = JSON.parse(await page.evaluate(
    'JSON.stringify({ state: paradeStatus.state, doing: paradeStatus.doing, hidden: document.hidden })'));
  run.check(ready.state === 'ready' && ready.hidden,
            `a page loaded in a tab in the background gets ready while hidden: ${ready.state} ("${ready.doing}"), ` +
            `hidden ${ready.hidden}`);
  await page.reveal();
  await page.waitFor('!document.hidden', 10000);
  await page.click(400, 300);
  const running = await page.waitFor('window.paradeStatus.firstFrameMs > 0 && Module._webMusicSeconds() >= 0 && paradeStatus.state', 60000);
  run.check(running === 'running', `shown, a click starts the show (${running || 'no first frame'})`);
  await page.close();
}

// ---- missing ------------------------------------------------------------------------------------

const brokenSites = [
  ['nomodule', 'failed', /mod2\.it is missing/],
  ['badmodule', 'failed', /mod2\.it cannot be played: not a module/],
  ['noprogram', 'failed', /parade\.js could not be loaded/],
  ['nowasm', 'failed', /parade\.wasm could not be loaded/],
  ['lostmodule', 'failed', /mod2\.it could not be fetched/],
  ['lostlist', 'failed', /files\.txt could not be fetched/],
  ['lostpicture', 'ready', /deita\/happy2\.jpg could not be fetched/],
  ['hugepicture', 'ready', /happy2\.jpg.*65535x65535/],
  ['oldengine', 'failed', /this browser cannot run/i],
  ['trapsonce', 'ready', /recovered from: a trap for the test$/],
  ['trapsalways', 'failed', /The program stopped: a trap for the test.*recovered from: a trap for the test$/],
  ['trapsblank', 'failed', /The program stopped: a WebAssembly trap with no message.*recovered from: a WebAssembly trap with no message$/],
];

async function missing(run, session) {
  for (const [folder, expected, pattern] of brokenSites) {
    const page = await session.open(`/${folder}/`, { width: 800, height: 600 });
    await page.waitFor('window.paradeStatus && ["ready", "failed"].includes(window.paradeStatus.state)', 60000);
    const shown = JSON.parse(await page.evaluate(
      'JSON.stringify({ state: paradeStatus.state, recovered: paradeStatus.recovered, text: document.getElementById("message").hidden ? document.getElementById("notes").textContent : document.getElementById("message-text").textContent })'));
    await page.close();
    const said = shown.text.replace(/\n/g, ' / ') + (shown.recovered ? `; recovered from: ${shown.recovered}` : '');
    run.check(shown.state === expected && pattern.test(said), `/${folder}/: page ${shown.state}, shows "${said}"`);
  }
}

// ---- phone --------------------------------------------------------------------------------------

async function phone(run, session) {
  const page = await session.open('/', { width: 390, height: 844, density: 3, touch: true });
  await whenReady(page);
  const before = JSON.parse(await page.evaluate(
    'JSON.stringify({ start: document.getElementById("start-text").textContent, keys: document.getElementById("keys").textContent })'));
  run.check(/^Tap/.test(before.start) && !/right button/.test(before.keys),
            `a touch screen without a mouse: "${before.start}"; "${before.keys}"`);
  await page.tap(195, 422);
  const running = await page.waitFor('window.paradeStatus.firstFrameMs > 0 && window.paradeStatus.state', 60000);
  run.check(running === 'running', `a tap starts the show (${running})`);
  const measure = 'JSON.stringify({ pixels: [canvas.width, canvas.height], css: [canvas.clientWidth, canvas.clientHeight], ' +
    'buttons: [...document.querySelectorAll("#toolbar button")].filter((b) => !b.hidden).map((b) => [b.textContent, Math.round(b.getBoundingClientRect().height), Math.round(b.getBoundingClientRect().width)]) })';
  for (const [width, height] of [[390, 844], [844, 390]]) {
    await page.resize(width, height, { density: 3, touch: true });
    await page.evaluate('new Promise((done) => requestAnimationFrame(() => setTimeout(done, 300)))');
    const m = JSON.parse(await page.evaluate(measure));
    const shape = m.pixels[0] / m.pixels[1];
    run.check(m.pixels[0] * m.pixels[1] <= 2.5e6 && Math.abs(shape - 640 / 270) < 0.02 &&
              Math.abs(m.css[0] - Math.min(width, height * 640 / 270)) <= 1,
              `${width}x${height} at 3x: the canvas covers the band, ${m.css.join('x')} on the page, ` +
              `${m.pixels.join('x')} pixels (${(m.pixels[0] * m.pixels[1] / 1e6).toFixed(2)} million)`);
    run.check(m.buttons.length === 2 && m.buttons.every(([, h, w]) => h >= 44 && w >= 44),
              `${width}x${height}: buttons of 44 px at least: ${m.buttons.map(([t, h, w]) => `${t} ${w}x${h}`).join(', ')}`);
  }
  await page.close();
}

// ---- Running the cases ----------------------------------------------------------------------------

const caseFunctions = { stills, show, jumps, background, nosound, missing, phone };

// A browser of the engine with what its cases need, started on first use.
function makeSession(engine, server, sound) {
  let browser = null;
  return {
    async open(path, options) {
      if (!browser)
        browser = await launchBrowser(engine, { modules: args.modules, soundServer: sound && sound.server });
      return browser.open(server.base + path, options);
    },
    get version() {
      return browser ? browser.version : '';
    },
    async close() {
      if (browser)
        await browser.close();
      browser = null;
    },
    kill() {
      if (browser)
        browser.kill();
      browser = null;
    },
  };
}

// Runs a case in the shared browser (a new one for the case without sound output); a hung
// browser is ended and the case runs once more in a new one.
let shared = null;
async function runCase(engine, name, server, sound) {
  for (let attempt = 1; attempt <= 2; attempt++) {
    const run = makeRun(engine);
    const own = name === 'nosound';
    if (!own && !shared)
      shared = makeSession(engine, server, sound);
    const session = own ? makeSession(engine, server, null) : shared;
    const limit = caseSeconds[name];
    let timer;
    const outcome = await Promise.race([
      caseFunctions[name](run, session).then(() => 'done', (error) => error),
      new Promise((done) => { timer = setTimeout(() => done('hung'), limit * 1000); }),
    ]);
    clearTimeout(timer);
    // A driver's own time-out is a hung browser too.
    const hung = outcome === 'hung' || (outcome instanceof Error && /timed out|timeout/i.test(outcome.message));
    if (hung) {
      session.kill();
      if (!own)
        shared = null;
      const line = `no answer ${outcome === 'hung' ? `within ${limit} s` : `from the driver ("${outcome.message.split('\n')[0].slice(0, 100)}")`} in case "${name}" (the browser hung; ` +
        'Firefox can deadlock in its audio start-up on a loaded machine): ended it';
      if (attempt === 1) {
        console.log(`     ${engine}: ${line}; trying once more`);
        continue;
      }
      run.check(false, line + ' again');
    } else if (outcome !== 'done') {
      run.check(false, `case "${name}": ${outcome && outcome.stack ? outcome.stack.split('\n').slice(0, 3).join(' / ') : outcome}`);
    }
    // After a failure the next case gets a new browser.
    if (own || outcome !== 'done') {
      await session.close();
      if (!own)
        shared = null;
    }
    for (const { ok, text } of run.lines) {
      console.log(text);
      if (ok === true)
        passed++;
      else if (ok === false)
        failed++;
    }
    return;
  }
}

const engine = args.engine;
if (!engineNames.includes(engine) || !args.site || !args.modules) {
  console.error(`usage: page_test.mjs --engine ${engineNames.join('|')} --site DIR --modules DIR --capture BIN ` +
                '--syncs BIN --data DIR --references DIR [--cases a,b] [--keep DIR]');
  process.exit(2);
}
if (!existsSync(join(args.site, 'parade.wasm'))) {
  console.error(`${args.site} holds no built page: run scripts/web-build`);
  process.exit(1);
}
const cases = args.cases ? args.cases.split(',') : casesOf[engine];
const server = await startSiteServer(args.site, { recordConsole: engine === 'webkit' });
// Chromium plays into its own silent output; Firefox and WebKit need a sound server.
let sound = null;
try {
  if (engine !== 'chromium')
    sound = await startSoundServer();
  for (const name of cases) {
    if (!caseFunctions[name]) {
      console.log(`FAIL ${engine}: no case "${name}"`);
      failed++;
      continue;
    }
    await runCase(engine, name, server, sound);
  }
} catch (error) {
  console.log(`FAIL ${engine}: ${error.message}`);
  failed++;
} finally {
  if (shared)
    await shared.close();
  if (sound)
    sound.stop();
  server.close();
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
