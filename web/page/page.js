// The page around the demo: fetches the data files named in files.txt into the program's file
// system, starts the show on the viewer's first click or key (browsers refuse sound before a
// gesture), keeps the canvas the size of the page, offers the popup menu and full screen, and
// shows every failure as a message instead of a blank canvas.
//
// ?t=T draws the still at demo time T from the module's strike list and reports it in
// window.paradeStatus (state "still", time, strikes, png) for tests and stills. The scrub bar,
// ?at= and ?loop= are scrub.js's.
'use strict';

(function () {
  const query = new URLSearchParams(location.search);
  const stillTime = query.get('t');
  const canvas = document.getElementById('canvas');
  const startPanel = document.getElementById('start');
  const startText = document.getElementById('start-text');
  const messagePanel = document.getElementById('message');
  const messageText = document.getElementById('message-text');
  const againButton = document.getElementById('again');
  const notes = document.getElementById('notes');
  const menu = document.getElementById('menu');
  const menuButton = document.getElementById('menu-button');
  const fullscreenButton = document.getElementById('fullscreen-button');

  // What a test or a curious viewer can read: state is one of loading, ready, starting,
  // running, still, over and failed.
  const status = { state: 'loading', message: '', strikes: -1, readyMs: -1, firstFrameMs: -1 };
  window.paradeStatus = status;
  const output = [];
  let dataFiles = null;
  let runtimeReady = false;
  let started = false;
  let audioContext = null;

  function setState(state) {
    status.state = state;
    document.title = state === 'running' ? 'Quiet Harbour Parade' : 'Quiet Harbour Parade: ' + state;
  }

  function fail(message) {
    if (status.state === 'failed')
      return;
    status.message = message;
    setState('failed');
    startPanel.hidden = true;
    menu.hidden = true;
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

  // Closes the audio once the program's own short fade has played.
  function stopSound() {
    if (audioContext) {
      const context = audioContext;
      audioContext = null;
      setTimeout(() => context.close().catch(() => {}), 100);
    }
  }

  againButton.addEventListener('click', () => location.reload());

  function ended(code, reason) {
    if (status.state === 'failed' || status.state === 'over')
      return;
    stopSound();
    if (Module._webStopShow)
      Module._webStopShow();
    if (status.state === 'still' && code === 0)
      return;
    if (code === 0) {
      setState('over');
      messageText.textContent = 'The show is over.';
      againButton.hidden = false;
      messagePanel.hidden = false;
      menu.hidden = true;
      return;
    }
    const last = output.slice(-3).join('\n');
    const why = reason && reason.message && reason.name !== 'ExitStatus' ? '\n' + reason.message : '';
    fail('The show stopped (status ' + code + ')' + (last ? ':\n' + last : '.') + why);
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
      if (started)
        note(line);
    },
    onRuntimeInitialized: () => {
      runtimeReady = true;
      maybeReady();
    },
    onExit: (code) => ended(code),
    // Every exit passes here, also while the browser's toolkit keeps the runtime alive (when
    // onExit is not called); `toThrow` unwinds the program.
    quit: (code, toThrow) => {
      ended(code, toThrow);
      throw toThrow;
    },
    onAbort: (what) => fail('The program stopped: ' + what),

    paradeShowMessage: (message) => fail(message),
    paradeMenuChanged: () => buildMenu(),
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
        console.log('parade: first frame ' + status.firstFrameMs.toFixed(0) + ' ms after load');
      }
    },
  };

  window.addEventListener('error', (event) => {
    if (status.state === 'loading' && /parade\.js/.test(event.filename || ''))
      fail('The program parade.js could not be loaded: ' + event.message);
  });
  // A script that cannot be fetched fires its error on the element only, which does not
  // bubble: it is caught on the way down instead.
  window.addEventListener('error', (event) => {
    const target = event.target;
    if (target && target.tagName === 'SCRIPT' && /parade\.js$/.test(target.src || ''))
      fail('The program parade.js could not be fetched: it is missing from this folder or the ' +
           'server refused it. Copy the whole site folder, parade.js and parade.wasm included.');
  }, true);

  // ---- Data -------------------------------------------------------------------------------

  // A fetch that fails at the network level says which file it was.
  async function fetchNamed(name) {
    try {
      return await fetch(name);
    } catch (error) {
      throw new Error(`The file ${name} could not be fetched (${error.message || error}).`);
    }
  }

  async function fetchData() {
    const list = await fetchNamed('files.txt');
    if (!list.ok)
      throw new Error('The list of data files (files.txt) is missing from this folder.');
    const names = (await list.text()).split('\n').map((s) => s.trim()).filter((s) => s && !s.startsWith('#'));
    const files = await Promise.all(names.map(async (name) => {
      try {
        const response = await fetchNamed(name);
        return response.ok ? { name, bytes: new Uint8Array(await response.arrayBuffer()) } : { name, bytes: null };
      } catch (error) {
        // The music is needed; a picture that cannot be fetched is shown black, as a missing one.
        if (name === 'mod2.it')
          throw error;
        note(error.message + ' It is shown black.');
        return { name, bytes: null };
      }
    }));
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
    maybeReady();
  }).catch((error) => fail(error.message || String(error)));

  function webgl2Available() {
    try {
      return !!document.createElement('canvas').getContext('webgl2');
    } catch (e) {
      return false;
    }
  }

  function maybeReady() {
    if (!runtimeReady || !dataFiles || status.state !== 'loading')
      return;
    if (!webgl2Available()) {
      fail('This browser offers no WebGL 2, which the show needs to draw.');
      return;
    }
    installData();
    if (stillTime !== null) {
      document.body.classList.add('still');
      startPanel.hidden = true;
      canvas.width = 640;
      canvas.height = 480;
      started = true;
      run(['--still', stillTime]);
      if (status.state !== 'still' && status.state !== 'failed')
        fail('The still was not drawn.');
      return;
    }
    setState('ready');
    status.readyMs = performance.now();
    startText.textContent = 'Click or press a key to start';
  }

  function run(args) {
    try {
      Module.callMain(args);
    } catch (error) {
      if (error !== 'unwind' && !(error && error.name === 'ExitStatus'))
        fail('The program stopped: ' + (error && error.message ? error.message : String(error)));
    }
  }

  // ---- Starting the show ------------------------------------------------------------------

  function start(event) {
    if (status.state !== 'ready' || started)
      return;
    if (event)
      event.preventDefault();
    started = true;
    setState('starting');
    const AudioContextClass = window.AudioContext || window.webkitAudioContext;
    if (AudioContextClass) {
      try {
        audioContext = new AudioContextClass();
        audioContext.resume().catch(() => {});
      } catch (error) {
        audioContext = null;
      }
    }
    if (!audioContext)
      note('No Web Audio here: the show runs without sound.');
    Module.paradeAudioContext = audioContext;
    startText.textContent = 'Starting…';
    // Let the panel show its new text before the module is rendered.
    setTimeout(() => {
      startPanel.hidden = true;
      run(window.paradeScrub ? window.paradeScrub.mainArguments() : []);
      if (status.state === 'starting')
        setState('running');
      if (status.state === 'running' && window.paradeScrub)
        window.paradeScrub.started();
      fitCanvas();
      canvas.focus();
    }, 30);
  }

  startPanel.addEventListener('click', start);
  canvas.addEventListener('click', start);
  window.addEventListener('keydown', (event) => {
    if (!event.ctrlKey && !event.altKey && !event.metaKey)
      start(event);
  });

  // ---- Size and full screen ---------------------------------------------------------------

  function fitCanvas() {
    if (status.state !== 'running')
      return;
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
    const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    Module._webCanvasResized(width, height);
  }

  window.addEventListener('resize', fitCanvas);
  document.addEventListener('fullscreenchange', fitCanvas);

  fullscreenButton.addEventListener('click', () => {
    const stage = document.getElementById('stage');
    if (document.fullscreenElement)
      document.exitFullscreen().catch(() => {});
    else if (stage.requestFullscreen)
      stage.requestFullscreen().catch((error) => note('Full screen refused: ' + error.message));
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
        Module._webMenuChoose(entry.value);
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
    const stage = document.getElementById('stage').getBoundingClientRect();
    menu.style.left = Math.min(x, stage.width - menu.offsetWidth) + 'px';
    menu.style.top = Math.min(y, stage.height - menu.offsetHeight) + 'px';
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
