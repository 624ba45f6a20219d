// The browser edition in the three browser engines the tests drive, as rows of the benchmark
// table, each beside the desktop's figure from the same run of scripts/run-benchmarks.sh:
//   node bench/web/bench_web.mjs SITE DESKTOP-STEPS DESKTOP-PAUSE DESKTOP-START DESKTOP-BYTES
// In each engine: a seven-disk run at delay 0, every step drawn, and navigation to the first
// painted window from a loopback server. In Chromium also the renderer's processor share while a
// run pauses 0.05 s after each step, and the bytes a first visit transfers, compressed.
import { readFileSync, readdirSync } from 'node:fs';
import { engines, openSite, waitFor } from '../../tests/web/browser.mjs';

const [site, desktopSteps, desktopPause, desktopStart, desktopBytes] = process.argv.slice(2);
const kSevenDiskSteps = 39171;
const kRuns = 3;

const median = (values) => {
  const v = [...values].sort((a, b) => a - b);
  return v.length % 2 ? v[(v.length - 1) / 2] : (v[v.length / 2 - 1] + v[v.length / 2]) / 2;
};
const spread = (values, digits, unit = '') => `${median(values).toFixed(digits)}${unit} ` +
  `(${Math.min(...values).toFixed(digits)}–${Math.max(...values).toFixed(digits)})`;
const verdict = (ok, miss) => (ok ? 'yes' : `no, ${miss}`);
const row = (...cells) => console.log(`| ${cells.join(' | ')} |`);
const screens = { chromium: 'headless Chromium', firefox: 'headless Firefox ESR',
  webkit: 'WebKitGTK MiniBrowser (Xvfb)' };
const DISKS = '[aria-label="Number of disks (1 to 7)"]';
const DELAY = '[aria-label="Pause after each step, in seconds"]';

// Types the count and the delay, presses Moves, and notes in the page when the click arrives
// and when the run's last step was drawn: the live region tells of the board at rest up to two
// seconds later.
async function start(browser, page, disks, delay) {
  await page.evaluate(([boxes, texts]) => boxes.forEach((s, i) => {
    const box = document.querySelector(s);
    box.focus();
    box.select();
    document.execCommand('insertText', false, texts[i]);
  }), [[DISKS, DELAY], [disks, delay]]);
  await waitFor(page, (d) => new RegExp(`^Left peg: ${d} disks?;`)
    .test(document.getElementById('board-now').textContent), disks);
  const paints = (await browser.layout(page)).paints;
  await page.evaluate(() => {
    const moves = document.querySelector('[aria-label="Moves"]');
    moves.addEventListener('click', () => { window.pressed = performance.now(); });
    const c = CanvasRenderingContext2D.prototype;
    for (const name of ['putImageData', 'drawImage']) {
      const draw = c[name];
      c[name] = function (...part) {
        window.drawn = performance.now();
        return draw.apply(this, part);
      };
    }
    new MutationObserver(() => {
      if (/^Left peg: none; middle peg: none; right peg: \d disks$/.test(document
        .getElementById('board-now').textContent)) window.done = window.drawn;
    }).observe(document.getElementById('board-now'), { childList: true });
  });
  await browser.clickOn(page, '[aria-label="Moves"]');
  return paints;
}

// Seven-disk runs at delay 0, each on a fresh page; one that never ends, or whose page's
// process dies, is told as such.
async function sevenDiskRuns(browser, trials) {
  const rates = [];
  const failures = [];
  let fewestPaints = Infinity;
  for (let trial = 0; trial < trials; ++trial) {
    try {
      const page = await browser.open();
      const before = await start(browser, page, '7', '0');
      await waitFor(page, () => window.done, null, { timeout: 300000 });
      const seconds = await page.evaluate(() => (window.done - window.pressed) / 1000);
      fewestPaints = Math.min(fewestPaints, (await browser.layout(page)).paints - before);
      rates.push(kSevenDiskSteps / seconds / 1000);
    } catch (e) {
      failures.push(/crash/.test(e.message) ? 'the page crashed' : 'did not finish in 5 min');
    }
  }
  return { rates, failures, fewestPaints };
}

// From navigation to the first frame with the window in it, each visit on a fresh page.
async function firstPaints(browser, visits) {
  const times = [];
  for (let visit = 0; visit <= visits; ++visit) {
    const page = await browser.open({}, browser.url);
    const fcp = await waitFor(page, () =>
      performance.getEntriesByName('first-contentful-paint')[0]?.startTime);
    // The first visit warms the system's caches; it is not counted.
    if (visit > 0) times.push(fcp);
  }
  return times;
}

const results = {};
for (const engine of engines) {
  const browser = await openSite(site, engine);
  try {
    results[engine] = { runs: await sevenDiskRuns(browser, kRuns),
      paints: await firstPaints(browser, 10) };
  } finally {
    await browser.close();
  }
}
for (const engine of engines) {
  const { rates, failures, fewestPaints } = results[engine].runs;
  const ok = rates.length && !failures.length && median(rates) >= 30;
  row(`Seven-disk run, delay 0: thousand steps/s (${kRuns} runs)`, screens[engine],
    rates.length ? spread(rates, 1) : '–', `desktop (Xvfb): ${desktopSteps}` +
    (rates.length
      ? `; canvas repaints, fewest in a run ${fewestPaints} for ${kSevenDiskSteps} steps` : '') +
    (failures.length ? `<br>${failures.length} of ${kRuns}: ${failures.join(', ')}` : ''),
    '≥ 30.0', verdict(ok, failures.length ? 'not every run finished'
      : `${(30 - median(rates)).toFixed(1)}k short`));
}
for (const engine of engines) {
  const times = results[engine].paints;
  row('Navigation to the first painted window, ms (10 visits)', screens[engine], spread(times, 1),
    `desktop (Xvfb), launch to first paint: ${desktopStart}`, '≤ 250',
    verdict(median(times) <= 250, `${(median(times) - 250).toFixed(1)} ms over`));
}

