# Sourced by the browser scripts: builds the page's bundle and serves it with
# scripts/serve.py on a free port of 127.0.0.1, logging into $work (made
# here); bundle_url waits for the server and prints the page's address.
bash scripts/web.sh --bundle build-web/bundle
work=$(mktemp -d)
python3 -u scripts/serve.py build-web/bundle --port 0 >"$work/server.log" 2>&1 &
server=$!

bundle_url() {
  local port=
  for _ in $(seq 50); do
    port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/server.log")
    [ -n "$port" ] && break
    sleep 0.2
  done
  [ -n "$port" ] || { echo "the page's server did not start: $(cat "$work/server.log")" >&2; return 1; }
  echo "http://127.0.0.1:$port/"
}
