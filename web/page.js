// The page around the show: checks what the browser offers, starts the
// show's worker (show-worker.js, which loads, paces and draws the show) with
// a progress bar, streams the music, starts the show when asked (browsers
// play sound only after a gesture) and tells the worker what the music is
// heard at, the end screen and watching again. The player's controls, keys
// and touch are controls.js's: it drives the show through page.play, key,
// seek and paused, and hears of it through the events showready,
// showstarted and showended on document. Test hook:
// ?capture=FPS[&hash=1][&at=SECONDS][&present=1] draws the show on the
// virtual clock and writes one line a frame into #output, as the offline
// renderer's --hashes does (presenting each frame on the canvas too with
// present=1), a few frames at a time so the worker stays responsive.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);
  const params = new URLSearchParams(location.search);
  const page = {
    worker: null,
    musicPath: '',       // the track's name as the show asks for it
    music: null,         // the track's media element, once it can play
    audio: null,         // the AudioContext, made by the Play gesture
    musicOut: null,      // the music's way out: a gain, for volume and mute
    next: false,         // the show is ready for the next viewing
    ready: false,
    readyMs: 0,          // performance.now() when Play was offered
    playing: false,
    threads: 0,          // the threads that draw each frame
    frames: [],          // [t, step ms, show ms, picture minus music ms or null] per frame drawn
    drawnMs: 0,          // show time of the frame on screen
    showPaused: false,
    clock: { anchorMs: 0, anchorAt: 0, paused: true },  // the show's, as the worker last told
    resyncs: 0,          // the show's clock set to the music's so far
    memoryBytes: 0,      // the show's memory
    output: [],
  };
  window.showPage = page;
  const announce = (name) => document.dispatchEvent(new Event(name));
  // A bundle (scripts/web.sh --bundle) names its files by their content.
  const assetUrl = (path) => (window.showFiles && window.showFiles[path]) || path;
  // One time base with the show's worker: performance.now() counts from each thread's own start.
  const nowMs = () => performance.timeOrigin + performance.now();

  function stop(text) {
    $('start').hidden = true;
    $('problem-text').textContent = text;
    $('problem').hidden = false;
  }

  // The bar's share for a stage of loading: from, plus span times the part
  // done. Each change of the page is a frame the page's thread commits (10-20
  // ms while the show's worker loads, long on a slow phone; a transition
  // would commit every frame), so the bar moves at most every barStepMs.
  const barStepMs = 250;
  const bar = { shown: 0, wanted: 0, timer: 0 };
  function progress({ from, span, done = 0, total = 0 }) {
    const part = total ? Math.min(1, done / total) : 0;
    bar.wanted = from + span * part;
    if (!bar.timer) moveBar();
  }
  function moveBar() {
    bar.timer = 0;
    if (bar.wanted === bar.shown) return;
    bar.shown = bar.wanted;
    $('fill').style.transform = `scaleX(${bar.shown})`;  // no layout for each move
    bar.timer = setTimeout(moveBar, barStepMs);
  }

  // Where the browser has OffscreenCanvas the canvas goes to the show's
  // worker, which puts each picture on it. Elsewhere the worker hands each
  // picture over in a buffer of its own, which goes back once it is on the canvas.
  const canvas = $('screen');
  const drawing = { context: null, reads: [], views: [] };
  const offscreen = typeof OffscreenCanvas === 'function' && canvas.transferControlToOffscreen &&
                    !!new OffscreenCanvas(1, 1).getContext('2d');
  function drawPicture({ buffer, width, height }) {
    drawing.context.putImageData(new ImageData(new Uint8ClampedArray(buffer), width, height), 0, 0);
    page.worker.postMessage({ type: 'buffer', buffer }, [buffer]);
  }

  // The canvas's pixels once the last picture is drawn, for tests.
  page.canvasPixels = () => new Promise((resolve) => {
    drawing.reads.push(resolve);
    page.worker.postMessage({ type: 'pixels' });
  });
  function pixelsRead({ pixels }) {
    drawing.reads.shift()(pixels || drawing.context.getImageData(0, 0, canvas.width, canvas.height).data);
  }
  // The frame on screen and both clocks, read between two of the worker's animation frames, for tests.
  page.onScreen = () => new Promise((resolve) => {
    drawing.views.push(resolve);
    page.worker.postMessage({ type: 'onScreen' });
  });

  // The music streams from the server through a media element into Web
  // Audio (byte ranges where it seeks), asked for beside the show's files and
  // never decoded whole. Before Play the element takes only what it needs to
  // start: a local server hands it the whole track in chunks of a megabyte,
  // each a long task of the page's thread (20-70 ms) while the page loads.
  // The show's worker keeps the show's clock in step with it: the page tells
  // what is heard (the element's position less the output's latency) at each
  // animation frame while the show plays, and moves, plays and pauses the
  // element as the worker asks (paused, the worker is told where it stopped,
  // and the show's clock goes there). Where the server answers no byte ranges
  // the element cannot seek: the track is then fetched whole (compressed, as
  // it is) and played from memory, from the show's moment; meanwhile the
  // picture holds a while, then runs on alone.
  const player = {
    element: null,
    failed: false,
    moves: 0,                  // the worker's moves made so far
    wholeTrack: false,         // the track is fetched whole, as the element could not seek
    load(url) {
      const element = new Audio();
      element.preload = 'metadata';
      element.src = url;
      this.element = element;
      return new Promise((resolve) => {
        element.addEventListener('canplay', resolve, { once: true });
        element.addEventListener('error', () => { this.failed = true; resolve(); }, { once: true });
      });
    },
    // Into Web Audio once the Play gesture has made its context.
    connect() { page.audio.createMediaElementSource(this.element).connect(page.musicOut); },
    live() { return !!(page.audio && this.element && !this.failed); },
    latencyMs() { return ((page.audio.outputLatency || 0) + (page.audio.baseLatency || 0)) * 1000; },
    heardMs() { return this.element.currentTime * 1000 - this.latencyMs(); },
    clockMs(now = nowMs()) {
      const { anchorMs, anchorAt, paused } = page.clock;
      return paused ? anchorMs : anchorMs + now - anchorAt;
    },
    positionMs() { return this.live() ? this.heardMs() : this.clockMs(); },
    seekable() {
      const seekable = this.element.seekable;
      return seekable.length > 0 && seekable.end(seekable.length - 1) > 0;
    },
    obey({ action, ms, play, move }) {
      if (!this.live()) return;
      const element = this.element;
      if (action === 'pause') {
        element.pause();
        return page.worker.postMessage({ type: 'stopped', ms: this.heardMs(), move: this.moves });
      }
      this.moves = move;
      if (this.wholeTrack) return;
      if (!this.seekable() && ms !== element.currentTime * 1000) return this.fetchWhole();
      element.currentTime = ms / 1000;
      if (play) element.play().catch(() => {});
    },
    async fetchWhole() {
      const element = this.element;
      this.wholeTrack = true;
      element.pause();
      try {
        const track = await (await fetch(element.currentSrc)).blob();
        const ready = new Promise((resolve) => element.addEventListener('loadedmetadata', resolve, { once: true }));
        element.src = URL.createObjectURL(track);
        await ready;
      } catch {
        return;  // the show plays on without its music
      }
      this.wholeTrack = false;
      element.currentTime = (this.clockMs() + this.latencyMs()) / 1000;
      if (page.playing && !page.clock.paused) element.play().catch(() => {});
    },
    listen() {
      if (!page.playing) return;
      requestAnimationFrame(() => this.listen());
      if (!this.live() || this.element.paused) return;
      const element = this.element;
      page.worker.postMessage({ type: 'heard', ms: this.heardMs(), at: nowMs(), move: this.moves,
                                moving: !element.seeking && element.readyState >= 3 });
    },
    // The show is over: the music stops where it was at nowMs() at, when the
    // show's clock stopped (the word of the end comes a little later).
    stop(at) {
      const element = this.element;
      if (!element || element.paused) return;
      element.pause();
      const lateMs = nowMs() - at;
      if (lateMs > 0 && this.seekable()) element.currentTime = Math.max(0, element.currentTime - lateMs / 1000);
    },
  };
  page.player = player;
  // Both clocks at once, for tests: the show's, the frame on screen's and the music's.
  page.clocks = () => ({
    show: player.clockMs(),
    drawn: page.playing ? page.drawnMs : 0,
    heard: player.live() ? player.heardMs() : null,
    latency: player.live() ? player.latencyMs() : 0,
  });

  // A module whose one function returns a vector (i32.const 0, i8x16.splat):
  // valid only where WebAssembly has the vector instructions show.wasm uses.
  const vectorModule = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0,
                                       10, 8, 1, 6, 0, 65, 0, 253, 15, 11]);

  // ?start=SECONDS, a moment of the show, which controls.js hands to play;
  // anything else is told, and the show plays from the beginning.
  function checkStart(showMs) {
    if (!params.has('start')) return;
    const text = params.get('start');
    const seconds = text.trim() === '' ? NaN : Number(text);
    if (seconds >= 0 && seconds * 1000 < showMs) return;
    warn(`start=${text.slice(0, 20)} is not a moment of the show (seconds from 0 to below ${showMs / 1000}): ` +
         'it plays from the beginning.');
  }

  function warn(text) {
    $('warning').textContent = text;
    $('warning').hidden = false;
  }

  function load() {
    if (typeof WebAssembly !== 'object' || !WebAssembly.validate(vectorModule)) {
      stop('This browser cannot run WebAssembly with vector instructions, which the show needs. ' +
           'Please open the page in a current Chrome, Firefox, Safari or Edge.');
      return;
    }
    // Threads need a cross-origin isolated page (shared memory); elsewhere one thread draws.
    page.build = window.crossOriginIsolated ? 'show-threads' : 'show';
    page.worker = new Worker(assetUrl('show-worker.js'));  // 5-15 ms: a task apart from the scripts' evaluation
    page.worker.onmessage = ({ data }) => messages[data.type](data);
    const transfer = offscreen ? [canvas.transferControlToOffscreen()] : [];
    if (!offscreen) drawing.context = canvas.getContext('2d', { alpha: false });
    page.worker.postMessage({ type: 'load', build: page.build, files: window.showFiles || null, base: location.href,
                              canvas: transfer[0], width: canvas.width, height: canvas.height,
                              capture: params.has('capture') }, transfer);
  }

  // The show's code runs: its music is fetched beside its pictures.
  let musicLoaded = null;
  let capturing = null;
  function loaded({ musicPath, showMs, scenes, threads }) {
    page.musicPath = musicPath;
    page.showMs = showMs;
    page.scenes = scenes;
    page.threads = threads;
    if (params.has('capture')) {
      capturing = captureOptions(showMs);
      if (typeof capturing === 'string') stop(capturing);
      return;
    }
    checkStart(showMs);
    const AudioContext = window.AudioContext || window.webkitAudioContext;
    // The build compresses the track into the same name with .mp3.
    musicLoaded = AudioContext ? player.load(assetUrl(musicPath.replace(/\.wav$/, '.mp3'))) : Promise.resolve();
  }

  async function ready() {
    if (capturing) return capture(capturing);
    await musicLoaded;
    if (player.element && !player.failed) page.music = player.element;
    if (!page.music) warn('This browser has no Web Audio, or the music could not be loaded: ' +
                          'the show will play without its music.');
    page.ready = true;
    page.next = true;
    page.readyMs = performance.now();
    clearTimeout(bar.timer);
    bar.timer = 0;
    progress({ from: 1, span: 0 });  // full in the frame that says Ready
    $('status').textContent = 'Ready';
    $('play').disabled = false;
    $('play').focus();
    setTimeout(() => announce('showready'));  // the controls' part in a task of its own
  }

  // The show from startMs on (from the beginning when that is not a moment of it).
  function play(startMs = 0) {
    if (!page.ready || page.playing || !page.next) return;
    page.playing = true;
    page.next = false;
    if (player.element && !player.failed && !page.audio) {
      page.audio = new (window.AudioContext || window.webkitAudioContext)();
      page.musicOut = page.audio.createGain();
      page.musicOut.connect(page.audio.destination);
      player.connect();
    }
    if (page.audio) page.audio.resume();
    $('start').hidden = true;
    $('end').hidden = true;
    $('stage').hidden = false;
    page.frames = [];
    page.showPaused = false;
    commands.sent = 0;
    commands.waiting = [];
    const from = startMs >= 0 && startMs < page.showMs ? startMs : 0;
    page.worker.postMessage({ type: 'play', fromMs: from, live: player.live() });
    player.listen();
    announce('showstarted');
  }

  function framesDrawn({ frames, drawnMs, paused, clock, resyncs, memoryBytes, taken }) {
    if (!page.playing) return;
    for (const frame of frames) page.frames.push(frame);
    Object.assign(page, { drawnMs, showPaused: paused, clock, resyncs, memoryBytes });
    while (commands.waiting.length && commands.waiting[0].number <= taken) commands.waiting.shift().resolve();
  }

  function ended({ at }) {
    page.playing = false;
    player.stop(at);
    $('stage').hidden = true;
    $('end').hidden = false;
    page.next = true;
    $('again').focus();
    announce('showended');
  }

  // A hidden page pauses picture and music together; shown again, both go on.
  document.addEventListener('visibilitychange', () => {
    if (!page.playing) return;
    if (document.hidden) player.stop(nowMs());
    page.worker.postMessage({ type: 'hidden', hidden: document.hidden });
  });

  // The test hook's options, refused with a word on the page when out of range.
  function captureOptions(showMs) {
    const fps = params.get('capture');
    if (!/^\d+$/.test(fps) || Number(fps) < 1 || Number(fps) > 60)
      return `capture=${fps.slice(0, 20)}: frames a second must be a whole number from 1 to 60.`;
    const at = params.has('at') ? params.get('at') : '-1';
    if (at !== '-1' && !(/^\d+(\.\d+)?$/.test(at) && Number(at) * 1000 <= showMs))
      return `at=${at.slice(0, 20)}: seconds from 0 to ${showMs / 1000}.`;
    return { fps: Number(fps), atMs: at === '-1' ? -1 : Number(at) * 1000 };
  }

  function capture(options) {
    if (typeof options === 'string') return;
    const present = params.get('present') === '1';
    $('start').hidden = true;
    $('stage').hidden = !present;
    page.output = [];
    page.worker.postMessage({ type: 'capture', ...options, hashes: params.get('hash') === '1', present });
  }

  function captured() {
    $('output').textContent = page.output.join('\n') + '\n';
    $('output').hidden = false;
    document.body.dataset.captured = 'yes';
  }

  const messages = {
    progress,
    loaded,
    ready: () => ready().catch((error) => stop(`The music could not be loaded (${error.message}). Please reload the page.`)),
    problem: ({ text }) => stop(text),
    frames: framesDrawn,
    music: (command) => player.obey(command),
    ended,
    picture: drawPicture,
    pixels: pixelsRead,
    onScreen: (view) => drawing.views.shift()({ ...view, clocks: page.clocks() }),
    output: ({ lines }) => { for (const line of lines) page.output.push(line); },
    captured,
    fullscreen: () => page.toggleFullscreen(),
  };

  // The show's commands, by their keys' names (KeyboardEvent.key) and a move
  // to a moment; each promises the frame that follows it.
  const commands = { sent: 0, waiting: [] };
  function command(message) {
    if (!page.playing) return new Promise(() => {});
    page.worker.postMessage(message);
    const number = ++commands.sent;
    return new Promise((resolve) => commands.waiting.push({ number, resolve }));
  }
  page.key = (name) => command({ type: 'key', name });
  page.seek = (ms) => command({ type: 'seek', ms });
  page.paused = () => page.playing && page.showPaused;
  page.play = play;

  setTimeout(load);
})();
