#!/usr/bin/env bash
# The log robot as docs/deploy.md puts it on the internet: the nginx site given there (its first
# nginx block, with only the certificate, the port and the robot's address replaced) in front of a
# robot on a fresh data folder, served by nginx as the current user from a temporary folder on a free
# port of 127.0.0.1, with a throwaway self-signed certificate. Through https://127.0.0.1:PORT/ it runs
# the page test in headless Chromium (scripts/robot-pages/check-pages.mjs: upload, receipt, committee
# sign-in, a cross-check run, publishing, a form from another origin refused), then the probes of
# scripts/robot-pages/probe-proxy.mjs (a chunked body past the limit, thousands of headers, slow
# clients), which nginx must bound while the robot stays the same size and others are served.
# Installs nothing: nginx, openssl, node and chromium come with scripts/setup-debian.sh. Needs the
# native build.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
robot=$repo/build/native/stats-robot
pages=$repo/scripts/robot-pages
say() { echo "check-robot-https: $*" >&2; }
[[ -x $robot ]] || { say "build the native preset first ($robot missing)"; exit 1; }
nginx=$(command -v nginx || echo /usr/sbin/nginx)
for tool in "$nginx" openssl node; do
    command -v "$tool" >/dev/null || { say "$tool is missing: run scripts/setup-debian.sh"; exit 1; }
done
if [[ ! -d $pages/node_modules/puppeteer-core ]]; then
    (cd "$pages" && npm ci --no-audit --no-fund --loglevel=error)
fi

tmp=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT

proxy=()
[[ $("$robot" --help) == *--trusted-proxy* ]] && proxy=(--trusted-proxy 127.0.0.1)
"$robot" --data "$tmp/robot" --listen 127.0.0.1:0 "${proxy[@]}" --cty "$repo/samples/sa-tolven-cty.dat" \
    --start 2026-03-07 --end 2026-03-08 >"$tmp/robot.out" 2>"$tmp/robot.err" &
robot_pid=$!
pids+=("$robot_pid")

openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj /CN=127.0.0.1 \
    -addext subjectAltName=IP:127.0.0.1 -keyout "$tmp/key.pem" -out "$tmp/cert.pem" 2>/dev/null

for _ in $(seq 100); do
    grep -q '^listening on ' "$tmp/robot.out" 2>/dev/null && break
    sleep 0.1
done
robot_port=$(sed -n 's|^listening on http://127.0.0.1:\([0-9]*\)/$|\1|p' "$tmp/robot.out")
[[ -n $robot_port ]] || { say "the robot did not start:"; cat "$tmp/robot.err" >&2; exit 1; }

# The site as deployed, pointed at this certificate, port and robot; nginx's own paths in $tmp.
port=$(node -e 'const s = require("net").createServer().listen(0, "127.0.0.1", () => { console.log(s.address().port); s.close(); })')
awk '/^```nginx$/ { if (++block == 1) { on = 1; next } } on && /^```$/ { exit } on' "$repo/docs/deploy.md" |
    sed -e "/listen \[::\]/d" -e "s|listen 443 |listen 127.0.0.1:$port |" \
        -e "s|ssl_certificate .*;|ssl_certificate $tmp/cert.pem;|" \
        -e "s|ssl_certificate_key .*;|ssl_certificate_key $tmp/key.pem;|" \
        -e "s|http://127.0.0.1:8080|http://127.0.0.1:$robot_port|" >"$tmp/site.conf"
grep -q "listen 127.0.0.1:$port " "$tmp/site.conf" || { say "no nginx site found in docs/deploy.md"; exit 1; }
mkdir -p "$tmp/nginx"
{
    [[ $(id -u) == 0 ]] && echo "user $(id -un) $(id -gn);"
    cat <<EOF
worker_processes 1;
pid $tmp/nginx/nginx.pid;
error_log $tmp/nginx/error.log warn;
events { worker_connections 512; }
http {
    access_log off;
    client_body_temp_path $tmp/nginx/body;
    proxy_temp_path $tmp/nginx/proxy;
    fastcgi_temp_path $tmp/nginx/fastcgi;
    uwsgi_temp_path $tmp/nginx/uwsgi;
    scgi_temp_path $tmp/nginx/scgi;
    include $tmp/site.conf;
}
EOF
} >"$tmp/nginx.conf"
"$nginx" -p "$tmp/nginx" -c "$tmp/nginx.conf" -e "$tmp/nginx/error.log" -g 'daemon off;' 2>"$tmp/nginx.err" &
pids+=("$!")
for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done
(exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { say "nginx did not start:"; cat "$tmp/nginx.err" "$tmp/nginx/error.log" >&2; exit 1; }

url=https://127.0.0.1:$port/
mkdir -p "$tmp/shots"
status=0
node "$pages/check-pages.mjs" "$url" "$tmp/robot/committee-token" "$repo/samples/sa-tolven-sample.cbr" "$tmp/shots" ||
    status=1
node "$pages/probe-proxy.mjs" "$url" "$tmp/robot/committee-token" "$robot_pid" || status=1
if [[ $status != 0 ]]; then
    say "failed; the robot's and nginx's errors:"
    tail -n 20 "$tmp/robot.err" "$tmp/nginx/error.log" >&2 || true
fi
exit "$status"
