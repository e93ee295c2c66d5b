// The canvas of the threads' build, in a worker of its own started by the
// show's worker (show-worker.js): each picture copied out of the show's
// shared memory (ImageData takes only memory of its own) and put on the
// canvas here, beside the drawing of the next frame rather than within it.
// Two words of shared memory pass the pictures: the state, and where the
// picture lies in the show's memory. The show posts a picture (kPosted) and
// a message; the copy begins (kCopying) only if the show has not taken the
// picture back meanwhile, as it does when it would blend over a picture not
// yet copied: the next picture then takes its place, as on a screen that
// missed a frame. Once the copy is done (kIdle) the show may blend again,
// or free the picture; each change of state is told to a show waiting on it.
'use strict';
const kIdle = 0;
const kPosted = 1;
const kCopying = 2;
const canvas = { context: null, pixels: null, image: null, heap: null, words: null };

// The fresh memory and canvas touched once, before Play: the first touch of
// 5.76 MB is slow.
function use({ canvas: offscreen, width, height }) {
  canvas.context = offscreen.getContext('2d', { alpha: false });
  canvas.pixels = new Uint8ClampedArray(width * height * 4);
  canvas.pixels.fill(0);
  canvas.image = new ImageData(canvas.pixels, width, height);
  canvas.context.fillRect(0, 0, width, height);
}

function memory({ buffer, words }) {
  canvas.heap = new Uint8Array(buffer);
  canvas.words = words;
}

// A message for each picture posted; one taken back, or copied with a
// later message, is not copied again.
function picture() {
  const words = canvas.words;
  if (Atomics.compareExchange(words, 0, kPosted, kCopying) !== kPosted) return;
  Atomics.notify(words, 0);
  const at = Atomics.load(words, 1);
  canvas.pixels.set(canvas.heap.subarray(at, at + canvas.pixels.length));
  Atomics.store(words, 0, kIdle);
  Atomics.notify(words, 0);
  canvas.context.putImageData(canvas.image, 0, 0);
}

// The canvas's pixels once the last picture is on it, for tests.
function pixels() {
  const { width, height } = canvas.image;
  const data = canvas.context.getImageData(0, 0, width, height).data;
  postMessage({ type: 'pixels', pixels: data }, [data.buffer]);
}

const messages = { use, memory, picture, pixels };
onmessage = ({ data }) => messages[data.type](data);
