#!/usr/bin/env python3
"""Serves the show's page from a folder as a static host should: each file
compressed (a .br or .gz file beside it, else gzip made here once), content-
hashed names cached for a year and the rest revalidated, byte ranges of the
files sent as they are (the music streams and seeks through them), and the
page cross-origin isolated (COOP/COEP), which the show's threads need.

usage: serve.py FOLDER [--port N] [--bind ADDRESS]   (port 0: a free one)
"""
import argparse
import functools
import gzip
import http.server
import os
import re
import sys

# Long-lived files carry a hash of their bytes in their names: name.0123456789ab.ext
HASHED_NAME = re.compile(r'\.[0-9a-f]{12}\.[a-z0-9]+$')
LONG_LIVED = 'public, max-age=31536000, immutable'
REVALIDATE = 'no-cache'
# Worth compressing; pictures and music already are.
COMPRESSIBLE = {'.html', '.js', '.mjs', '.css', '.wasm', '.json', '.webmanifest', '.svg', '.txt', '.xml'}
TYPES = {'.html': 'text/html; charset=utf-8', '.wasm': 'application/wasm', '.js': 'text/javascript', '.mjs': 'text/javascript',
         '.webmanifest': 'application/manifest+json', '.json': 'application/json',
         '.svg': 'image/svg+xml', '.mp3': 'audio/mpeg', '.txt': 'text/plain'}


def byte_range(header, size):
    """(first, last) of a single 'bytes=' range within size bytes; None for
    no range or one this server does not serve (several, malformed), which
    is answered whole; 'unsatisfiable' for one beyond the end."""
    match = re.fullmatch(r'bytes=(\d*)-(\d*)', (header or '').strip())
    if not match or match.groups() == ('', ''):
        return None
    first, last = match.groups()
    if first == '':
        first, last = max(0, size - int(last)), size - 1
    else:
        first, last = int(first), min(size - 1, int(last)) if last else size - 1
    return (first, last) if first <= last else 'unsatisfiable'


def accepted_encodings(header):
    """The encodings a request's Accept-Encoding allows (q=0 refuses)."""
    allowed = set()
    for item in (header or '').split(','):
        name, _, params = item.strip().partition(';')
        if params.strip().replace(' ', '') in ('q=0', 'q=0.0', 'q=0.00', 'q=0.000'):
            continue
        allowed.add(name.strip().lower())
    return allowed


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'  # connections kept open across the page's many files
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, **TYPES}
    gzipped = {}  # path -> (mtime, size, gzip bytes), made on first request

    def end_headers(self):
        self.send_header('Cross-Origin-Opener-Policy', 'same-origin')
        self.send_header('Cross-Origin-Embedder-Policy', 'require-corp')
        self.send_header('Cross-Origin-Resource-Policy', 'same-origin')
        self.send_header('X-Content-Type-Options', 'nosniff')
        super().end_headers()

    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            if not self.path.split('?', 1)[0].endswith('/'):
                return super().send_head()  # the redirect to the folder's address
            path = os.path.join(path, 'index.html')
        if not os.path.isfile(path):
            self.send_error(404, 'File not found')
            return None
        body, encoding = self.choose_body(path)
        wanted = None if encoding else byte_range(self.headers.get('Range'), len(body))
        if wanted == 'unsatisfiable':
            self.send_response(416)
            self.send_header('Content-Range', f'bytes */{len(body)}')
            self.send_header('Content-Length', '0')
            self.end_headers()
            return None
        if wanted:
            self.send_response(206)
            self.send_header('Content-Range', f'bytes {wanted[0]}-{wanted[1]}/{len(body)}')
            body = body[wanted[0]:wanted[1] + 1]
        else:
            self.send_response(200)
        if not encoding:
            self.send_header('Accept-Ranges', 'bytes')
        self.send_header('Content-Type', self.guess_type(path))
        self.send_header('Content-Length', str(len(body)))
        self.send_header('Cache-Control', LONG_LIVED if HASHED_NAME.search(path) else REVALIDATE)
        if os.path.splitext(path)[1] in COMPRESSIBLE:
            self.send_header('Vary', 'Accept-Encoding')
        if encoding:
            self.send_header('Content-Encoding', encoding)
        self.send_header('Last-Modified', self.date_time_string(int(os.path.getmtime(path))))
        self.end_headers()
        return body

    # The bytes to send and their encoding: a precompressed file beside the
    # path, brotli first, else gzip made here, else the file itself.
    def choose_body(self, path):
        allowed = accepted_encodings(self.headers.get('Accept-Encoding'))
        for encoding, suffix in (('br', '.br'), ('gzip', '.gz')):
            if encoding in allowed and os.path.isfile(path + suffix):
                with open(path + suffix, 'rb') as file:
                    return file.read(), encoding
        with open(path, 'rb') as file:
            plain = file.read()
        if 'gzip' not in allowed or os.path.splitext(path)[1] not in COMPRESSIBLE:
            return plain, None
        stat = os.stat(path)
        cached = self.gzipped.get(path)
        if not cached or cached[:2] != (stat.st_mtime, stat.st_size):
            cached = (stat.st_mtime, stat.st_size, gzip.compress(plain, 9))
            self.gzipped[path] = cached
        return cached[2], 'gzip'

    # send_head returns the whole body as bytes, not a file.
    def do_GET(self):
        body = self.send_head()
        if body:
            self.wfile.write(body)

    def do_HEAD(self):
        self.send_head()


def main():
    parser = argparse.ArgumentParser(description='Serves the show\'s page from FOLDER.')
    parser.add_argument('folder')
    parser.add_argument('--port', type=int, default=8000)
    parser.add_argument('--bind', default='127.0.0.1')
    options = parser.parse_args()
    if not os.path.isfile(os.path.join(options.folder, 'index.html')):
        sys.exit(f'serve.py: {options.folder} holds no index.html')
    handler = functools.partial(Handler, directory=options.folder)
    with http.server.ThreadingHTTPServer((options.bind, options.port), handler) as server:
        host, port = server.server_address[:2]
        print(f'Serving {options.folder} on {host} port {port} (http://{host}:{port}/)', flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass


if __name__ == '__main__':
    main()
