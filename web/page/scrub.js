// The scrub bar and the page's jump parameters. While the show runs, a thin bar at the foot of
// the page shows the time and the pattern; it appears when the mouse moves or a finger touches
// the page and hides 2 s later. A click or a drag on it moves the show there, the music with
// the pictures; while it is held the show does not end, and after the show has played to its
// end the bar takes it back in. ?at=SECONDS starts the show at that moment (once the viewer has
// started it); ?loop=1 starts it again at its end instead of ending.
//
// The page (page.js) asks paradeScrub.mainArguments() for the program's arguments and calls
// paradeScrub.started() once the show runs.
'use strict';

window.paradeScrub = (function () {
  const query = new URLSearchParams(location.search);
  const patternSeconds = 7.68;
  const patterns = 26;
  const showSeconds = patterns * patternSeconds;
  const hideAfterMs = 2000;
  // A jump draws a few frames at once; while dragging, at most one every this often.
  const dragStepMs = 150;

  const stage = document.getElementById('stage');
  const bar = document.getElementById('scrub');
  const track = document.getElementById('scrub-track');
  const fill = document.getElementById('scrub-fill');
  const label = document.getElementById('scrub-label');

  let hideTimer = 0;
  let drawing = false;
  let dragging = false;
  let draggedTo = 0;
  let lastJumpMs = -Infinity;
  let jumpTimer = 0;

  // The show runs, or it played to its end and a jump can take it back in.
  function running() {
    const status = window.paradeStatus;
    return status && (status.state === 'running' || (status.state === 'over' && status.canGoBack)) &&
      window.Module && typeof Module._webSeekSeconds === 'function';
  }

  // While the bar is held the show does not end: a drag only moves it.
  function holdEnd(held) {
    if (window.Module && typeof Module._webHoldEnd === 'function')
      Module._webHoldEnd(held ? 1 : 0);
  }

  function clock(seconds) {
    const whole = Math.max(0, seconds);
    const minutes = Math.floor(whole / 60);
    const rest = whole - minutes * 60;
    return minutes + ':' + (rest < 10 ? '0' : '') + rest.toFixed(1);
  }

  function describe(seconds) {
    const pattern = Math.min(patterns, Math.floor(Math.max(0, seconds) / patternSeconds) + 1);
    return clock(seconds) + ' / ' + clock(showSeconds) + ' \u00b7 pattern ' + pattern + ' of ' + patterns;
  }

  function draw() {
    if (!bar.classList.contains('shown') || !running()) {
      drawing = false;
      return;
    }
    const seconds = dragging ? draggedTo : Module._webShowSeconds();
    fill.style.width = (Math.min(1, Math.max(0, seconds / showSeconds)) * 100).toFixed(2) + '%';
    label.textContent = describe(seconds);
    requestAnimationFrame(draw);
  }

  function hide() {
    if (dragging)
      return;
    bar.classList.remove('shown');
  }

  function show() {
    if (!running())
      return;
    bar.classList.add('shown');
    clearTimeout(hideTimer);
    hideTimer = setTimeout(hide, hideAfterMs);
    if (!drawing) {
      drawing = true;
      requestAnimationFrame(draw);
    }
  }

  // Seconds of the show under the pointer's x on the track.
  function secondsAt(clientX) {
    const box = track.getBoundingClientRect();
    const share = box.width > 0 ? (clientX - box.left) / box.width : 0;
    return Math.min(1, Math.max(0, share)) * showSeconds;
  }

  function jumpNow() {
    clearTimeout(jumpTimer);
    jumpTimer = 0;
    lastJumpMs = performance.now();
    if (running())
      Module._webSeekSeconds(draggedTo);
  }

  // Jumps to where the pointer is, at most every dragStepMs while it moves; the last place is
  // always jumped to.
  function jumpSoon() {
    const wait = lastJumpMs + dragStepMs - performance.now();
    if (wait <= 0)
      jumpNow();
    else if (!jumpTimer)
      jumpTimer = setTimeout(jumpNow, wait);
  }

  const press = (event) => {
    if (!running())
      return;
    event.preventDefault();
    event.stopPropagation();
    dragging = true;
    holdEnd(true);
    try { track.setPointerCapture(event.pointerId); } catch (e) { /* a synthetic pointer */ }
    draggedTo = secondsAt(event.clientX);
    show();
    jumpSoon();
  };
  const release = (event) => {
    if (!dragging)
      return;
    draggedTo = secondsAt(event.clientX);
    jumpNow();
    dragging = false;
    holdEnd(false);
    show();
  };
  track.addEventListener('pointerdown', press);
  track.addEventListener('pointermove', (event) => {
    // With another button held, pressing or letting go of the main one arrives as a move
    // whose `button` is 0 (chorded buttons), not as pointerdown or pointerup.
    if (event.button === 0) {
      if (!dragging && (event.buttons & 1))
        press(event);
      else if (dragging && !(event.buttons & 1))
        release(event);
      return;
    }
    if (!dragging)
      return;
    draggedTo = secondsAt(event.clientX);
    jumpSoon();
  });
  track.addEventListener('pointerup', release);
  track.addEventListener('pointercancel', release);
  // The bar's clicks are not the page's: no show start, no menu.
  bar.addEventListener('click', (event) => event.stopPropagation());
  bar.addEventListener('mousedown', (event) => event.stopPropagation());

  stage.addEventListener('mousemove', show);
  stage.addEventListener('touchstart', show, { passive: true });

  function note(line) {
    const notes = document.getElementById('notes');
    notes.textContent = (notes.textContent ? notes.textContent + '\n' : '') + line;
  }

  // ?at= as seconds within the show, or null (with a note) when it is no such time.
  function startSeconds() {
    const text = query.get('at');
    if (text === null)
      return null;
    const seconds = /^\s*[0-9]*\.?[0-9]+\s*$/.test(text) ? Number(text) : NaN;
    if (!(seconds >= 0 && seconds <= showSeconds)) {
      note('?at=' + text + ' is not a time in seconds from 0 to ' + showSeconds + ': the show starts at its beginning.');
      return null;
    }
    return seconds;
  }

  return {
    mainArguments: () => (query.get('loop') === '1' ? ['loop'] : []),
    started: () => {
      const seconds = startSeconds();
      if (seconds !== null && seconds > 0 && running())
        Module._webSeekSeconds(seconds);
    },
    describe: describe,
  };
})();
