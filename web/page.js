// The page around the show: checks what the browser offers, fetches the
// files with a progress bar, starts the show when asked (browsers play sound
// only after a gesture), the end screen and watching again in a fresh
// instance. The player's controls, keys and touch are controls.js's: it
// drives the show through page.play, key, seek and paused, and hears of it
// through the events showready, showstarted and showended on document.
// Test hook: ?capture=FPS[&hash=1][&at=SECONDS]
// [&present=1] draws the show on the virtual clock and writes one line a
// frame into #output, as the offline renderer's --hashes does (presenting
// each frame on the canvas too with present=1).
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);
  const params = new URLSearchParams(location.search);
  const page = {
    wasm: null,          // show.wasm's bytes, compiled anew for every viewing
    files: [],           // [path in the show's folder, bytes]
    musicPath: '',       // the track's name as the show asks for it
    music: null,         // the decoded track
    audio: null,         // the AudioContext, made by the Play gesture
    musicOut: null,      // the music's way out: a gain, for volume and mute
    next: null,          // a fresh instance, ready for the next viewing
    current: null,
    ready: false,
    playing: false,
    frames: [],          // [t, step ms] per step of the show
    output: [],
  };
  window.showPage = page;
  const announce = (name) => document.dispatchEvent(new Event(name));
  // A bundle (scripts/web.sh --bundle) names its files by their content.
  const assetUrl = (path) => (window.showFiles && window.showFiles[path]) || path;

  function stop(text) {
    $('start').hidden = true;
    $('problem-text').textContent = text;
    $('problem').hidden = false;
  }

  // The bar's share for a stage of loading: from, plus span times the part done.
  function progress(from, span, done = 0, total = 0) {
    const part = total ? Math.min(1, done / total) : 0;
    $('fill').style.transform = `scaleX(${from + span * part})`;  // no layout for each chunk
  }

  // Fetches every URL at once, reporting the bytes so far against the sizes
  // announced so far.
  async function fetchAll(urls, onProgress) {
    const got = urls.map(() => 0);
    const sizes = urls.map(() => 0);
    const report = () => onProgress(got.reduce((a, b) => a + b, 0), sizes.reduce((a, b) => a + b, 0));
    return Promise.all(urls.map(async (url, i) => {
      const response = await fetch(assetUrl(url));
      if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
      sizes[i] = Number(response.headers.get('Content-Length')) || 0;
      const chunks = [];
      const reader = response.body.getReader();
      for (;;) {
        const { done, value } = await reader.read();
        if (done) break;
        chunks.push(value);
        got[i] += value.length;
        sizes[i] = Math.max(sizes[i], got[i]);
        report();
      }
      const bytes = new Uint8Array(got[i]);
      let at = 0;
      for (const chunk of chunks) { bytes.set(chunk, at); at += chunk.length; }
      return bytes;
    }));
  }

  function makeInstance() {
    return createShow({
      wasmBinary: page.wasm,
      canvas: $('screen'),
      print: (line) => page.output.push(line),
      printErr: (line) => console.warn(line),
      hasAudio: () => !!(page.audio && page.music),
      music: player,
      showPicture: showPicture,
      toggleFullscreen: () => page.toggleFullscreen(),
      frameDone: (t, stepMs) => page.frames.push([t, stepMs]),
      showEnded: ended,
    });
  }

  function giveFiles(instance) {
    for (const [path, bytes] of page.files) {
      const folder = path.slice(0, path.lastIndexOf('/'));
      if (folder && !instance.FS.analyzePath(folder).exists) instance.FS.mkdirTree(folder);
      instance.FS.writeFile(path, bytes);
    }
    return instance;
  }

  const context2d = $('screen').getContext('2d', { alpha: false });
  function showPicture(bytes, width, height) {
    const pixels = new Uint8ClampedArray(bytes.buffer, bytes.byteOffset, width * height * 4);
    context2d.putImageData(new ImageData(pixels, width, height), 0, 0);
  }

  // The decoded track, played from a moment, paused and moved with the show.
  const player = {
    source: null,     // the playing buffer source
    offset: 0,        // seconds into the track where source started, or where it stands
    startedAt: 0,     // the audio clock when source started
    paused: false,
    start(path, fromMs) {
      if (path !== page.musicPath || !page.audio || !page.music) return;
      this.stop();
      this.offset = fromMs / 1000;
      this.paused = false;
      this.play();
    },
    play() {
      if (this.offset >= page.music.duration) return;
      this.source = page.audio.createBufferSource();
      this.source.buffer = page.music;
      this.source.connect(page.musicOut);
      this.source.start(0, this.offset);
      this.startedAt = page.audio.currentTime;
    },
    stop() {
      if (this.source) this.source.stop();
      this.source = null;
    },
    position() {
      const seconds = this.source ? this.offset + page.audio.currentTime - this.startedAt : this.offset;
      return Math.min(seconds, page.music.duration);
    },
    pause(paused) {
      if (paused === this.paused) return;
      this.paused = paused;
      if (!paused) return this.play();
      this.offset = this.position();
      this.stop();
    },
    seek(ms) {
      this.stop();
      this.offset = ms / 1000;
      if (!this.paused) this.play();
    },
    positionMs() { return this.position() * 1000; },
  };
  page.player = player;

  // A module whose one function returns a vector (i32.const 0, i8x16.splat):
  // valid only where WebAssembly has the vector instructions show.wasm uses.
  const vectorModule = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0,
                                       10, 8, 1, 6, 0, 65, 0, 253, 15, 11]);

  async function load() {
    const AudioContext = window.AudioContext || window.webkitAudioContext;
    if (typeof WebAssembly !== 'object' || typeof createShow !== 'function' ||
        !WebAssembly.validate(vectorModule)) {
      stop('This browser cannot run WebAssembly with vector instructions, which the show needs. ' +
           'Please open the page in a current Chrome, Firefox, Safari or Edge.');
      return;
    }
    // The track is decoded offline: an AudioContext, slow to make (it opens the
    // sound device), is made only when the show is played.
    const OfflineContext = window.OfflineAudioContext || window.webkitOfflineAudioContext;
    const decoder = AudioContext && OfflineContext ? new OfflineContext(2, 1, 44100) : null;
    if (!decoder) {
      $('warning').textContent = 'This browser has no Web Audio: the show will play without its music.';
      $('warning').hidden = false;
    }
    const [wasm] = await fetchAll(['show.wasm'], (done, total) => progress(0, 0.1, done, total));
    page.wasm = wasm;
    const first = await makeInstance();
    const images = [];
    for (let i = 0; i < first._web_image_count(); ++i) images.push(first.UTF8ToString(first._web_image_name(i)));
    page.musicPath = first.UTF8ToString(first._web_music_name());
    // The build compresses the track into the same name with .mp3.
    const compressed = page.musicPath.replace(/\.wav$/, '.mp3');
    const paths = decoder ? [...images, compressed] : images;
    const bytes = await fetchAll(paths, (done, total) => progress(0.1, 0.9, done, total));
    page.files = images.map((path, i) => [path, bytes[i]]);
    if (decoder) page.music = await decoder.decodeAudioData(bytes[images.length].buffer);
    page.next = giveFiles(first);
    page.ready = true;
    progress(1, 0);
    if (params.has('capture')) return capture();
    page.showMs = first._web_show_ms();
    page.scenes = [];
    for (let i = 0; i < first._web_scene_count(); ++i)
      page.scenes.push({ name: first.UTF8ToString(first._web_scene_name(i)), ms: first._web_scene_start_ms(i) });
    $('status').textContent = 'Ready';
    $('play').disabled = false;
    $('play').focus();
    announce('showready');
  }

  // The show from startMs on, in the instance made ready for it.
  function play(startMs = 0) {
    if (!page.ready || page.playing || !page.next) return;
    page.playing = true;
    if (page.music && !page.audio) {
      page.audio = new (window.AudioContext || window.webkitAudioContext)();
      page.musicOut = page.audio.createGain();
      page.musicOut.connect(page.audio.destination);
    }
    if (page.audio) page.audio.resume();
    $('start').hidden = true;
    $('end').hidden = true;
    $('stage').hidden = false;
    page.current = page.next;
    page.next = null;
    page.frames = [];
    if (page.current._web_start(startMs) !== 0) return stop('The show could not start in this browser.');
    announce('showstarted');
  }

  function ended() {
    page.playing = false;
    player.stop();
    $('stage').hidden = true;
    $('end').hidden = false;
    makeInstance().then((instance) => {
      page.next = giveFiles(instance);
      $('again').focus();
    });
    announce('showended');
  }

  function capture() {
    const fps = Number(params.get('capture')) || 60;
    const at = params.has('at') ? Number(params.get('at')) * 1000 : -1;
    page.output = [];
    page.next._web_capture(fps, at, params.get('hash') === '1' ? 1 : 0, params.get('present') === '1' ? 1 : 0);
    $('start').hidden = true;
    $('stage').hidden = params.get('present') !== '1';
    $('output').textContent = page.output.join('\n') + '\n';
    $('output').hidden = false;
    document.body.dataset.captured = 'yes';
  }

  // The show's commands by their keys' names (KeyboardEvent.key); true when
  // the show took the key.
  page.key = (name) => page.playing && page.current.ccall('web_key', 'number', ['string'], [name]) === 1;
  page.seek = (ms) => { if (page.playing) page.current._web_seek(ms); };
  page.paused = () => page.playing && page.current._web_paused() === 1;
  page.play = play;

  load().catch((error) => stop(`The show's files could not be loaded (${error.message}). Please reload the page.`));
})();
