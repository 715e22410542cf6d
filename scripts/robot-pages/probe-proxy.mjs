// Probes of the log robot behind its HTTPS proxy, from loopback addresses only and each bounded in
// count and time: a committee form with a valid session from another origin; a chunked body far past
// the limit to a route that takes none; thousands of headers; slow clients that trickle their bodies,
// and others that trickle their heads, while others are served. The proxy must refuse or hold them, the robot must grow by a few MB at
// most, and the other clients must be answered within two seconds.
// Usage: node probe-proxy.mjs URL TOKEN_FILE ROBOT_PID
import fs from 'node:fs';
import tls from 'node:tls';

const [url, tokenFile, robotPid] = process.argv.slice(2);
const base = new URL(url);
const token = fs.readFileSync(tokenFile, 'utf8').trim();
const failures = [];
const check = (ok, what) => { if (!ok) failures.push(what); console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`); };
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const rssKb = () => Number(/VmRSS:\s+(\d+)/.exec(fs.readFileSync(`/proc/${robotPid}/status`, 'utf8'))[1]);

// A request's head, HTTP/1.1 on a connection of its own.
function head(method, target, headers = {}) {
  const lines = [`${method} ${target} HTTP/1.1`, `Host: ${base.host}`, 'Connection: close'];
  for (const [name, value] of Object.entries(headers)) lines.push(`${name}: ${value}`);
  return `${lines.join('\r\n')}\r\n\r\n`;
}

// Opens a TLS connection from the loopback address `from`, writes each part of `parts` (strings or
// functions giving the next part or a promise of it, null at the end) until the server answers, and resolves with the
// answer's status (0: none), head, body and time taken; the connection is dropped at `timeoutMs`.
function exchange(from, parts, timeoutMs = 10000) {
  return new Promise((resolve) => {
    const started = Date.now();
    let answer = '';
    const socket = tls.connect({ host: base.hostname, port: Number(base.port), localAddress: from,
                                 rejectUnauthorized: false });
    const timer = setTimeout(() => socket.destroy(), timeoutMs);
    socket.on('secureConnect', async () => {
      for (let part of parts) {
        while (typeof part === 'function' && !answer && !socket.destroyed) {
          const next = await part();
          if (next === null) break;
          if (!socket.write(next)) await new Promise((r) => socket.once('drain', r).once('close', r));
        }
        if (typeof part === 'string' && !answer && !socket.destroyed) socket.write(part);
      }
    });
    socket.on('data', (d) => { answer += d.toString('latin1'); });
    socket.on('error', () => {});
    socket.on('close', () => {
      clearTimeout(timer);
      const [top, ...body] = answer.split('\r\n\r\n');
      resolve({ status: Number(/^HTTP\/1\.1 (\d{3})/.exec(top)?.[1] ?? 0), head: top, body: body.join('\r\n\r\n'),
                ms: Date.now() - started });
    });
  });
}

// `count` pieces of `piece`, then null.
const repeat = (piece, count) => { let n = 0; return () => (n++ < count ? piece : null); };

async function foreignOrigin() {
  const form = { 'Content-Type': 'application/x-www-form-urlencoded' };
  const own = { ...form, Origin: base.origin };
  const body = `token=${token}`;
  const signIn = await exchange('127.0.0.3', [head('POST', '/committee/signin', { ...own, 'Content-Length': body.length }) + body]);
  const cookie = /^Set-Cookie: (robot_session=[0-9a-f]+)/mi.exec(signIn.head)?.[1];
  check(signIn.status === 303 && cookie && /; Secure/i.test(signIn.head), 'sign-in through the proxy: a session cookie marked Secure');
  const page = await exchange('127.0.0.3', [head('GET', '/committee', { Cookie: cookie })]);
  const csrf = /name="csrf" value="([0-9a-f]+)"/.exec(page.body)?.[1] ?? '';
  const post = `csrf=${csrf}`;
  const foreign = await exchange('127.0.0.3', [head('POST', '/committee/crosscheck', {
    ...form, Origin: 'https://elsewhere.example', Cookie: cookie, 'Content-Length': post.length }) + post]);
  check(csrf && foreign.status === 403, `a committee form from another origin, with the session and its token: ${foreign.status}`);
  const stranger = await exchange('127.0.0.3', [head('POST', '/committee/signin', {
    ...form, Origin: 'https://elsewhere.example', 'Content-Length': body.length }) + body]);
  check(stranger.status === 401, `a sign-in from another origin, with the right token: ${stranger.status}`);
}

async function oversized() {
  const mib = 'x'.repeat(1 << 20);
  const chunked = await exchange('127.0.0.3', [
    head('POST', '/committee/signin', { 'Content-Type': 'application/x-www-form-urlencoded', 'Transfer-Encoding': 'chunked' }),
    repeat(`100000\r\n${mib}\r\n`, 64), '0\r\n\r\n']);
  check(chunked.status === 413, `64 MiB chunked to /committee/signin: ${chunked.status} in ${chunked.ms} ms`);
  const many = await exchange('127.0.0.3', [
    'GET / HTTP/1.1\r\nHost: ' + base.host + '\r\n', repeat(`X-Probe: ${'h'.repeat(90)}\r\n`, 40000), '\r\n']);
  check(many.status === 400 || many.status === 431, `40,000 headers of 100 bytes: ${many.status} in ${many.ms} ms`);
  const long = await exchange('127.0.0.3', [head('GET', '/', { 'X-Probe': 'h'.repeat(64 * 1024) })]);
  check(long.status === 400 || long.status === 431, `one header of 64 KiB: ${long.status}`);
}

// 40 clients from 127.0.0.2 send half a sign-in form and then a byte every 250 ms; meanwhile another
// address is served. Those past the proxy's connection limit are refused at once, the others held.
async function slowClients() {
  const total = 20000;
  const clients = [];
  for (let i = 0; i < 40; ++i) {
    let sent = 0;
    clients.push(exchange('127.0.0.2', [head('POST', '/committee/signin', {
      'Content-Type': 'application/x-www-form-urlencoded', 'Content-Length': total }),
      'x'.repeat(total / 2), () => (sent++ < 12 ? sleep(250).then(() => 'x') : null)], 4000));
  }
  await sleep(500);
  const times = [];
  for (let i = 0; i < 6; ++i) {
    const page = await exchange('127.0.0.3', [head('GET', '/logs')], 5000);
    times.push(page.status === 200 ? page.ms : Infinity);
  }
  check(Math.max(...times) < 2000, `other clients served while 40 trickle: ${times.join(', ')} ms`);
  const answers = (await Promise.all(clients)).map((c) => c.status);
  const refused = answers.filter((s) => s === 429).length;
  check(refused > 0 && answers.every((s) => s === 429 || s === 0 || s === 408),
        `slow clients: ${refused} of 40 refused at the connection limit, the others held by the proxy`);
}

// 20 clients from 127.0.0.4 trickle their heads, a header line every 500 ms. nginx's per-address
// connection limit counts a connection only once its head is in, so these are not refused: each is
// bounded by client_header_timeout (10 s for the whole head) and closed, never passed to the robot.
async function headTricklers() {
  const clients = [];
  for (let i = 0; i < 20; ++i)
    clients.push(exchange('127.0.0.4', [`GET / HTTP/1.1\r\nHost: ${base.host}\r\n`,
      () => sleep(500).then(() => 'X-Probe: slow\r\n')], 20000));
  const ends = await Promise.all(clients);
  const longest = Math.max(...ends.map((c) => c.ms));
  check(ends.every((c) => c.status === 0 || c.status === 408) && longest < 14000,
        `20 clients trickling their heads from one address: all closed by the head timeout, the last after ${longest} ms`);
}

const before = rssKb();
await foreignOrigin();
await oversized();
await Promise.all([slowClients(), headTricklers()]);
const after = rssKb();
check(after - before < 8 * 1024, `the robot grew by ${Math.round((after - before) / 1024)} MB (${before} kB to ${after} kB)`);
const last = await exchange('127.0.0.3', [head('GET', '/')]);
check(last.status === 200, 'the robot still answers through the proxy');
if (failures.length) {
  console.error(`probe-proxy: ${failures.length} failure(s):\n  ${failures.join('\n  ')}`);
  process.exit(1);
}
console.log('probe-proxy: the proxy bounds every probe and the robot is unmoved');
