// The canvas of the threads' build, in a worker of its own started by the
// show's worker (show-worker.js): each picture copied out of the show's
// shared memory (ImageData takes only memory of its own) and put on the
// canvas here, beside the drawing of the next frame rather than within it.
// A word of shared memory tells the show's worker when the copy is done, as
// its next frame's blend writes over the picture.
'use strict';
const canvas = { context: null, pixels: null, image: null, heap: null, copying: null };

// The fresh memory and canvas touched once, before Play: the first touch of
// 5.76 MB is slow.
function use({ canvas: offscreen, width, height }) {
  canvas.context = offscreen.getContext('2d', { alpha: false });
  canvas.pixels = new Uint8ClampedArray(width * height * 4);
  canvas.pixels.fill(0);
  canvas.image = new ImageData(canvas.pixels, width, height);
  canvas.context.fillRect(0, 0, width, height);
}

function memory({ buffer, copying }) {
  canvas.heap = new Uint8Array(buffer);
  canvas.copying = copying;
}

function picture({ at }) {
  canvas.pixels.set(canvas.heap.subarray(at, at + canvas.pixels.length));
  Atomics.store(canvas.copying, 0, 0);
  Atomics.notify(canvas.copying, 0);
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
