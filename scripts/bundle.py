#!/usr/bin/env python3
"""Makes a folder for any static host from the web build: the long-lived
files (the show's code, scripts, pictures, music) named by a hash of their
bytes, the style sheet inside the page, the web app manifest, the service
worker, robots.txt, the icons and the preview picture (cut from a frame of the
show), and a .br and a .gz beside every file worth compressing.

usage: bundle.py WEB_BUILD DESKTOP_BUILD OUT
(WEB_BUILD: build-web/; DESKTOP_BUILD: build/, whose demo-capture draws the
frame the pictures are cut from)
"""
import gzip
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile

TITLE = 'JUBRA'
DESCRIPTION = 'A two-minute audiovisual demo, every pixel drawn in software, playing live in your browser.'
# Long-lived: every script and WebAssembly file of the build but the service
# worker (which must keep its name), and the pictures and music.
UNHASHED = {'sw.js'}
HASHED_FOLDERS = ['images', 'music']
COMPRESSIBLE = ('.html', '.js', '.css', '.wasm', '.webmanifest', '.json', '.txt')
# The frame the icons and the preview come from (seconds into the show), and
# the square of it the icons show: the donut down the corridor.
PICTURE_AT_SECONDS = 71
ICON_SQUARE = (500, 500, 550, 200)  # width, height, left, top in frame pixels
ICON_SIZES = {'favicon.png': 48, 'icon-180.png': 180, 'icon-192.png': 192, 'icon-512.png': 512}
PREVIEW_SIZE = (1200, 675)


def content_name(path, data):
    stem, ext = os.path.splitext(path)
    return f'{stem}.{hashlib.sha256(data).hexdigest()[:12]}{ext}'


def copy_hashed(web, out):
    """Copies the long-lived files under content names; returns {name: content name}."""
    names = {}
    paths = sorted(name for name in os.listdir(web)
                   if name.endswith(('.js', '.wasm')) and name not in UNHASHED and os.path.isfile(os.path.join(web, name)))
    for folder in HASHED_FOLDERS:
        paths += [f'{folder}/{name}' for name in sorted(os.listdir(os.path.join(web, folder)))]
    for path in paths:
        with open(os.path.join(web, path), 'rb') as file:
            data = file.read()
        names[path] = content_name(path, data)
        os.makedirs(os.path.dirname(os.path.join(out, names[path])), exist_ok=True)
        with open(os.path.join(out, names[path]), 'wb') as file:
            file.write(data)
    return names


def write_page(web, out, names):
    with open(os.path.join(web, 'index.html'), encoding='utf-8') as file:
        html = file.read()
    with open(os.path.join(web, 'page.css'), encoding='utf-8') as file:
        style = file.read()
    link = '<link rel="stylesheet" href="page.css">'
    if link not in html:
        sys.exit('bundle.py: index.html no longer links page.css as expected')
    html = html.replace(link, f'<style>\n{style}</style>')
    table = names
    first_script = '<script src="page.js" defer></script>'
    if first_script not in html:
        sys.exit('bundle.py: index.html no longer loads page.js as expected')
    html = html.replace(first_script, f'<script>window.showFiles = {json.dumps(table)};</script>\n{first_script}')
    for path, name in names.items():
        html = html.replace(f'src="{path}"', f'src="{name}"')
    with open(os.path.join(out, 'index.html'), 'w', encoding='utf-8') as file:
        file.write(html)


def ffmpeg(source, target, filters):
    subprocess.run(['ffmpeg', '-loglevel', 'error', '-y', '-i', source, '-vf', filters, target], check=True)


def write_pictures(desktop, out, work):
    frame = os.path.join(work, 'frame.png')
    capture = os.path.join(desktop, 'tools', 'capture', 'demo-capture')
    subprocess.run([capture, '--data', desktop, '--fps', '10', '--frame', frame,
                    '--at-seconds', str(PICTURE_AT_SECONDS), '--quiet'], check=True, stdout=subprocess.DEVNULL)
    ffmpeg(frame, os.path.join(out, 'preview.png'), f'scale={PREVIEW_SIZE[0]}:{PREVIEW_SIZE[1]}:flags=lanczos')
    width, height, left, top = ICON_SQUARE
    for name, size in ICON_SIZES.items():
        ffmpeg(frame, os.path.join(out, name), f'crop={width}:{height}:{left}:{top},scale={size}:{size}:flags=lanczos')


def write_manifest(out):
    manifest = {
        'name': f'{TITLE}: a real-time demo', 'short_name': TITLE, 'description': DESCRIPTION,
        'start_url': './', 'scope': './', 'display': 'fullscreen', 'orientation': 'landscape',
        'background_color': '#000000', 'theme_color': '#000000',
        'icons': [{'src': name, 'sizes': f'{size}x{size}', 'type': 'image/png'}
                  for name, size in ICON_SIZES.items() if size >= 192],
        'screenshots': [{'src': 'preview.png', 'sizes': f'{PREVIEW_SIZE[0]}x{PREVIEW_SIZE[1]}',
                         'type': 'image/png', 'form_factor': 'wide', 'label': 'The show'}],
    }
    with open(os.path.join(out, 'manifest.webmanifest'), 'w', encoding='utf-8') as file:
        json.dump(manifest, file, indent=1)
    with open(os.path.join(out, 'robots.txt'), 'w', encoding='utf-8') as file:
        file.write('User-agent: *\nAllow: /\n')


def write_service_worker(web, out, names):
    files = ['./', 'manifest.webmanifest', 'favicon.png', 'icon-192.png', 'icon-512.png'] + sorted(names.values())
    version = hashlib.sha256(json.dumps(files).encode()).hexdigest()[:12]
    with open(os.path.join(web, 'sw.js'), encoding='utf-8') as file:
        script = file.read()
    script = script.replace('%VERSION%', version).replace('%FILES%', json.dumps(files))
    with open(os.path.join(out, 'sw.js'), 'w', encoding='utf-8') as file:
        file.write(script)


def compress(out):
    for folder, _, files in os.walk(out):
        for name in files:
            if not name.endswith(COMPRESSIBLE):
                continue
            path = os.path.join(folder, name)
            subprocess.run(['brotli', '--quality=11', '--force', '--keep', '--output=' + path + '.br', path],
                           check=True)
            with open(path, 'rb') as file:
                data = file.read()
            with open(path + '.gz', 'wb') as file:
                file.write(gzip.compress(data, 9, mtime=0))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    web, desktop, out = sys.argv[1:]
    if os.path.exists(out) and os.listdir(out) and not os.path.isfile(os.path.join(out, 'sw.js')):
        sys.exit(f'bundle.py: {out} holds files that are not a bundle of the show; name an empty folder')
    parent = os.path.dirname(os.path.abspath(out))
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix='.bundle-', dir=parent)
    try:
        fresh = os.path.join(work, 'bundle')
        os.mkdir(fresh)
        names = copy_hashed(web, fresh)
        write_page(web, fresh, names)
        write_pictures(desktop, fresh, work)
        write_manifest(fresh)
        write_service_worker(web, fresh, names)
        compress(fresh)
        if os.path.exists(out):
            shutil.rmtree(out)
        os.rename(fresh, out)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    main()
