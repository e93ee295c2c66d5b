#!/usr/bin/env python3
"""Writes a fuzz seed corpus. For the png target: small valid PNGs of every
accepted colour type and bit depth, with every filter type, stored and
compressed streams, split IDATs, ancillary chunks and a file without IEND. For
the inflate target: DEFLATE streams of every block type and zlib strategy,
each behind two bytes of output capacity (the exact size, one less, more).
Usage: make_seeds.py DIR [png|inflate]"""
import os
import random
import struct
import sys
import zlib

FORMATS = [(2, 8), (2, 16), (6, 8), (6, 16), (0, 1), (0, 2), (0, 4), (0, 8),
           (4, 1), (4, 2), (4, 4), (4, 8)]
CHANNELS = {0: 1, 2: 3, 4: 2, 6: 4}


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(width, height, color_type, depth, scanlines, level, idat_size=0,
        extra=b"", iend=True):
    out = b"\x89PNG\r\n\x1a\n"
    out += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, color_type, 0, 0, 0))
    out += extra
    stream = zlib.compress(scanlines, level)
    step = idat_size or len(stream) or 1
    for i in range(0, max(len(stream), 1), step):
        out += chunk(b"IDAT", stream[i:i + step])
    if iend:
        out += chunk(b"IEND", b"")
    return out


def scanlines(width, height, color_type, depth, rng):
    # Any filter type 0-4 over any bytes is a valid picture.
    row_bytes = (width * CHANNELS[color_type] * depth + 7) // 8
    data = bytearray()
    for y in range(height):
        data.append(y % 5)
        data.extend(rng.randrange(256) for _ in range(row_bytes))
    return bytes(data)


def deflate(data, level, strategy, window_bits):
    compressor = zlib.compressobj(level, zlib.DEFLATED, -window_bits, 9, strategy)
    return compressor.compress(data) + compressor.flush()


def inflate_seeds(rng):
    texts = {
        "random": bytes(rng.randrange(256) for _ in range(3000)),
        "text": b"the fish and the octopus swim past the duck; " * 60,
        "runs": b"".join(bytes([rng.randrange(4)]) * rng.randrange(1, 300) for _ in range(40)),
        "rows": scanlines(40, 30, 6, 8, rng),
        "short": b"abcabcabca",
    }
    strategies = {"default": zlib.Z_DEFAULT_STRATEGY, "filtered": zlib.Z_FILTERED,
                  "huffman": zlib.Z_HUFFMAN_ONLY, "rle": zlib.Z_RLE, "fixed": zlib.Z_FIXED}
    seeds = {}
    for text_name, data in texts.items():
        for level in (0, 1, 6, 9):
            for strategy_name, strategy in strategies.items():
                stream = deflate(data, level, strategy, 15 if level != 1 else 9)
                for slack in (0, -1, 5):
                    capacity = max(0, len(data) + slack)
                    name = "%s_l%d_%s_%+d" % (text_name, level, strategy_name, slack)
                    seeds[name] = struct.pack("<H", capacity) + stream
    return seeds


def png_seeds(rng):
    seeds = {}
    for color_type, depth in FORMATS:
        for width, height in ((3, 5), (8, 2), (1, 1)):
            raw = scanlines(width, height, color_type, depth, rng)
            name = "t%d_d%d_%dx%d" % (color_type, depth, width, height)
            seeds[name + "_l9"] = png(width, height, color_type, depth, raw, 9)
            seeds[name + "_stored"] = png(width, height, color_type, depth, raw, 0)
    raw = scanlines(6, 4, 6, 8, rng)
    seeds["split_idat"] = png(6, 4, 6, 8, raw, 6, idat_size=5)
    seeds["ancillary"] = png(6, 4, 6, 8, raw, 6,
                             extra=chunk(b"tEXt", b"Title\x00fish") + chunk(b"gAMA", b"\x00\x00\xb1\x8f"))
    seeds["no_iend"] = png(6, 4, 6, 8, raw, 1, iend=False)
    seeds["height0"] = png(4, 0, 6, 8, b"", 6)
    return seeds


def main():
    out_dir = sys.argv[1]
    target = sys.argv[2] if len(sys.argv) > 2 else "png"
    os.makedirs(out_dir, exist_ok=True)
    rng = random.Random(7)
    seeds = inflate_seeds(rng) if target == "inflate" else png_seeds(rng)
    suffix = ".bin" if target == "inflate" else ".png"
    for name, data in seeds.items():
        with open(os.path.join(out_dir, name + suffix), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
