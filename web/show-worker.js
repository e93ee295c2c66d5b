// The show in a worker of its own, so that the page's thread keeps only the
// page: the emscripten module (show-threads.js with its drawing threads where
// the page is cross-origin isolated, else show.js), its files, the warm-up
// before Play, the show's clock in step with the music the page hears, an
// animation frame at a time, and each picture on the canvas (transferred here
// where the browser has OffscreenCanvas, else posted to the page, which puts
// it on its canvas). The capture test hook runs here too. page.js speaks to
// it by messages, each with a type: the page tells the music as heard and
// what the viewer does, and hears of every frame drawn.
'use strict';
const worker = {
  show: null,          // the instance
  url: null,           // a file of the show's folder to its absolute address
  capture: false,      // the page captures: no warm-up
  playing: false,
  asked: 0,            // the page's commands (keys, moves) this viewing
  taken: 0,            // of them, those the show's last step took
  frames: [],          // [t, step ms, show ms, picture minus music ms or null] not yet told
  output: [],
};
const say = (type, data = {}, transfer = []) => postMessage({ type, ...data }, transfer);
// One time base with the page: performance.now() counts from each thread's own start.
const nowMs = () => performance.timeOrigin + performance.now();

// Fetches every URL at once, reporting the bytes so far against the sizes
// once every response has announced its own (the part done would otherwise
// fall as more are announced).
async function fetchAll(urls, onProgress) {
  const got = urls.map(() => 0);
  const sizes = urls.map(() => 0);
  let announced = 0;
  const report = () => announced === urls.length &&
                       onProgress(got.reduce((a, b) => a + b, 0), sizes.reduce((a, b) => a + b, 0));
  return Promise.all(urls.map(async (url, i) => {
    const response = await fetch(worker.url(url));
    if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
    sizes[i] = Number(response.headers.get('Content-Length')) || 0;
    ++announced;
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

const progress = (from, span) => (done, total) => say('progress', { from, span, done, total });

// The show's clock, in step with its music. The page plays the track and
// tells what is heard (the element's position less the output's latency) at
// each of its animation frames, with the moment it was read; between two
// readings the music is reckoned to play on. The picture follows the music:
// after a start, a resume or a jump it holds until the music is heard from
// there, and when the two part by more than kResyncMs the show's clock is
// set to the music; paused, to where the music stopped. Music that stops
// moving (stalled, failed, or no word from a busy page) leaves the clock to
// run on alone; heard again far from the picture, it is moved to it.
const kResyncMs = 8;
const kLostMs = 500;         // music not moving this long is left behind
const kWaitMs = 2000;        // the longest the picture holds for the music to be heard
const kMoveMusicMs = 250;    // parted by more, the music goes to the picture
const music = {
  live: false,               // the page plays the music
  paused: true,
  anchorMs: 0,               // show time at nowMs() anchorAt
  anchorAt: 0,
  waitingSince: -1,          // nowMs() since the picture holds for the music, or -1
  reading: null,             // the page's latest: { ms, at, moving }, null since a move
  moves: 0,                  // moves asked of the page; readings from before the last are stale
  heardLast: 0,
  heardMovedAt: 0,           // nowMs() when heard last changed
  heardRead: 0,              // heard at the animation frame's start, at nowMs() heardReadAt
  heardReadAt: 0,
  movedAt: -Infinity,        // nowMs() when the music was last moved
  resyncs: 0,
  heardMs(now) { return this.reading.ms + (this.reading.moving ? now - this.reading.at : 0); },
  clockMs(now = nowMs()) { return this.paused ? this.anchorMs : this.anchorMs + now - this.anchorAt; },
  setClock(ms, now = nowMs()) {
    this.anchorMs = ms;
    this.anchorAt = now;
  },
  moveMusic(ms) {
    this.movedAt = nowMs();
    this.waitingSince = this.paused ? -1 : this.movedAt;
    this.reading = null;
    say('music', { action: 'move', ms, play: !this.paused, move: ++this.moves });
  },
  // Paused, the show's clock is set to where the music stopped.
  stopped({ ms, move }) {
    if (this.paused && move === this.moves) this.setClock(ms);
  },
  hear(reading) {
    if (reading.move !== this.moves) return;
    this.reading = reading;
    if (reading.ms === this.heardLast) return;
    this.heardLast = reading.ms;
    this.heardMovedAt = reading.at;
  },
  start(track, fromMs) {  // the show has one track
    this.paused = false;
    this.setClock(fromMs);
    if (this.live) this.moveMusic(fromMs);
  },
  pause(paused) {
    if (paused === this.paused) return;
    this.setClock(this.clockMs());
    this.paused = paused;
    if (!this.live) return;
    if (paused) say('music', { action: 'pause' });
    else this.moveMusic(this.anchorMs);
  },
  seek(ms) {
    this.setClock(ms);
    if (this.live) this.moveMusic(ms);
  },
  stop() {
    this.setClock(this.clockMs());
    this.paused = true;
  },
  positionMs() { return this.live && this.reading ? this.heardMs(nowMs()) : this.clockMs(); },
  // The picture of showMs, just put on the canvas, against the music heard
  // now: as reckoned at the animation frame's start, plus the time since.
  // Null unless both play in step (not held, waiting or lost).
  apartMs(showMs) {
    const now = nowMs();
    const following = this.live && !this.paused && this.waitingSince < 0 && this.reading &&
                      now - this.heardMovedAt <= kLostMs;
    return following ? showMs - (this.heardRead + now - this.heardReadAt) : null;
  },
  // The moment to draw for: the frame nearest the moment it will be seen,
  // leadMs on; while the picture holds for the music, that moment itself.
  aimMs(leadMs) {
    const ms = this.frameMs();
    return this.paused || this.waitingSince >= 0 ? ms : ms + leadMs;
  },
  // The moment of the show for an animation frame.
  frameMs() {
    const now = nowMs();
    if (this.paused || !this.live) return this.clockMs(now);
    const heard = this.reading ? this.heardMs(now) : -Infinity;
    this.heardRead = heard;
    this.heardReadAt = now;
    if (this.waitingSince >= 0) {
      if (heard >= this.anchorMs || now - this.waitingSince > kWaitMs) {
        this.waitingSince = -1;
        this.setClock(Math.max(heard, this.anchorMs), now);
      } else {
        this.setClock(this.anchorMs, now);
      }
      return this.clockMs(now);
    }
    if (!this.reading || now - this.heardMovedAt > kLostMs) return this.clockMs(now);
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

// Each picture onto the canvas. Where the page handed its canvas over, the
// threads' build hands it on to a worker of its own (present-worker.js),
// which copies each picture out of the shared memory (ImageData takes only
// memory of its own) and puts it on the canvas while the next frame is
// drawn: 1.5-2 ms a frame out of the show's step. The one-thread build puts
// each picture on the canvas here, straight from its memory. Elsewhere each
// picture is copied into one of two buffers handed to the page whole and
// back; with none back yet the picture waits for one, and a later picture
// takes its place (the show's own memory, which holds the latest).
const picture = { context: null, presenter: null, words: null, spare: [], owed: null, width: 0, height: 0 };
// The words' states, as present-worker.js reads them.
const kIdle = 0;
const kPosted = 1;
const kCopying = 2;
const kCopyWaitMs = 100;  // a presenter that never finishes costs a torn picture, not a stalled show

function usePictures(canvas, width, height, memory) {
  picture.width = width;
  picture.height = height;
  if (canvas && memory instanceof SharedArrayBuffer) {
    picture.words = new Int32Array(new SharedArrayBuffer(8));
    picture.presenter = new Worker(worker.url('present-worker.js'));
    picture.presenter.onmessage = ({ data }) => postMessage(data, [data.pixels.buffer]);
    picture.presenter.postMessage({ type: 'use', canvas, width, height }, [canvas]);
    picture.presenter.postMessage({ type: 'memory', buffer: memory, words: picture.words });
  } else if (canvas) {
    picture.context = canvas.getContext('2d', { alpha: false });
  } else {
    picture.spare.push(new ArrayBuffer(width * height * 4), new ArrayBuffer(width * height * 4));
  }
}

function sendPicture() {
  if (!picture.owed || !picture.spare.length) return;
  const { bytes, width, height } = picture.owed;
  picture.owed = null;
  if (bytes.length !== width * height * 4) return;  // the show's memory grew since: a later picture comes
  const buffer = picture.spare.pop();
  new Uint8Array(buffer).set(bytes);
  say('picture', { buffer, width, height }, [buffer]);
}

function showPicture(bytes, width, height) {
  if (picture.presenter) {
    Atomics.store(picture.words, 1, bytes.byteOffset);
    Atomics.store(picture.words, 0, kPosted);
    return picture.presenter.postMessage({ type: 'picture' });
  }
  if (!picture.context) {
    picture.owed = { bytes, width, height };
    return sendPicture();
  }
  const pixels = new Uint8ClampedArray(bytes.buffer, bytes.byteOffset, width * height * 4);
  picture.context.putImageData(new ImageData(pixels, width, height), 0, 0);
}

// Called by the show before it blends a picture over the last one: a
// picture whose copy has not begun is taken back, one being copied waited for.
function pictureTaken() {
  if (picture.words && Atomics.compareExchange(picture.words, 0, kPosted, kIdle) === kCopying)
    Atomics.wait(picture.words, 0, kCopying, kCopyWaitMs);
}

// Called by the show before it frees its pictures: the last one is copied first.
function pictureKept() {
  for (let state; picture.words && (state = Atomics.load(picture.words, 0)) !== kIdle;)
    if (Atomics.wait(picture.words, 0, state, kCopyWaitMs) === 'timed-out') return;
}

// The canvas's pixels once the last picture is drawn, for tests; null where
// the page draws the canvas (once every picture has gone to it).
async function canvasPixels() {
  if (picture.presenter) return picture.presenter.postMessage({ type: 'pixels' });
  if (!picture.context) {
    while (picture.owed) await new Promise((done) => setTimeout(done, 10));
    return say('pixels', { pixels: null });
  }
  const pixels = picture.context.getImageData(0, 0, picture.width, picture.height).data;
  say('pixels', { pixels }, [pixels.buffer]);
}

// Starting the show decodes its pictures and makes its tables, and touches
// about 23 MB of fresh memory, which is slow the first time (15-20 ms for a
// picture's 5.76 MB here): the frame, the picture it is blended into (the
// show allocates them in the block given back here), the buffers a picture
// is copied into and the canvas (the presenter touches its own). The start screen does all that first, a
// piece a task, so that Play and the first frames run no long task and the
// worker stays free to answer.
const warm = { block: 0, tasks: [], touched: false };
function warmUp() {
  const show = worker.show;
  const sliceBytes = 1 << 20;
  const pictureBytes = picture.width * picture.height * 4;
  const blockBytes = 2 * pictureBytes;
  const prepare = () => { if (!show._web_prepare()) warm.tasks.unshift(prepare); };
  warm.tasks.push(prepare, () => { warm.block = show._malloc(blockBytes); });
  for (let at = 0; at < blockBytes; at += sliceBytes)
    warm.tasks.push(() => warm.block && show.HEAPU8.fill(0, warm.block + at, warm.block + Math.min(at + sliceBytes, blockBytes)));
  warm.tasks.push(coolDown);
  if (!warm.touched) {
    for (const buffer of picture.spare)
      for (let at = 0; at < pictureBytes; at += sliceBytes) warm.tasks.push(() => new Uint8Array(buffer).fill(0, at, at + sliceBytes));
    const rows = Math.ceil(sliceBytes / (picture.width * 4));
    for (let y = 0; picture.context && y < picture.height; y += rows)
      warm.tasks.push(() => picture.context.fillRect(0, y, picture.width, rows));
  }
  warm.touched = true;
  const next = () => {
    if (!warm.tasks.length) return;
    warm.tasks.shift()();
    setTimeout(next, 0);
  };
  setTimeout(next, 0);
}
function coolDown() {
  if (warm.block) worker.show._free(warm.block);
  warm.block = 0;
}

// The show an animation frame at a time, each frame aimed at the moment it
// will be on the canvas: the music's moment now plus what drawing took of
// late (the median of the last kStepsKept frames), plus half a frame for
// the frame nearest that moment. A machine too slow for every frame leaves
// frames out; the music never waits for the picture. A worker without
// animation frames of its own steps at 60 a second.
const kStepsKept = 15;
const kHalfFrameMs = 1000 / 120;
const recentSteps = [];
const nextFrame = self.requestAnimationFrame ? (step) => requestAnimationFrame(step) : (step) => setTimeout(step, 1000 / 60);
function leadMs() {
  const sorted = [...recentSteps].sort((a, b) => a - b);
  return (sorted.length ? sorted[sorted.length >> 1] : 0) + kHalfFrameMs;
}
function tick() {
  if (!worker.playing) return;
  const began = performance.now();
  const drawn = worker.frames.length;
  worker.taken = worker.asked;
  const going = worker.show._web_frame(music.aimMs(leadMs()));
  if (worker.frames.length > drawn) {
    recentSteps.push(performance.now() - began);
    if (recentSteps.length > kStepsKept) recentSteps.shift();
  }
  if (!going) return;
  tell();
  nextFrame(tick);
}

// The frames drawn since last told, the frame on screen and the show's clock.
function tell() {
  const show = worker.show;
  say('frames', { frames: worker.frames, drawnMs: show._web_drawn_ms(), paused: show._web_paused() === 1,
                  clock: { anchorMs: music.anchorMs, anchorAt: music.anchorAt, paused: music.paused },
                  resyncs: music.resyncs, memoryBytes: show.HEAP8.length, taken: worker.taken });
  worker.frames = [];
}

function ended() {
  worker.playing = false;
  music.stop();
  tell();
  say('ended', { at: music.anchorAt });
  warmUp();
}

function play({ fromMs, live }) {
  warm.tasks = [];
  coolDown();
  music.live = live;
  worker.frames = [];
  worker.asked = 0;
  worker.taken = 0;
  if (worker.show._web_start(fromMs) !== 0) return say('problem', { text: 'The show could not start in this browser.' });
  worker.playing = true;
  nextFrame(tick);
}

// The frame on screen, for tests: its number, its hash and the camera that drew it.
function onScreen() {
  const show = worker.show;
  say('onScreen', { frame: show._web_drawn_frame(), hash: show.UTF8ToString(show._web_frame_hash()),
                    camera: [0, 1, 2].map((field) => show._web_camera(field)) });
}

// The test hook: frames on the virtual clock, drawn 50 ms at a time so that
// the worker answers between, their lines told as they come.
async function capture({ fps, atMs, hashes, present }) {
  const show = worker.show;
  if (show._web_capture_begin(fps, atMs, hashes ? 1 : 0, present ? 1 : 0) !== 0)
    return say('problem', { text: 'The show could not start in this browser.' });
  for (;;) {
    const done = show._web_capture_run(50);
    say('output', { lines: worker.output });
    worker.output = [];
    if (done) return say('captured');
    await new Promise((resume) => setTimeout(resume, 0));
  }
}

function giveFiles(images, bytes) {
  const show = worker.show;
  images.forEach((path, i) => {
    const folder = path.slice(0, path.lastIndexOf('/'));
    if (folder && !show.FS.analyzePath(folder).exists) show.FS.mkdirTree(folder);
    show.FS.writeFile(path, bytes[i]);
  });
}

// The show's code, then its pictures; the page hears what the show is
// (its music, length, scenes) as soon as the code runs, and fetches the
// music meanwhile.
async function load({ build, files, base, canvas, width, height, capture: capturing }) {
  worker.url = (path) => new URL((files && files[path]) || path, base).href;
  worker.capture = capturing;
  const fetched = fetchAll([build + '.wasm'], progress(0, 0.2));  // beside the script, which blocks this worker
  importScripts(worker.url(build + '.js'));
  const [wasm] = await fetched;
  const show = await createShow({
    wasmBinary: wasm,
    locateFile: (path) => worker.url(path),
    mainScriptUrlOrBlob: worker.url(build + '.js'),
    print: (line) => worker.output.push(line),
    printErr: (line) => console.warn(line),
    hasAudio: () => music.live,
    music,
    showPicture,
    pictureTaken,
    pictureKept,
    toggleFullscreen: () => say('fullscreen'),
    frameDone: (t, stepMs, showMs) => worker.frames.push([t, stepMs, showMs, music.apartMs(showMs)]),
    showEnded: ended,
  });
  worker.show = show;
  usePictures(canvas, width, height, show.HEAPU8.buffer);
  const images = [];
  for (let i = 0; i < show._web_image_count(); ++i) images.push(show.UTF8ToString(show._web_image_name(i)));
  const scenes = [];
  for (let i = 0; i < show._web_scene_count(); ++i)
    scenes.push({ name: show.UTF8ToString(show._web_scene_name(i)), ms: show._web_scene_start_ms(i) });
  say('loaded', { musicPath: show.UTF8ToString(show._web_music_name()), showMs: show._web_show_ms(), scenes,
                  threads: show._web_threads() });
  giveFiles(images, await fetchAll(images, progress(0.2, 0.8)));
  say('ready');
  if (!worker.capture) warmUp();
}

const failed = (error) => say('problem', { text: `The show's files could not be loaded (${error.message}). Please reload the page.` });

const messages = {
  load: (data) => load(data).catch(failed),
  capture,
  play,
  heard: (reading) => music.hear(reading),
  stopped: (where) => music.stopped(where),
  key: ({ name }) => {
    if (!worker.playing) return;
    ++worker.asked;
    worker.show.ccall('web_key', 'number', ['string'], [name]);
  },
  seek: ({ ms }) => {
    if (!worker.playing) return;
    ++worker.asked;
    worker.show._web_seek(ms);
  },
  hidden: ({ hidden }) => {
    if (!worker.playing) return;
    worker.show._web_hidden(hidden ? 1 : 0);
    tell();
  },
  buffer: ({ buffer }) => { picture.spare.push(buffer); sendPicture(); },
  pixels: canvasPixels,
  onScreen,
};
onmessage = ({ data }) => messages[data.type](data);
