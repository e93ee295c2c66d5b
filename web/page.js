// The page around the show: checks what the browser offers, fetches the
// files with a progress bar, starts the show when asked (browsers play sound
// only after a gesture), runs it an animation frame at a time in step with
// its music, the end screen and watching again. The player's controls, keys
// and touch are controls.js's: it drives the show through page.play, key,
// seek and paused, and hears of it through the events showready,
// showstarted and showended on document. Test hook:
// ?capture=FPS[&hash=1][&at=SECONDS][&present=1] draws the show on the
// virtual clock and writes one line a frame into #output, as the offline
// renderer's --hashes does (presenting each frame on the canvas too with
// present=1), a few frames at a time so the page stays responsive.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);
  const params = new URLSearchParams(location.search);
  const page = {
    wasm: null,          // show.wasm's bytes
    files: [],           // [path in the show's folder, bytes]
    musicPath: '',       // the track's name as the show asks for it
    music: null,         // the track's media element, once it can play
    audio: null,         // the AudioContext, made by the Play gesture
    musicOut: null,      // the music's way out: a gain, for volume and mute
    next: null,          // the instance, ready for the next viewing
    current: null,
    ready: false,
    readyMs: 0,          // performance.now() when Play was offered
    playing: false,
    frames: [],          // [t, step ms, show ms, picture minus music ms or null] per frame drawn
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
      locateFile: (path) => assetUrl(path),
      canvas: $('screen'),
      print: (line) => page.output.push(line),
      printErr: (line) => console.warn(line),
      hasAudio: () => player.live(),
      music: player,
      showPicture: showPicture,
      toggleFullscreen: () => page.toggleFullscreen(),
      frameDone: (t, stepMs, showMs) => page.frames.push([t, stepMs, showMs, player.apartMs(showMs)]),
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

  // Where the browser allows (OffscreenCanvas) a worker of its own draws the
  // canvas: putting each picture on it and handing it to the compositor took
  // over half of the main thread's time a frame (25 of 43 ms at CPU 4x). Each
  // picture is copied into a buffer that is handed over whole and comes back
  // to be used again. Elsewhere the page draws it, a picture in shared memory
  // (the threads' build) copied out first: ImageData takes only memory of its own.
  const canvas = $('screen');
  const pictureBytes = canvas.width * canvas.height * 4;
  const drawer = { worker: null, context: null, spare: [], owed: null, reads: [] };
  let unshared = null;
  function drawOnWorker() {
    let context = null;
    onmessage = ({ data }) => {
      if (data.canvas) {
        context = data.canvas.getContext('2d', { alpha: false });
      } else if (data.buffer) {
        context.putImageData(new ImageData(new Uint8ClampedArray(data.buffer), data.width, data.height), 0, 0);
        postMessage({ buffer: data.buffer }, [data.buffer]);
      } else {
        postMessage({ pixels: context.getImageData(0, 0, data.width, data.height).data });
      }
    };
  }
  if (typeof OffscreenCanvas === 'function' && canvas.transferControlToOffscreen && new OffscreenCanvas(1, 1).getContext('2d')) {
    const offscreen = canvas.transferControlToOffscreen();
    drawer.worker = new Worker(URL.createObjectURL(new Blob([`(${drawOnWorker})();`], { type: 'text/javascript' })));
    drawer.worker.postMessage({ canvas: offscreen }, [offscreen]);
    drawer.spare.push(new ArrayBuffer(pictureBytes), new ArrayBuffer(pictureBytes));
    drawer.worker.onmessage = ({ data }) => {
      if (!data.buffer) return drawer.reads.shift()(data.pixels);
      drawer.spare.push(data.buffer);
      sendPicture();
    };
  } else {
    drawer.context = canvas.getContext('2d', { alpha: false });
  }

  // With no buffer back from the worker yet, the picture waits for one; a
  // later picture takes its place (the show's own, which holds the latest).
  function sendPicture() {
    if (!drawer.owed || !drawer.spare.length) return;
    const { bytes, width, height } = drawer.owed;
    drawer.owed = null;
    if (bytes.length !== width * height * 4) return;  // the show's memory grew since: a later picture comes
    const buffer = drawer.spare.pop();
    new Uint8Array(buffer).set(bytes.subarray(0, width * height * 4));
    drawer.worker.postMessage({ buffer, width, height }, [buffer]);
  }

  function showPicture(bytes, width, height) {
    if (drawer.worker) {
      drawer.owed = { bytes, width, height };
      sendPicture();
      return;
    }
    const size = width * height * 4;
    let pixels = new Uint8ClampedArray(bytes.buffer, bytes.byteOffset, size);
    if (!(bytes.buffer instanceof ArrayBuffer)) {
      if (!unshared || unshared.length !== size) unshared = new Uint8ClampedArray(size);
      unshared.set(pixels);
      pixels = unshared;
    }
    drawer.context.putImageData(new ImageData(pixels, width, height), 0, 0);
  }

  // The canvas's pixels once the last picture is drawn, for tests.
  page.canvasPixels = async () => {
    if (!drawer.worker) return drawer.context.getImageData(0, 0, canvas.width, canvas.height).data;
    while (drawer.owed) await new Promise((done) => setTimeout(done, 10));
    return new Promise((resolve) => {
      drawer.reads.push(resolve);
      drawer.worker.postMessage({ width: canvas.width, height: canvas.height });
    });
  };

  // Starting the show decodes its pictures and makes its tables, and touches
  // about 23 MB of fresh memory, which is slow the first time (15-20 ms for a
  // picture's 5.76 MB here): the frame, the picture it is blended into (the
  // show allocates them in the block given back here), the buffers a picture
  // is copied into and the canvas. The start screen does all that first, a
  // piece a task, so that pressing Play and the first frames run no long task.
  const warm = { block: 0, tasks: [], touched: false };
  function warmUp(instance) {
    const sliceBytes = 1 << 20;
    const blockBytes = 2 * pictureBytes;
    const prepare = () => { if (!instance._web_prepare()) warm.tasks.unshift(prepare); };
    warm.tasks.push(prepare, () => { warm.block = instance._malloc(blockBytes); });
    for (let at = 0; at < blockBytes; at += sliceBytes)
      warm.tasks.push(() => warm.block && instance.HEAPU8.fill(0, warm.block + at, warm.block + Math.min(at + sliceBytes, blockBytes)));
    warm.tasks.push(() => coolDown(instance));
    if (!warm.touched) {
      if (!drawer.worker && crossOriginIsolated) unshared = new Uint8ClampedArray(pictureBytes);
      for (const buffer of unshared ? [unshared.buffer] : drawer.spare)
        for (let at = 0; at < pictureBytes; at += sliceBytes) warm.tasks.push(() => new Uint8Array(buffer).fill(0, at, at + sliceBytes));
      const rows = Math.ceil(sliceBytes / (canvas.width * 4));
      for (let y = 0; drawer.context && y < canvas.height; y += rows)
        warm.tasks.push(() => drawer.context.fillRect(0, y, canvas.width, rows));
    }
    warm.touched = true;
    const next = () => {
      if (!warm.tasks.length) return;
      warm.tasks.shift()();
      setTimeout(next, 0);
    };
    setTimeout(next, 0);
  }
  function coolDown(instance) {
    if (warm.block) instance._free(warm.block);
    warm.block = 0;
  }

  // The show's clock, in step with its music. The track streams from the
  // server through a media element into Web Audio (byte ranges where it
  // seeks), asked for beside the pictures and never decoded whole; what is heard is the element's position less the
  // output's latency. The picture follows the music: after a start, a resume
  // or a jump it holds until the music is heard from there, and when the two
  // part by more than kResyncMs the show's clock is set to the music. Music
  // that stops moving (stalled, failed) leaves the clock to run on alone;
  // heard again far from the picture, it is moved to it.
  const kResyncMs = 8;
  const kLostMs = 500;         // music not moving this long is left behind
  const kWaitMs = 2000;        // the longest the picture holds for the music to be heard
  const kMoveMusicMs = 250;    // parted by more, the music goes to the picture
  const player = {
    element: null,
    failed: false,
    paused: true,
    anchorMs: 0,               // show time at performance.now() anchorAt
    anchorAt: 0,
    waitingSince: -1,          // performance.now() since the picture holds for the music, or -1
    heardLast: 0,
    heardMovedAt: 0,           // performance.now() when heard last changed
    heardRead: 0,              // heard at the animation frame's start, at performance.now() heardReadAt
    heardReadAt: 0,
    movedAt: -Infinity,        // performance.now() when the music was last moved
    resyncs: 0,
    load(url) {
      const element = new Audio();
      element.preload = 'auto';
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
    clockMs(now = performance.now()) { return this.paused ? this.anchorMs : this.anchorMs + now - this.anchorAt; },
    setClock(ms, now = performance.now()) {
      this.anchorMs = ms;
      this.anchorAt = now;
    },
    moveMusic(ms) {
      this.element.currentTime = ms / 1000;
      this.movedAt = performance.now();
      this.waitingSince = this.paused ? -1 : this.movedAt;
      if (!this.paused) this.element.play().catch(() => {});
    },
    start(path, fromMs) {
      if (path !== page.musicPath) return;
      this.paused = false;
      this.setClock(fromMs);
      if (this.live()) this.moveMusic(fromMs);
    },
    pause(paused) {
      if (paused === this.paused) return;
      this.setClock(this.clockMs());
      this.paused = paused;
      if (!this.live()) return;
      if (paused) this.element.pause();
      else this.moveMusic(this.anchorMs);
    },
    seek(ms) {
      this.setClock(ms);
      if (this.live()) this.moveMusic(ms);
    },
    stop() {
      this.setClock(this.clockMs());
      this.paused = true;
      if (this.element) this.element.pause();
    },
    positionMs() { return this.live() ? this.heardMs() : this.clockMs(); },
    // The picture of showMs, just put on the canvas, against the music heard
    // now: as read at the animation frame's start (a media element's position
    // holds still within a task), plus the time since. Null unless both play
    // in step (not held, waiting or lost).
    apartMs(showMs) {
      const now = performance.now();
      const following = this.live() && !this.paused && this.waitingSince < 0 && now - this.heardMovedAt <= kLostMs;
      return following ? showMs - (this.heardRead + now - this.heardReadAt) : null;
    },
    // The moment to draw for: the frame nearest the moment it will be seen,
    // leadMs on; while the picture holds for the music, that moment itself.
    aimMs(leadMs) {
      const ms = this.nowMs();
      return this.paused || this.waitingSince >= 0 ? ms : ms + leadMs;
    },
    // The moment of the show for an animation frame.
    nowMs() {
      const now = performance.now();
      if (this.paused || !this.live()) return this.clockMs(now);
      const heard = this.heardMs();
      this.heardRead = heard;
      this.heardReadAt = now;
      if (heard !== this.heardLast) {
        this.heardLast = heard;
        this.heardMovedAt = now;
      }
      if (this.waitingSince >= 0) {
        if (heard >= this.anchorMs || now - this.waitingSince > kWaitMs) {
          this.waitingSince = -1;
          this.setClock(Math.max(heard, this.anchorMs), now);
        } else {
          this.setClock(this.anchorMs, now);
        }
        return this.clockMs(now);
      }
      if (now - this.heardMovedAt > kLostMs) return this.clockMs(now);
      const drift = this.clockMs(now) - heard;
      if (Math.abs(drift) > kMoveMusicMs && now - this.movedAt > 4 * kLostMs) {
        this.moveMusic(this.clockMs(now));
      } else if (Math.abs(drift) > kResyncMs) {
        this.setClock(heard, now);
        ++this.resyncs;
      }
      return this.clockMs(now);
    },
  };
  page.player = player;
  // Both clocks at once, for tests: the show's, the frame on screen's and the music's.
  page.clocks = () => ({
    show: player.clockMs(),
    drawn: page.current && page.playing ? page.current._web_drawn_ms() : 0,
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

  function loadScript(url) {
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = url;
      script.onload = resolve;
      script.onerror = () => reject(new Error(`${url} could not be loaded`));
      document.head.append(script);
    });
  }

  async function load() {
    const AudioContext = window.AudioContext || window.webkitAudioContext;
    if (typeof WebAssembly !== 'object' || !WebAssembly.validate(vectorModule)) {
      stop('This browser cannot run WebAssembly with vector instructions, which the show needs. ' +
           'Please open the page in a current Chrome, Firefox, Safari or Edge.');
      return;
    }
    // Threads need a cross-origin isolated page (shared memory); elsewhere one thread draws.
    page.build = window.crossOriginIsolated ? 'show-threads' : 'show';
    const [, [wasm]] = await Promise.all([
      loadScript(assetUrl(page.build + '.js')),
      fetchAll([page.build + '.wasm'], (done, total) => progress(0, 0.2, done, total)),
    ]);
    page.wasm = wasm;
    const first = await makeInstance();
    const images = [];
    for (let i = 0; i < first._web_image_count(); ++i) images.push(first.UTF8ToString(first._web_image_name(i)));
    page.musicPath = first.UTF8ToString(first._web_music_name());
    if (params.has('capture')) return capture(first, images);
    checkStart(first._web_show_ms());
    // The build compresses the track into the same name with .mp3.
    const compressed = page.musicPath.replace(/\.wav$/, '.mp3');
    const [bytes] = await Promise.all([
      fetchAll(images, (done, total) => progress(0.2, 0.8, done, total)),
      AudioContext && player.load(assetUrl(compressed)),
    ]);
    page.files = images.map((path, i) => [path, bytes[i]]);
    page.next = giveFiles(first);
    if (player.element && !player.failed) page.music = player.element;
    if (!page.music) warn('This browser has no Web Audio, or the music could not be loaded: ' +
                             'the show will play without its music.');
    page.ready = true;
    page.readyMs = performance.now();
    progress(1, 0);
    page.showMs = first._web_show_ms();
    page.scenes = [];
    for (let i = 0; i < first._web_scene_count(); ++i)
      page.scenes.push({ name: first.UTF8ToString(first._web_scene_name(i)), ms: first._web_scene_start_ms(i) });
    warmUp(first);
    $('status').textContent = 'Ready';
    $('play').disabled = false;
    $('play').focus();
    announce('showready');
  }

  // The show an animation frame at a time, each frame aimed at the moment it
  // will be on the canvas: the music's moment now plus what drawing took of
  // late (the median of the last kStepsKept frames), plus half a frame for
  // the frame nearest that moment. A machine too slow for every frame leaves
  // frames out; the music never waits for the picture.
  const kStepsKept = 15;
  const kHalfFrameMs = 1000 / 120;
  const recentSteps = [];
  function leadMs() {
    const sorted = [...recentSteps].sort((a, b) => a - b);
    return (sorted.length ? sorted[sorted.length >> 1] : 0) + kHalfFrameMs;
  }
  function tick() {
    if (!page.playing) return;
    const began = performance.now();
    const drawn = page.frames.length;
    const going = page.current._web_frame(player.aimMs(leadMs()));
    if (page.frames.length > drawn) {
      recentSteps.push(performance.now() - began);
      if (recentSteps.length > kStepsKept) recentSteps.shift();
    }
    if (going) requestAnimationFrame(tick);
  }

  // The show from startMs on (from the beginning when that is not a moment of it).
  function play(startMs = 0) {
    if (!page.ready || page.playing || !page.next) return;
    page.playing = true;
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
    page.current = page.next;
    page.next = null;
    warm.tasks = [];
    coolDown(page.current);
    page.frames = [];
    const from = startMs >= 0 && startMs < page.showMs ? startMs : 0;
    if (page.current._web_start(from) !== 0) return stop('The show could not start in this browser.');
    requestAnimationFrame(tick);
    announce('showstarted');
  }

  function ended() {
    page.playing = false;
    player.stop();
    $('stage').hidden = true;
    $('end').hidden = false;
    page.next = page.current;
    warmUp(page.next);
    $('again').focus();
    announce('showended');
  }

  // A hidden page pauses picture and music together; shown again, both go on.
  document.addEventListener('visibilitychange', () => {
    if (page.playing) page.current._web_hidden(document.hidden ? 1 : 0);
  });

  // The test hook's options, refused with a word on the page when out of range.
  function captureOptions(showMs) {
    const fps = params.get('capture');
    if (!/^\d+$/.test(fps) || Number(fps) < 1 || Number(fps) > 60)
      return `capture=${fps.slice(0, 20)}: frames a second must be a whole number from 1 to 60.`;
    const at = params.has('at') ? params.get('at') : '-1';
    if (at !== '-1' && !(/^\d+(\.\d+)?$/.test(at) && Number(at) * 1000 <= showMs))
      return `at=${at.slice(0, 20)}: seconds from 0 to ${showMs / 1000}.`;
    return { fps: Number(fps), at: at === '-1' ? -1 : Number(at) * 1000 };
  }

  async function capture(instance, images) {
    const options = captureOptions(instance._web_show_ms());
    if (typeof options === 'string') return stop(options);
    const bytes = await fetchAll(images, (done, total) => progress(0.2, 0.8, done, total));
    page.files = images.map((path, i) => [path, bytes[i]]);
    giveFiles(instance);
    page.output = [];
    const present = params.get('present') === '1';
    $('start').hidden = true;
    $('stage').hidden = !present;
    if (instance._web_capture_begin(options.fps, options.at, params.get('hash') === '1' ? 1 : 0, present ? 1 : 0) !== 0)
      return stop('The show could not start in this browser.');
    while (!instance._web_capture_run(50)) await new Promise((done) => setTimeout(done, 0));
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
