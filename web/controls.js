// The player around the show: on-screen controls (play and pause, time, a
// seek bar with the scenes marked, mute and volume, a link to the moment,
// fullscreen, ending the show), hidden while the show plays untouched; the
// keys, taps and double-taps; the address following the show (?start=S);
// Media Session; crisp pixels where the canvas is scaled 2x or more; the
// service worker of a bundle.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);
  const page = window.showPage;
  const stage = $('stage');
  const screen = $('screen');
  const seekBar = $('seek');
  const idleMs = 3000;          // controls hide after this long untouched
  const doubleTapMs = 300;      // two taps this close together are a double-tap
  const seekStepMs = 250;       // the seek bar moves at most this often while playing

  const ui = {
    shown: -1,            // the moment on the controls, in seek steps
    paused: null,         // as shown
    dragging: false,      // the seek bar is held
    pendingSeekMs: null,  // a move asked while dragging, made at the next animation frame
    idleTimer: 0,
    saidTimer: 0,         // hides the word that the link was copied
    lastTap: { time: 0, third: 0 },
    lastPointer: 'mouse',
    filled: false,        // the show fills the window without element fullscreen
    leftFullscreenAt: 0,  // when fullscreen was last left (the Escape that left it is not the show's)
  };

  const showMs = () => page.showMs || 126000;
  const frameMs = () => (page.frames.length ? page.frames[page.frames.length - 1][0] * 200 : 0);

  function clock(ms) {
    const seconds = Math.max(0, Math.floor(ms / 1000));
    return `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}`;
  }

  // --- showing and hiding the controls -------------------------------------

  function showControls() {
    stage.classList.remove('idle');
    clearTimeout(ui.idleTimer);
    ui.idleTimer = setTimeout(hideWhenIdle, idleMs);
  }

  function hideWhenIdle() {
    const held = ui.paused || ui.dragging || $('controls').matches(':hover') ||
                 $('controls').contains(document.activeElement) && document.activeElement.matches(':focus-visible');
    if (held) return showControls();
    stage.classList.add('idle');
  }

  function toggleControls() {
    if (stage.classList.contains('idle')) return showControls();
    clearTimeout(ui.idleTimer);
    if (!ui.paused) stage.classList.add('idle');
  }

  // --- the show's state on the controls, once an animation frame -----------

  function update() {
    if (!page.playing) return;
    requestAnimationFrame(update);
    if (ui.pendingSeekMs !== null) {
      page.seek(ui.pendingSeekMs);
      ui.pendingSeekMs = null;
    }
    const paused = page.paused();
    if (paused !== ui.paused) {
      ui.paused = paused;
      stage.classList.toggle('paused', paused);
      $('toggle').setAttribute('aria-label', paused ? 'Play' : 'Pause');
      $('toggle').title = paused ? 'Play (Space)' : 'Pause (Space)';
      if (paused) {
        showControls();
        followAddress();
      }
      mediaState();
    }
    // The page is touched only when what it shows changes: the time each
    // second, the seek bar a few times a second (each change costs a layout).
    const ms = Math.min(frameMs(), showMs());
    const shown = Math.floor(ms / seekStepMs);
    if (shown === ui.shown) return;
    ui.shown = shown;
    const text = clock(ms);
    if (text !== $('elapsed').textContent) $('elapsed').textContent = text;
    if (ui.dragging) return;
    seekBar.value = (shown * seekStepMs) / 1000;
    const said = `${text} of ${clock(showMs())}`;
    if (said !== seekBar.getAttribute('aria-valuetext')) seekBar.setAttribute('aria-valuetext', said);
  }

  // --- the address, the link and Media Session -----------------------------

  // ?start=S with the show's moment in seconds, to a tenth.
  function momentAddress(ms) {
    const url = new URL(location.href);
    url.searchParams.set('start', String(Math.floor(ms / 100) / 10));
    return url.href;
  }

  function followAddress(ms = frameMs()) {
    history.replaceState(null, '', momentAddress(ms));
  }

  function forgetAddress() {
    const url = new URL(location.href);
    url.searchParams.delete('start');
    history.replaceState(null, '', url.href);
  }

  async function copyLink() {
    const link = momentAddress(frameMs());
    page.lastLink = link;
    let said = 'Link copied';
    try {
      await navigator.clipboard.writeText(link);
    } catch {
      said = 'Copy this link: ' + link;
    }
    $('said').textContent = said;
    $('said').hidden = false;
    clearTimeout(ui.saidTimer);
    ui.saidTimer = setTimeout(() => { $('said').hidden = true; }, 4000);
    showControls();
  }

  const session = navigator.mediaSession;
  function mediaState() {
    if (!session) return;
    session.playbackState = !page.playing ? 'none' : ui.paused ? 'paused' : 'playing';
    if (!page.playing || !session.setPositionState) return;
    session.setPositionState({ duration: showMs() / 1000, playbackRate: 1,
                               position: Math.min(frameMs(), showMs()) / 1000 });
  }

  function mediaSession() {
    if (!session) return;
    session.metadata = new MediaMetadata({
      title: 'JUBRA', artist: 'a real-time demo', album: 'every pixel drawn in software',
      artwork: [{ src: 'icon-192.png', sizes: '192x192', type: 'image/png' },
                { src: 'icon-512.png', sizes: '512x512', type: 'image/png' }],
    });
    const actions = {
      play: () => { if (page.paused()) page.key(' '); },
      pause: () => { if (!page.paused()) page.key(' '); },
      seekbackward: () => moveBy(-5000),
      seekforward: () => moveBy(5000),
      seekto: (details) => seekTo(details.seekTime * 1000),
      previoustrack: () => seekTo(0),
      stop: () => page.key('Escape'),
    };
    for (const [action, handler] of Object.entries(actions)) {
      try {
        session.setActionHandler(action, handler);
      } catch {
        // an action this browser does not know
      }
    }
  }

  // --- moving the show -----------------------------------------------------

  function seekTo(ms) {
    page.seek(Math.max(0, Math.min(ms, showMs()))).then(() => { followAddress(); mediaState(); });
    showControls();
  }

  function moveBy(deltaMs) {
    page.key(deltaMs < 0 ? 'ArrowLeft' : 'ArrowRight').then(() => { followAddress(); mediaState(); });
    showControls();
  }

  function togglePause() {
    page.key(' ');
    showControls();
  }

  // --- sound ---------------------------------------------------------------

  const sound = { volume: 1, muted: false };
  let soundRead = false;
  // The choice kept from an earlier visit, read at the first viewing: storage
  // can take tens of milliseconds to open, which the loading page need not wait for.
  function keptSound() {
    if (soundRead) return;
    soundRead = true;
    try {
      Object.assign(sound, JSON.parse(localStorage.getItem('jubra-sound') || '{}'));
    } catch {
      // nothing kept, or storage refused
    }
  }

  function applySound() {
    if (page.musicOut) page.musicOut.gain.value = sound.muted ? 0 : sound.volume;
    const silent = sound.muted || sound.volume === 0;
    $('mute').setAttribute('aria-label', silent ? 'Unmute' : 'Mute');
    $('mute').title = silent ? 'Unmute (M)' : 'Mute (M)';
    $('mute').classList.toggle('off', silent);
    $('volume').value = sound.muted ? 0 : sound.volume;
    try {
      localStorage.setItem('jubra-sound', JSON.stringify(sound));
    } catch {
      // storage refused: the choice lasts this visit only
    }
  }

  function toggleMute() {
    if (sound.volume === 0) sound.volume = 1;
    else sound.muted = !sound.muted;
    applySound();
    showControls();
  }

  // --- fullscreen ----------------------------------------------------------

  const inFullscreen = () => !!document.fullscreenElement || ui.filled;

  function toggleFullscreen() {
    if (document.fullscreenElement) return void document.exitFullscreen().catch(() => {});
    if (ui.filled) return setFilled(false);
    if (!stage.requestFullscreen) return setFilled(true);
    stage.requestFullscreen({ navigationUI: 'hide' })
      .then(() => screen.orientation && screen.orientation.lock && screen.orientation.lock('landscape'))
      .catch(() => {});
  }

  // Where an element cannot be made fullscreen (iPhone) the show takes the whole window.
  function setFilled(filled) {
    ui.filled = filled;
    document.body.classList.toggle('filled', filled);
    if (!filled) ui.leftFullscreenAt = performance.now();
    fullscreenLabel();
    sharpness();
  }

  function fullscreenLabel() {
    const on = inFullscreen();
    $('fullscreen').setAttribute('aria-label', on ? 'Leave fullscreen' : 'Fullscreen');
    $('fullscreen').title = on ? 'Leave fullscreen (F)' : 'Fullscreen (F)';
    $('fullscreen').classList.toggle('on', on);
  }

  function leaveFullscreen() {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    if (ui.filled) setFilled(false);
  }

  // --- crisp pixels --------------------------------------------------------

  // At 2 or more screen pixels to a frame pixel the picture is drawn with hard
  // pixel edges; below that, smoothing spreads the uneven rows and columns.
  // The canvas's width on screen is page.css's, reckoned here so that no layout is forced.
  function sharpness() {
    const width = Math.min(innerWidth, innerHeight * screen.width / screen.height);
    const scale = width * (window.devicePixelRatio || 1) / screen.width;
    stage.classList.toggle('crisp', scale >= 2);
  }

  // --- keys, pointer and touch ---------------------------------------------

  const showKeys = new Set([' ', 'ArrowLeft', 'ArrowRight', 'Home', 'F1']);

  document.addEventListener('keydown', (event) => {
    const key = event.key;
    const onControl = event.target instanceof Element && event.target.closest('button, a');
    if (page.playing) showControls();
    if ((key === 'f' || key === 'F') && !event.repeat && !event.ctrlKey && !event.metaKey && !event.altKey) {
      toggleFullscreen();
    } else if ((key === 'm' || key === 'M') && !event.repeat && page.playing && !event.ctrlKey && !event.metaKey) {
      toggleMute();
    } else if (key === 'Escape') {
      if (inFullscreen()) {
        leaveFullscreen();
        event.preventDefault();
      } else if (performance.now() - ui.leftFullscreenAt > 500 && !event.repeat) {
        page.key('Escape');
      }
    } else if (page.playing) {
      if (onControl && (key === ' ' || key === 'Enter')) return;  // the button's own press
      const repeats = key === 'ArrowLeft' || key === 'ArrowRight';
      if (!showKeys.has(key) || (event.repeat && !repeats)) return;
      event.preventDefault();
      if (key === ' ') togglePause();
      else if (repeats) moveBy(key === 'ArrowLeft' ? -1 : 1);
      else if (key === 'Home') seekTo(0);
      else page.key(key);
    } else if ((key === 'Enter' || key === ' ') && !onControl && $('end').hidden) {
      start();
      event.preventDefault();
    }
  });

  // Taps on the picture: one shows or hides the controls, two on the left or
  // right third jump 5 s back or on.
  stage.addEventListener('pointerup', (event) => {
    ui.lastPointer = event.pointerType;
    if (event.target.closest('#controls, #paused-sign')) return;
    if (event.pointerType === 'mouse') return showControls();
    const third = event.clientX < innerWidth / 3 ? -1 : event.clientX > innerWidth * 2 / 3 ? 1 : 0;
    const now = event.timeStamp;  // when the finger lifted, however late the page hears of it
    if (third && third === ui.lastTap.third && now - ui.lastTap.time < doubleTapMs) {
      ui.lastTap = { time: 0, third: 0 };
      flashJump(third);
      moveBy(third * 5000);
      return;
    }
    ui.lastTap = { time: now, third };
    toggleControls();
  });

  function flashJump(third) {
    const sign = $(third < 0 ? 'jump-back' : 'jump-on');
    sign.classList.remove('flash');
    void sign.offsetWidth;
    sign.classList.add('flash');
  }

  stage.addEventListener('dblclick', (event) => {
    if (ui.lastPointer === 'mouse' && !event.target.closest('#controls')) toggleFullscreen();
  });
  // Touch makes mouse events of its own; only a real mouse's moves count.
  stage.addEventListener('pointermove', (event) => {
    if (page.playing && event.pointerType === 'mouse') showControls();
  });

  // The seek bar: dragging moves the show once an animation frame; the
  // address follows when it is let go.
  seekBar.addEventListener('pointerdown', () => { ui.dragging = true; });
  seekBar.addEventListener('input', () => {
    ui.pendingSeekMs = Number(seekBar.value) * 1000;
    $('elapsed').textContent = clock(ui.pendingSeekMs);
    showControls();
  });
  seekBar.addEventListener('change', () => {
    ui.dragging = false;
    seekTo(Number(seekBar.value) * 1000);
  });
  seekBar.addEventListener('keydown', (event) => {
    if (event.key === 'ArrowUp' || event.key === 'ArrowDown' || event.key === 'PageUp' || event.key === 'PageDown')
      event.preventDefault();
  });

  // A button clicked with the mouse gives the keys back to the show (Space pauses).
  $('controls').addEventListener('click', (event) => {
    if (event.detail > 0 && event.target.closest('button')) event.target.closest('button').blur();
  });
  $('toggle').addEventListener('click', togglePause);
  $('paused-sign').addEventListener('click', togglePause);
  $('mute').addEventListener('click', toggleMute);
  $('volume').addEventListener('input', () => {
    sound.volume = Number($('volume').value);
    sound.muted = false;
    applySound();
    showControls();
  });
  $('link').addEventListener('click', copyLink);
  $('fullscreen').addEventListener('click', toggleFullscreen);
  $('quit').addEventListener('click', () => page.key('Escape'));
  $('play').addEventListener('click', start);
  $('again').addEventListener('click', () => page.play(0));
  document.addEventListener('fullscreenchange', () => {
    if (!document.fullscreenElement) ui.leftFullscreenAt = performance.now();
    fullscreenLabel();
    sharpness();
  });
  window.addEventListener('resize', sharpness);

  // --- the show's life -----------------------------------------------------

  // The first viewing begins where the address says (?start=S).
  function start() {
    const from = Number(new URL(location.href).searchParams.get('start')) * 1000;
    page.play(Number.isFinite(from) && from > 0 ? Math.min(from, showMs()) : 0);
  }

  function marks() {
    const list = $('scenes');
    list.replaceChildren();
    for (const scene of page.scenes.slice(1)) {
      const mark = document.createElement('span');
      mark.style.left = `${(100 * scene.ms) / showMs()}%`;
      mark.title = `${scene.name} at ${clock(scene.ms)}`;
      list.append(mark);
    }
  }

  document.addEventListener('showready', () => {
    seekBar.max = showMs() / 1000;
    $('total').textContent = clock(showMs());
    marks();
    if (!page.music) for (const id of ['mute', 'volume']) $(id).hidden = true;
  });

  document.addEventListener('showstarted', () => {
    ui.shown = -1;
    ui.paused = null;
    stage.classList.remove('paused');
    page.toggleFullscreen = toggleFullscreen;
    mediaSession();
    keptSound();
    applySound();  // the music's gain is made with the first viewing
    sharpness();
    showControls();
    requestAnimationFrame(update);
  });

  document.addEventListener('showended', () => {
    leaveFullscreen();
    forgetAddress();
    mediaState();
  });

  page.toggleFullscreen = toggleFullscreen;

  // A bundle plays offline after the first visit and can be installed. The
  // worker copies every file: asked once the show can play, so the copy does
  // not share the network with the show's own loading, and in a task of its
  // own, apart from offering Play.
  if (window.showFiles && 'serviceWorker' in navigator)
    document.addEventListener('showready', () => setTimeout(() => navigator.serviceWorker.register('sw.js')
      .catch((error) => console.warn('no offline copy:', error.message))), { once: true });
})();