// The rest in Chromium alone, through Playwright: its processes and its network log.
const chromium = await openSite(site, 'chromium');
const browser = chromium.engine.playwright;
const screen = screens.chromium;
// The processor time of the browser's renderer processes, every thread of them, to the
// nanosecond, from the kernel's scheduler statistics: the DevTools protocol's process time
// moves in steps of 10 ms, a quarter of a point of share in a four-second window.
function rendererSeconds() {
  const read = (path) => { try { return readFileSync(path, 'utf8'); } catch { return ''; } };
  const parents = new Map();
  const pids = readdirSync('/proc').filter((name) => /^\d+$/.test(name));
  for (const pid of pids) {
    const stat = read(`/proc/${pid}/stat`);
    parents.set(pid, stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
  }
  const ours = (pid) => {
    for (let p = pid, hops = 0; p && p !== '0' && hops < 64; p = parents.get(p), ++hops) {
      if (p === String(process.pid)) return true;
    }
    return false;
  };
  let nanoseconds = 0;
  for (const pid of pids) {
    if (!ours(pid) || !read(`/proc/${pid}/cmdline`).includes('--type=renderer')) continue;
    let threads = [];
    try { threads = readdirSync(`/proc/${pid}/task`); } catch { continue; }
    for (const tid of threads) {
      nanoseconds += Number(read(`/proc/${pid}/task/${tid}/schedstat`).split(' ')[0]) || 0;
    }
  }
  return nanoseconds / 1e9;
}

// The renderer's processor time over wall time while a run pauses 0.05 s after every step; in
// turns, the same for a page that does nothing but wake every 0.05 s, the floor under any page
// at that pace, and for one that also fills a rectangle on a canvas of the window's size each
// time, the floor under any page that shows a step on such a canvas. A fresh page each time, so
// that only its renderer is counted.
const shares = [];
const floors = [];
const canvasFloors = [];
const waker = 'data:text/html,<!doctype html><title>-</title><script>' +
  '(function tick() { setTimeout(tick, 50); })()</script>';
const drawer = 'data:text/html,' + encodeURIComponent('<!doctype html><title>-</title>' +
  '<canvas width="992" height="734"></canvas><script>' +
  'var c = document.querySelector("canvas").getContext("2d", ' +
  '{alpha: false, desynchronized: true, willReadFrequently: true}), k = 0;' +
  '(function tick() { c.fillStyle = ++k % 2 ? "#c08040" : "#000"; ' +
  'c.fillRect(100 + k % 200, 300, 200, 24); setTimeout(tick, 50); })()</script>');
const measure = async (page) => {
  await page.waitForTimeout(1000);
  const cpu = rendererSeconds();
  const wall = performance.now();
  await page.waitForTimeout(4000);
  return (100 * (rendererSeconds() - cpu)) / ((performance.now() - wall) / 1000);
};
for (let trial = 0; trial < 5; ++trial) {
  const page = await chromium.open();
  // The site is kept for visits without the network once the window is shown; that is done
  // before the run starts, so that it is not counted as the run's.
  if (!await page.evaluate(() => Promise.race([navigator.serviceWorker.ready.then(() => true),
    new Promise((done) => setTimeout(() => done(false), 10000))]))) {
    console.error('the site was not kept within 10 s: keeping it may be counted in this run');
  }
  await start(chromium, page, '7', '0.05');
  shares.push(await measure(page.playwright));
  await page.close();
  for (const [url, into] of [[waker, floors], [drawer, canvasFloors]]) {
    const other = await browser.newPage({ viewport: { width: 1100, height: 800 } });
    await other.goto(url);
    into.push(await measure(other));
    await other.close();
  }
}
row('Pause 0.05 s: renderer processor share, % of a core (5 × 4 s)', screen, spread(shares, 2,
  ' %'), `desktop (Xvfb), whole process: ${desktopPause}<br>a page that only wakes every ` +
  `0.05 s: ${spread(floors, 2, ' %')}<br>a page that also fills a rectangle on a canvas of ` +
  `the window's size each time: ${spread(canvasFloors, 2, ' %')}`, '≤ 3 %',
verdict(median(shares) <= 3, `${(median(shares) - 3).toFixed(2)} % over`));

// What a first visit transfers.
const bytes = [];
for (let trial = 0; trial < 4; ++trial) {
  let transferred = 0;
  const page = await browser.newPage({ viewport: { width: 1100, height: 800 } });
  page.on('requestfinished', async (request) => {
    const sizes = await request.sizes();
    transferred += sizes.responseBodySize + sizes.responseHeadersSize;
  });
  await page.goto(chromium.url);
  await page.waitForFunction(() => performance.getEntriesByName('first-contentful-paint').length);
  await page.waitForLoadState('networkidle');
  // The first visit warms the system's caches; it is not counted.
  if (trial > 0) bytes.push(transferred / 1024);
  await page.close();
}
row('A first visit: KiB transferred, compressed, headers included', screen,
  `${median(bytes).toFixed(1)}`, `desktop program, stripped and gzipped, without Qt: ` +
  `${(desktopBytes / 1024).toFixed(1)} KiB`, '≤ 250 KB',
  verdict(median(bytes) * 1024 <= 250000,
    `${(median(bytes) * 1024 / 1000 - 250).toFixed(1)} KB over`));
await chromium.close();
