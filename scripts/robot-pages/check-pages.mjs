// The log robot's pages in headless Chromium, as a contester and the committee use them: the sample
// log sent through the upload form, its receipt and report; logs pasted into the box; the committee
// signed in, a cross-check run, a station's report, a version kept, the run published and taken down;
// a form from another origin refused. Screenshots of each page go to the given folder. URL is the robot's base address, http://
// or https:// (a self-signed certificate is accepted).
// Usage: node check-pages.mjs URL TOKEN_FILE SAMPLE_LOG SCREENSHOT_DIR
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const [url, tokenFile, sample, shots] = process.argv.slice(2);
const token = fs.readFileSync(tokenFile, 'utf8').trim();
const failures = [];
const check = (ok, what) => { if (!ok) failures.push(what); console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`); };

// Three stations that work each other, as a contester would paste them.
function stationLog(call, others, minute0) {
  let log = `START-OF-LOG: 3.0\r\nCALLSIGN: ${call}\r\nCONTEST: SA-TOLVEN\r\nCATEGORY-OPERATOR: SINGLE-OP\r\nCATEGORY-POWER: LOW\r\n`;
  others.forEach(([other, minute], i) => {
    const time = `${String(12 + Math.floor(minute / 60)).padStart(2, '0')}${String(minute % 60).padStart(2, '0')}`;
    log += `QSO: 14020 CW 2026-03-07 ${time} ${call.padEnd(13)} 599 ${String(i + 1).padStart(3, '0')} ` +
           `${other.padEnd(13)} 599 001\r\n`;
  });
  return log + 'END-OF-LOG:\r\n';
}

// The committee keeps a version (and undoes it), publishes the run with the station reports: the
// results in the rules' categories, every link on them answered, the page within 1280 pixels; exactly
// one run public; taken down, /results is gone. Then a page of another site posts the cross-check form
// with this session's own token: the browser sends no session cookie across sites, and no run starts.
async function publishAndForeignForm(page) {
  await page.goto(`${url}committee`, { waitUntil: 'load' });
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }),
                     page.click('form[action$="/choose"] button')]);
  check(await page.$('form[action$="/unchoose"]') !== null && (await page.content()).includes('committee page'),
        'the committee keeps a version: marked chosen, and the choice in the trail');
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }),
                     page.click('form[action$="/unchoose"] button')]);
  const csrf = await page.$eval('input[name=csrf]', (e) => e.value);
  await page.click('tr.run form[action^="/committee/publish/"] input[name=reports]');
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }),
                     page.click('tr.run form[action^="/committee/publish/"] button')]);
  check(await page.$$eval('tr.run[data-public]', (r) => r.length) === 1, 'the committee page marks one run public');
  await page.setViewport({ width: 1280, height: 900 });
  const results = await page.goto(`${url}results`, { waitUntil: 'load' });
  const html = await page.content();
  check(results.status() === 200 && html.includes('LU4BB') && /<h2>SINGLE-OP LOW/.test(html),
        'the published results are public, in the rules\' categories');
  check(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth),
        'the results fit 1280 pixels');
  await page.screenshot({ path: path.join(shots, 'robot-results.png') });
  const links = await page.$$eval('main a[href]', (a) => a.map((e) => e.href));
  // The pages allow no script to fetch: each link is followed as a reader would.
  const answers = [];
  for (const link of links) answers.push((await page.goto(link, { waitUntil: 'load' })).status());
  check(links.length > 3 && answers.every((s) => s === 200), `every link of the results answers (${links.length})`);
  await page.setViewport({ width: 1100, height: 900 });
  await page.goto(`${url}committee`, { waitUntil: 'load' });
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }),
                     page.click('tr.run form[action^="/committee/unpublish/"] button')]);
  check((await page.goto(`${url}results`, { waitUntil: 'load' })).status() === 404, 'a run taken down is no longer public');

  const runs = async () => { await page.goto(`${url}committee`, { waitUntil: 'load' }); return page.$$eval('tr.run', (r) => r.length); };
  const before = await runs();
  const foreign = new URL(url);
  foreign.hostname = foreign.hostname === 'localhost' ? '127.0.0.1' : 'localhost';
  const form = `<form method="post" action="${url}committee/crosscheck"><input name="csrf" value="${csrf}">` +
               '<button id="go">go</button></form>';
  // The other site is this one function: the form, and nothing (204) for its icon.
  const serve = (request) => (!request.url().startsWith(`${foreign.origin}/`) ? request.continue()
    : request.respond(request.url().endsWith('/form') ? { status: 200, contentType: 'text/html', body: form } : { status: 204 }));
  await page.setRequestInterception(true);
  page.on('request', serve);
  await page.goto(`${foreign.origin}/form`, { waitUntil: 'load' });
  const [answer] = await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), page.click('#go')]);
  page.off('request', serve);
  await page.setRequestInterception(false);
  check([401, 403].includes(answer.status()) && await runs() === before,
        `a form posted from another origin is refused (${answer.status()}) and starts no run`);
}

const userDataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'robot-pages-'));
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  userDataDir,
  acceptInsecureCerts: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1100, height: 900 });
  // A refused log (422), the sign-in page (401), a refused form (403) and results taken down (404) are
  // answers, not faults; anything else (a blocked style, a script error) is.
  page.on('console', (m) => {
    if (m.type() === 'error' && !/status of (401|403|404|422)/.test(m.text())) failures.push(`console: ${m.text()}`);
  });

  // The contester: the form, the receipt, the report.
  await page.goto(url, { waitUntil: 'load' });
  check(await page.$('#log-file') !== null && await page.$('#log-text') !== null, 'upload page has a file field and a box');
  await page.screenshot({ path: path.join(shots, 'robot-upload.png') });
  const input = await page.$('#log-file');
  await input.uploadFile(sample);
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), page.click('#send')]);
  const receipt = await page.evaluate(() => ({
    state: document.querySelector('#state')?.textContent ?? '',
    confirmation: document.querySelector('#confirmation')?.textContent ?? '',
    call: document.querySelector('#call')?.textContent ?? '',
    report: document.querySelector('#report')?.getAttribute('href') ?? '',
  }));
  console.log(`receipt: ${JSON.stringify(receipt)}`);
  check(/^[0-9A-Z]{12}$/.test(receipt.confirmation), 'the receipt gives a confirmation code');
  check(receipt.call === 'CE1TLV', 'the receipt names the call of the log');
  check(/^\/report\/[0-9a-f]{32}$/.test(receipt.report), 'the receipt links the report at an unguessable address');
  // At a glance: one sentence first (its errors leave the sample scorable), then each error with its
  // line, then the warnings one line a kind.
  const glance = await page.evaluate(() => ({
    first: document.querySelector('h1 + p')?.textContent ?? '',
    errors: document.querySelectorAll('#errors > li > ul > li').length,
    kinds: [...document.querySelectorAll('#warnings > li')].map((li) => li.textContent),
  }));
  console.log(`receipt at a glance: ${JSON.stringify(glance.first)}, ${glance.errors} error(s), ${glance.kinds.length} kind(s) of warning`);
  check(/^Your log of CE1TLV is accepted: 361 QSOs, score 13572; it counts in the results\. What the committee may look at: a QSO line that does not parse \(lines 58, 157, 256 and 355\)/.test(glance.first),
        'the receipt starts with one sentence: accepted, that the log counts, and what to look at');
  check(glance.errors === 4, 'the receipt lists each error with its line');
  check(glance.kinds.some((k) => k.startsWith('A tab between the fields: lines 15, 28, 42, 55, 68 \u2026 (29 lines).')),
        'the receipt gives each kind of warning one line with the lines it concerns');
  await page.screenshot({ path: path.join(shots, 'robot-receipt.png'), fullPage: false });
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), page.click('#report')]);
  check((await page.content()).includes('CE1TLV'), 'the report page opens and names the station');
  await page.screenshot({ path: path.join(shots, 'robot-report.png') });

  const calls = ['CE3AA', 'LU4BB', 'PY5CC'];
  for (const [i, call] of calls.entries()) {
    const others = calls.filter((c) => c !== call).map((c) => [c, 10 * (calls.indexOf(c) + i)]);
    others.push(['ZW9ZZZ', 50 + i]);  // worked by all, sends no log: the committee's wanted list
    await page.goto(url, { waitUntil: 'load' });
    await page.$eval('#log-text', (box, text) => { box.value = text; }, stationLog(call, others));
    await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), page.click('#send')]);
    check((await page.$eval('#state', (e) => e.textContent)).startsWith('accepted') &&
          (await page.$eval('#verdict', (e) => e.textContent)).startsWith(`Your log of ${call} is accepted: 3 QSOs, score`),
          `pasted log of ${call} accepted, as the receipt's first sentence says`);
  }
  await page.goto(`${url}logs`, { waitUntil: 'load' });
  check((await page.content()).includes('LU4BB'), 'the public list shows the logs received');
  await page.screenshot({ path: path.join(shots, 'robot-logs.png') });

  // The committee: sign in, cross-check, a station's report.
  const signIn = await page.goto(`${url}committee`, { waitUntil: 'load' });
  check(signIn.status() === 401, 'the committee page asks for the sign-in');
  await page.type('#token', token);
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), page.click('#signin')]);
  check(await page.$('#crosscheck') !== null, 'signed in: the committee page');
  if (!(await page.$('#crosscheck'))) console.log(page.url(), await page.evaluate(() => document.body.innerText));
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), page.click('#crosscheck')]);
  let state = '';
  for (let i = 0; i < 120 && state !== 'done' && state !== 'failed'; ++i) {
    await new Promise((r) => setTimeout(r, 250));
    await page.reload({ waitUntil: 'load' });
    state = await page.$eval('tr.run', (r) => r.dataset.state).catch(() => '');
  }
  check(state === 'done', 'the cross-check run is done');
  await page.screenshot({ path: path.join(shots, 'robot-committee.png') });
  const station = await page.$('a.ubn');
  check(station !== null, 'the run lists the stations\' reports');
  if (station) {
    await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), station.click()]);
    const text = await page.evaluate(() => document.body.innerText);
    check(/CE3AA|LU4BB|PY5CC/.test(text), 'a station\'s report opens');
    await page.screenshot({ path: path.join(shots, 'robot-station-report.png') });
  }
  await publishAndForeignForm(page);
} finally {
  await browser.close();
  fs.rmSync(userDataDir, { recursive: true, force: true });
}
if (failures.length) {
  console.error(`check-pages: ${failures.length} failure(s):\n  ${failures.join('\n  ')}`);
  process.exit(1);
}
console.log('check-pages: every page works in headless Chromium');
