// The page around the demo. While it loads it does everything slow, with a progress bar: it
// fetches the data files named in files.txt into the program's file system, loads the program,
// has it render the music in short steps (the page stays responsive) and build its pictures.
// The viewer's first click, tap or key then only starts the sound and the main loop (browsers
// refuse sound before a gesture). The canvas covers the picture's band, at a pixel density
// capped so a frame never draws more than about 2.5 million pixels; the page offers the popup
// menu and full screen, and shows every failure as a message instead of a blank canvas.
//
// ?t=T draws the still at demo time T from the module's strike list and reports it in
// window.paradeStatus (state "still", time, strikes, png) for tests and stills; &size=WxH
// draws it at that size instead of 640x480. The scrub bar,
// ?at= and ?loop= are scrub.js's.
'use strict';

(function () {
  const query = new URLSearchParams(location.search);
  const stillTime = query.get('t');
  // The still's size, WIDTHxHEIGHT (640x480 unless given); the program checks it.
  const stillSize = query.get('size') || '640x480';
  const stage = document.getElementById('stage');
  const canvas = document.getElementById('canvas');
  const startPanel = document.getElementById('start');
  const startText = document.getElementById('start-text');
  const progress = document.getElementById('progress');
  const progressBar = document.getElementById('progress-bar');
  const keysText = document.getElementById('keys');
  const messagePanel = document.getElementById('message');
  const messageText = document.getElementById('message-text');
  const againButton = document.getElementById('again');
  const notes = document.getElementById('notes');
  const soundNote = document.getElementById('sound-note');
  const menu = document.getElementById('menu');
  const menuButton = document.getElementById('menu-button');
  const fullscreenButton = document.getElementById('fullscreen-button');

  // At most this many pixels a frame: a phone's page at 3x density would otherwise ask for
  // ten times the pixels of 640x480.
  const maxCanvasPixels = 2.5e6;

  // What a test or a curious viewer can read: state is one of loading, ready, starting,
  // running, still, over, failed and reloading (after a trap, below); the times are
  // performance.now() milliseconds (-1 until they happen); sound is "playing" or "none" once
  // the show runs; recovered is the trap that made the page load itself once more, if any;
  // canGoBack is true while the show is over by playing to its end, where a jump (the bar,
  // Home, Left, "Play again") takes it back.
  const status = {
    state: 'loading', message: '', doing: '', progress: 0, strikes: -1, readyMs: -1,
    startMs: -1, firstFrameMs: -1, sound: '', warnings: [], recovered: '', canGoBack: false,
  };
  window.paradeStatus = status;
  const output = [];
  let dataFiles = null;
  let runtimeReady = false;
  let audioContext = null;

  function setState(state) {
    status.state = state;
    document.title = state === 'running' ? 'Quiet Harbour Parade' : 'Quiet Harbour Parade: ' + state;
    if (state === 'ready' || state === 'still' || state === 'failed')
      forgetTrap();
  }

  // WebKit's JIT now and then faults in optimized WebAssembly: a trap ("Out of bounds memory
  // access") that no other engine gives for the same program, at a different place each time.
  // Before the show has started nothing is lost by loading the page once more, so a trap while
  // getting ready (or drawing a still) reloads it, once: a mark is kept in the session until
  // the page is ready or has failed, and a trap with the mark there is said as any failure.
  // The mark is never empty, whatever the trap says (some say nothing). status.recovered tells
  // the reloaded page what happened.
  const trapKey = 'parade-trap ' + location.href;
  let reloadAllowed = false;
  try {
    const mark = sessionStorage.getItem(trapKey);
    reloadAllowed = mark === null;
    status.recovered = mark || '';
  } catch (error) {
    // No session storage (a sandboxed frame): no reload either.
  }
  function forgetTrap() {
    try {
      sessionStorage.removeItem(trapKey);
    } catch (error) {
    }
  }
  // What an error says, or what it is where it says nothing.
  function describeError(error) {
    if (error && typeof error.message === 'string' && error.message.trim())
      return error.message;
    if (error instanceof WebAssembly.RuntimeError)
      return 'a WebAssembly trap with no message';
    const text = error && error.name ? error.name : String(error);
    return text.trim() ? text + ' with no message' : 'an error with no message';
  }
  function reloadAfterTrap(error) {
    if (status.state === 'reloading')
      return true;
    if (!(error instanceof WebAssembly.RuntimeError) || status.state !== 'loading' || !reloadAllowed)
      return false;
    reloadAllowed = false;
    const what = describeError(error);
    try {
      sessionStorage.setItem(trapKey, what);
      if (sessionStorage.getItem(trapKey) !== what)
        return false;
    } catch (storageError) {
      return false;
    }
    setState('reloading');
    console.warn('parade: the program faulted while getting ready (' + what + '); loading it once more');
    location.reload();
    return true;
  }

  function fail(message) {
    if (status.state === 'failed')
      return;
    status.message = message;
    setState('failed');
    startPanel.hidden = true;
    menu.hidden = true;
    soundNote.hidden = true;
    messageText.textContent = message;
    againButton.hidden = false;
    messagePanel.hidden = false;
    stopSound();
    console.error('parade: ' + message);
  }

  function note(line) {
    const shown = notes.textContent ? notes.textContent.split('\n').slice(-3) : [];
    shown.push(line);
    notes.textContent = shown.join('\n');
  }

  function showProgress(doing, share) {
    status.doing = doing;
    status.progress = share;
    startText.textContent = doing;
    progressBar.style.width = (share * 100).toFixed(1) + '%';
    progress.setAttribute('aria-valuenow', String(Math.round(share * 100)));
  }

  // Closes the audio once the program's own short fade has played.
  function stopSound() {
    if (audioContext) {
      const context = audioContext;
      audioContext = null;
      setTimeout(() => context.close().catch(() => {}), 100);
    }
  }

  // After the show has played to its end "Play again" takes it back to its start; after an
  // exit or a failure it loads the page again.
  againButton.addEventListener('click', () => {
    if (status.state === 'over' && status.canGoBack)
      call(() => Module._webSeekSeconds(0));
    else
      location.reload();
  });

  function showOverMessage() {
    setState('over');
    soundNote.hidden = true;
    messageText.textContent = 'The show is over.';
    againButton.hidden = false;
    messagePanel.hidden = false;
    menu.hidden = true;
  }

  function ended(code, reason) {
    if (status.state === 'failed' || (status.state === 'over' && !status.canGoBack) || reloadAfterTrap(reason))
      return;
    status.canGoBack = false;
    stopSound();
    if (Module._webStopShow)
      Module._webStopShow();
    if (status.state === 'still' && code === 0)
      return;
    if (code === 0) {
      if (status.state !== 'over')
        showOverMessage();
      return;
    }
    // A fault (a trap, an error thrown through the program) is said as such; an exit with a
    // status by the program's last lines.
    if (reason && reason.name !== 'ExitStatus') {
      fail('The program stopped: ' + describeError(reason));
      return;
    }
    const last = output.slice(-3).join('\n');
    fail('The show stopped (status ' + code + ')' + (last ? ':\n' + last : '.'));
  }

  // Calls into the program; the toolkit's main loop and the runtime's exit unwind through here.
  function call(what) {
    try {
      what();
    } catch (error) {
      if (error !== 'unwind' && !(error && error.name === 'ExitStatus') && !reloadAfterTrap(error))
        fail('The program stopped: ' + describeError(error));
    }
  }

  // Lets the browser paint and handle input between steps; unlike a timer it is not slowed
  // down in a background tab.
  const yieldChannel = new MessageChannel();
  const yieldQueue = [];
  yieldChannel.port1.onmessage = () => yieldQueue.shift()();
  function yieldToBrowser() {
    return new Promise((resolve) => {
      yieldQueue.push(resolve);
      yieldChannel.port2.postMessage(0);
    });
  }
  // Lets the browser paint the progress before a long step. A hidden tab paints nothing and
  // gets no animation frames (it would wait until shown), so there it goes on at once, also
  // when the tab is hidden while it waits.
  function nextPaint() {
    return new Promise((resolve) => {
      let waiting = true;
      const goOn = () => {
        if (waiting) {
          waiting = false;
          document.removeEventListener('visibilitychange', goOn);
          resolve();
        }
      };
      if (document.hidden) {
        goOn();
        return;
      }
      document.addEventListener('visibilitychange', goOn);
      requestAnimationFrame(() => setTimeout(goOn, 0));
    });
  }

  // ---- The program ------------------------------------------------------------------------

  window.Module = {
    canvas: canvas,
    print: (line) => {
      output.push(line);
      console.log(line);
    },
    printErr: (line) => {
      output.push(line);
      console.warn(line);
      if (stillTime === null)
        note(line);
    },
    onRuntimeInitialized: () => {
      runtimeReady = true;
      maybePrepare();
    },
    onExit: (code) => ended(code),
    // Every exit passes here, also while the program keeps the runtime alive (when onExit is
    // not called); `toThrow` unwinds the program.
    quit: (code, toThrow) => {
      ended(code, toThrow);
      throw toThrow;
    },
    onAbort: (what) => {
      const text = String(what);
      if (/CompileError/.test(text) && !runtimeReady)
        fail('This browser cannot run the program parade.wasm (' + text + '): the show needs ' +
             'WebAssembly with exception handling, as any current Chromium, Firefox or WebKit ' +
             'has.\nIn a current browser, parade.wasm is damaged: copy it again beside index.html.');
      else if (/wasm/i.test(text) && !runtimeReady)
        fail('The program parade.wasm could not be loaded, so the show cannot start: ' + text +
             '\nCopy parade.wasm beside index.html.');
      else
        fail('The program stopped: ' + text);
    },

    paradeShowMessage: (message) => fail(message),
    // The show played to its end (over), or a jump took it back in.
    paradeShowOver: (over) => {
      if (over && status.state === 'running') {
        status.canGoBack = true;
        showOverMessage();
        console.log('parade: the show played to its end');
      } else if (!over && status.state === 'over' && status.canGoBack) {
        status.canGoBack = false;
        setState('running');
        messagePanel.hidden = true;
        againButton.hidden = true;
        soundNote.hidden = status.sound !== 'none';
        canvas.focus();
        console.log('parade: back into the show');
      }
    },
    paradeMenuChanged: () => buildMenu(),
    paradeSoundChanged: (on) => {
      status.sound = on ? 'playing' : 'none';
      soundNote.hidden = on || status.state !== 'running';
      console.log('parade: ' + (on ? 'the music plays' : 'no sound: the show runs on the page\'s clock'));
    },
    paradeStillDone: (time, strikes) => {
      // Read in the same task as the drawing: the canvas keeps no copy afterwards.
      status.png = canvas.toDataURL('image/png');
      status.time = time;
      status.strikes = strikes;
      status.firstFrameMs = performance.now();
      setState('still');
      console.log('parade: still at ' + time + ' drawn; ' + strikes + ' strikes');
    },
    postMainLoop: () => {
      if (status.firstFrameMs < 0) {
        status.firstFrameMs = performance.now();
        console.log('parade: first frame ' + (status.firstFrameMs - status.startMs).toFixed(0) +
                    ' ms after the start');
      }
    },
  };

  // The program's script, added here so that its failing to load is seen: a script's load
  // error does not reach the window's error listener.
  const programScript = document.createElement('script');
  programScript.src = 'parade.js';
  programScript.async = true;
  programScript.addEventListener('error', () => {
    fail('The program parade.js could not be loaded from this folder, so the show cannot start.\n' +
         'Copy parade.js and parade.wasm beside index.html.');
  });
  document.body.appendChild(programScript);

  // The program's exit from a key (Escape) unwinds through the toolkit's own key listener;
  // it is the ordinary end of the show, not an error.
  window.addEventListener('error', (event) => {
    if (event.error && event.error.name === 'ExitStatus')
      event.preventDefault();
  });

  // ---- Data -------------------------------------------------------------------------------

  // The music is needed; a picture that cannot be fetched is shown black with a note, as the
  // desktop shows a missing picture.
  async function fetchFile(name, counted) {
    let bytes = null;
    try {
      const response = await fetch(name);
      if (response.ok)
        bytes = new Uint8Array(await response.arrayBuffer());
    } catch (error) {
      const why = error && error.message ? error.message : String(error);
      if (name === 'mod2.it')
        throw new Error('The music file mod2.it could not be fetched (' + why + '), so the show cannot play.');
      const warning = 'The data file ' + name + ' could not be fetched (' + why + '); it is shown black.';
      status.warnings.push(warning);
      console.warn('parade: ' + warning);
      if (stillTime === null)
        note(warning);
    }
    counted();
    return { name, bytes };
  }

  async function fetchData() {
    showProgress('Loading the data…', 0);
    let list;
    try {
      list = await fetch('files.txt');
    } catch (error) {
      throw new Error('The list of data files files.txt could not be fetched (' +
                      (error && error.message ? error.message : String(error)) + ').');
    }
    if (!list.ok)
      throw new Error('The list of data files (files.txt) is missing from this folder.');
    const names = (await list.text()).split('\n').map((s) => s.trim()).filter((s) => s && !s.startsWith('#'));
    let done = 0;
    const counted = () => {
      done++;
      if (status.state === 'loading')
        showProgress('Loading the data: ' + done + ' of ' + names.length + ' files', 0.2 * done / names.length);
    };
    const files = await Promise.all(names.map((name) => fetchFile(name, counted)));
    const music = files.find((f) => f.name === 'mod2.it');
    if (!music || !music.bytes)
      throw new Error('The music file mod2.it is missing from this folder, so the show cannot play.\n' +
                      'Put an Impulse Tracker module named mod2.it beside index.html.');
    if (music.bytes.length === 0)
      throw new Error('The music file mod2.it is empty, so the show cannot play.');
    return files;
  }

  function installData() {
    for (const file of dataFiles) {
      if (!file.bytes)
        continue;
      const parts = file.name.split('/');
      let dir = '';
      for (const part of parts.slice(0, -1)) {
        dir += '/' + part;
        try { Module.FS.mkdir(dir); } catch (e) { /* already there */ }
      }
      Module.FS.writeFile('/' + file.name, file.bytes);
    }
  }

  fetchData().then((files) => {
    dataFiles = files;
    if (!runtimeReady && status.state === 'loading')
      showProgress('Loading the program…', 0.2);
    maybePrepare();
  }).catch((error) => fail(error.message || String(error)));

  function webgl2Available() {
    try {
      return !!document.createElement('canvas').getContext('webgl2');
    } catch (e) {
      return false;
    }
  }

  // ---- Making ready: the music in steps, then the pictures ---------------------------------

  async function maybePrepare() {
    if (!runtimeReady || !dataFiles || status.state !== 'loading')
      return;
    if (!webgl2Available()) {
      fail('This browser offers no WebGL 2, which the show needs to draw.');
      return;
    }
    installData();
    if (stillTime !== null) {
      document.body.classList.add('still');
      const [width, height] = stillSize.split('x').map(Number);
      if (width > 0 && height > 0) {
        canvas.style.width = width + 'px';
        canvas.style.height = height + 'px';
      }
    }
    const showArguments = window.paradeScrub ? window.paradeScrub.mainArguments() : [];
    call(() => Module.callMain(stillTime !== null ? ['--still', stillTime, '--size', stillSize] : showArguments));
    for (;;) {
      if (status.state !== 'loading')
        return;
      let done = 1;
      call(() => { done = Module._webPrepareStep(25); });
      if (status.state !== 'loading')
        return;
      showProgress('Rendering the music: ' + Math.floor(done * 100) + '%', 0.2 + 0.7 * done);
      if (done >= 1)
        break;
      await yieldToBrowser();
    }
    showProgress('Preparing the pictures…', 0.9);
    await nextPaint();
    if (status.state !== 'loading')
      return;
    call(() => Module._webPreparePictures());
    if (status.state !== 'loading')
      return;
    showProgress('Ready', 1);
    if (stillTime !== null) {
      startPanel.hidden = true;
      call(() => Module._webStartShow());
      if (status.state !== 'still' && status.state !== 'failed')
        fail('The still was not drawn.');
      return;
    }
    // Made now, suspended until the click resumes it: opening the browser's audio output can
    // take a few tenths of a second.
    audioContext = makeAudioContext();
    setState('ready');
    status.readyMs = performance.now();
    fitCanvas();
    progress.hidden = true;
    startText.textContent = noMouse() ? 'Tap to start' : 'Click or press a key to start';
    console.log('parade: ready ' + status.readyMs.toFixed(0) + ' ms after load');
  }

  // Where no pointer can hover (a phone or tablet), there is no mouse and likely no keys.
  function noMouse() {
    return !window.matchMedia('(any-pointer: fine)').matches;
  }
  if (noMouse()) {
    document.body.classList.add('touch');
    keysText.textContent = 'The Menu button opens the menu; Full screen turns the phone to landscape where it can; a touch shows the time bar.';
  }

  // ---- Starting the show ------------------------------------------------------------------

  function start(event) {
    if (status.state !== 'ready')
      return;
    // The key or tap that starts the show is not also one of the show's keys.
    if (event) {
      event.preventDefault();
      event.stopImmediatePropagation();
    }
    status.startMs = performance.now();
    setState('starting');
    if (!audioContext)
      audioContext = makeAudioContext();
    // Some browsers never settle this where there is no output: the show does not wait.
    if (audioContext)
      audioContext.resume().catch(() => {});
    Module.paradeAudioContext = audioContext;
    startPanel.hidden = true;
    call(() => Module._webStartShow());
    if (status.state === 'starting')
      setState('running');
    if (status.state === 'running') {
      soundNote.hidden = status.sound !== 'none';
      fitCanvas();
      canvas.focus();
      // ?at= moves the show once it runs.
      if (window.paradeScrub)
        window.paradeScrub.started();
    }
  }

  function makeAudioContext() {
    const AudioContextClass = window.AudioContext || window.webkitAudioContext;
    try {
      return AudioContextClass ? new AudioContextClass() : null;
    } catch (error) {
      return null;
    }
  }

  // A later gesture tries again where the browser held the sound back or suspended it.
  function wakeSound() {
    if (audioContext && audioContext.state !== 'running' && audioContext.state !== 'closed')
      audioContext.resume().catch(() => {});
  }

  function startOrWake(event) {
    if (status.state === 'ready')
      start(event);
    else if (status.state === 'running')
      wakeSound();
  }

  startPanel.addEventListener('click', startOrWake);
  canvas.addEventListener('click', startOrWake);
  stage.addEventListener('touchend', (event) => {
    if (event.target === canvas || startPanel.contains(event.target) || event.target === stage)
      startOrWake(event);
  });
  window.addEventListener('keydown', (event) => {
    if (!event.ctrlKey && !event.altKey && !event.metaKey)
      startOrWake(event);
  });

  // ---- Size and full screen ---------------------------------------------------------------

  // The canvas covers the picture's band: the largest 640:270 rectangle that fits the stage,
  // the black left over split 90 : 120 above and below (evenly at the sides). Its pixels are
  // the device's, fewer where that would pass maxCanvasPixels.
  function fitCanvas() {
    if (status.state !== 'ready' && status.state !== 'running' && status.state !== 'starting')
      return;
    const box = stage.getBoundingClientRect();
    const bandWidth = Math.max(1, Math.min(box.width, box.height * 640 / 270));
    const bandHeight = bandWidth * 270 / 640;
    const left = (box.width - bandWidth) / 2;
    const top = (box.height - bandHeight) * 90 / 210;
    stage.style.setProperty('--band-left', left + 'px');
    stage.style.setProperty('--band-top', top + 'px');
    stage.style.setProperty('--band-width', bandWidth + 'px');
    stage.style.setProperty('--band-height', bandHeight + 'px');
    const density = Math.min(window.devicePixelRatio || 1,
                             Math.sqrt(maxCanvasPixels / (bandWidth * bandHeight)));
    const width = Math.max(1, Math.floor(bandWidth * density));
    const height = Math.max(1, Math.floor(bandHeight * density));
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    if (status.state === 'running')
      Module._webCanvasResized(width, height);
  }

  window.addEventListener('resize', fitCanvas);
  document.addEventListener('fullscreenchange', fitCanvas);

  fullscreenButton.addEventListener('click', (event) => {
    event.stopPropagation();
    if (document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
    } else if (stage.requestFullscreen) {
      stage.requestFullscreen().then(() => {
        // A phone turns to the band's shape where the browser lets a page ask.
        if (screen.orientation && screen.orientation.lock)
          screen.orientation.lock('landscape').catch(() => {});
      }).catch((error) => note('Full screen refused: ' + error.message));
    }
    canvas.focus();
  });

  // ---- The popup menu ---------------------------------------------------------------------

  function buildMenu() {
    const choices = Module.paradeMenu;
    menu.textContent = '';
    if (!choices)
      return;
    for (const entry of choices.entries) {
      const item = document.createElement('li');
      item.textContent = entry.label;
      item.setAttribute('role', 'menuitem');
      item.tabIndex = -1;
      item.addEventListener('click', (event) => {
        event.stopPropagation();
        menu.hidden = true;
        call(() => Module._webMenuChoose(entry.value));
        canvas.focus();
      });
      menu.appendChild(item);
    }
    menuButton.hidden = choices.button < 0 || choices.entries.length === 0;
  }

  // Shows the menu with its top left at (x, y), or its bottom left there when `above`.
  function showMenu(x, y, above) {
    if (status.state !== 'running' || !Module.paradeMenu || Module.paradeMenu.entries.length === 0)
      return;
    menu.hidden = false;
    if (above)
      y -= menu.offsetHeight;
    const box = stage.getBoundingClientRect();
    menu.style.left = Math.max(0, Math.min(x, box.width - menu.offsetWidth)) + 'px';
    menu.style.top = Math.max(0, Math.min(y, box.height - menu.offsetHeight)) + 'px';
  }

  canvas.addEventListener('contextmenu', (event) => {
    event.preventDefault();
    // GLUT's right button is 2.
    if (Module.paradeMenu && Module.paradeMenu.button === 2)
      showMenu(event.clientX, event.clientY, false);
  });
  menuButton.addEventListener('click', (event) => {
    event.stopPropagation();
    const box = menuButton.getBoundingClientRect();
    showMenu(box.left, box.top, true);
  });
  window.addEventListener('mousedown', (event) => {
    if (!menu.hidden && !menu.contains(event.target))
      menu.hidden = true;
  });
})();
