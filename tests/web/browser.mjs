// Serves a built site on a loopback port and opens it in one of three browser engines, each
// through a thin driver of its own (engines/*.mjs): Debian's Chromium through Playwright, Firefox
// ESR through Puppeteer over WebDriver BiDi, and WebKitGTK through Selenium and WebKitWebDriver.
// The browser tests and benchmarks share it, and see every engine through the same few calls.
import { spawn } from 'node:child_process';
import { fileURLToPath } from 'node:url';

export const engines = ['chromium', 'firefox', 'webkit'];
// The two boxes' names.
export const DISKS = 'Number of disks (1 to 7)';
export const DELAY = 'Pause after each step, in seconds';

// Waits in the page itself, frame by frame, until the function returns something true, and
// returns that.
export function waitFor(page, f, arg, { timeout = 30000 } = {}) {
  return page.evaluate(async ([source, arg, timeout]) => {
    const f = (0, eval)(`(${source})`);
    const end = performance.now() + timeout;
    for (;;) {
      const value = await f(arg);
      if (value) return value;
      if (performance.now() > end) throw new Error(`timed out waiting for ${source}`);
      await new Promise((r) => requestAnimationFrame(() => r()));
    }
  }, [String(f), arg, timeout]);
}

// The project's own server for a site folder, on a free loopback port; stop() resolves once it
// has gone.
export async function serve(directory) {
  const script = fileURLToPath(new URL('../../scripts/serve-web.py', import.meta.url));
  const http = spawn('python3', [script, directory, '0'], { stdio: ['pipe', 'pipe', 'inherit'] });
  const url = await new Promise((done) => http.stdout.once('data', (d) => done(`${d}`.trim())));
  const gone = new Promise((done) => http.once('exit', done));
  return { url, stop: () => { http.kill(); return gone; } };
}

export async function openSite(directory, engineName = 'chromium') {
  if (!engines.includes(engineName)) throw new Error(`no such engine: ${engineName}`);
  const { url, stop } = await serve(directory);
  let engine;
  try {
    engine = await (await import(`./engines/${engineName}.mjs`)).launch();
  } catch (e) {
    await stop();
    throw e;
  }
  const pages = new Set();
  const control = (name) => `[aria-label="${name}"]`;
  // Where an element is, in the page's CSS pixels.
  const box = (page, selector) => page.evaluate((s) => {
    const r = document.querySelector(s).getBoundingClientRect();
    return { x: r.x, y: r.y, width: r.width, height: r.height };
  }, selector);
  return {
    url, engine, control, box, waitFor,
    // A fresh page, once the window is shown. The page before it is closed: its program would
    // go on running, and loading the machine, through every test after its own.
    async open(options = {}, address = url) {
      await Promise.all([...pages].map((p) => p.close()));
      pages.clear();
      const page = await engine.newPage(options);
      pages.add(page);
      await page.goto(address);
      if (address === url) await waitFor(page, () => window.Module?.calledRun &&
        document.getElementById('window')?.contains(document.activeElement));
      return page;
    },
    // What the page threw, in the engines that tell of it as it happens.
    errors: (page) => page.pageErrors,
    // A real click in the middle of an element.
    async clickOn(page, selector) {
      const b = await box(page, selector);
      await page.click(b.x + b.width / 2, b.y + b.height / 2);
    },
    // Whether the window is as large as the page's visible area allows, whole and centred in
    // it; if not, where it is and where it belongs.
    fits: (page) => page.evaluate(() => {
      const r = document.querySelector('#window > canvas').getBoundingClientRect();
      const [w, h] = [document.documentElement.clientWidth, document.documentElement.clientHeight];
      const s = Math.min(1, w / 992, h / 734);
      const want = { x: (w - 992 * s) / 2, y: (h - 734 * s) / 2, width: 992 * s, height: 734 * s };
      return Object.keys(want).every((k) => Math.abs(r[k] - want[k]) <= 0.5) ||
        JSON.stringify([r, want]);
    }),
    // The words a person sees on the page.
    shows: (page, text) => waitFor(page, (t) => document.body.innerText.includes(t), text),
    // The picture boxes as the program has them, in the page's CSS pixels.
    layout: (page) => page.evaluate(() => {
      const layout = JSON.parse(Module.UTF8ToString(Module._corvane_layout()));
      const canvas = document.querySelector('#window > canvas');
      const r = canvas.getBoundingClientRect();
      const s = r.width / parseFloat(canvas.style.width);
      const at = (x, y) => [r.left + x * s, r.top + y * s];
      for (const p of layout.pictures) {
        [p.x, p.y, p.width, p.height, p.probe] = [...at(p.x, p.y), p.width * s, p.height * s,
          at(...p.probe)];
        p.lines = p.lines.map(([x, y, colour, ...sides]) =>
          ({ at: at(x, y), colour, beside: [at(sides[0], sides[1]), at(sides[2], sides[3])] }));
      }
      return layout;
    }),
    // What the screen shows at CSS points, as 0xRRGGBB, from a real screenshot taken once the
    // page has drawn a frame since it was asked.
    async colours(page, points) {
      await page.evaluate(() => new Promise((r) =>
        requestAnimationFrame(() => requestAnimationFrame(() => r()))));
      const png = (await page.screenshot()).toString('base64');
      return page.evaluate(async ([png, points]) => {
        const shot = await (await fetch(`data:image/png;base64,${png}`)).blob();
        const bitmap = await createImageBitmap(shot);
        const c = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
        c.drawImage(bitmap, 0, 0);
        const at = (v) => Math.floor(v * devicePixelRatio);
        return points.map(([x, y]) => Array.from(c.getImageData(at(x), at(y), 1, 1).data))
          .map(([r, g, b]) => (r << 16) | (g << 8) | b);
      }, [png, points]);
    },
    near: (a, b, tolerance = 8) =>
      [16, 8, 0].every((s) => Math.abs(((a >> s) & 255) - ((b >> s) & 255)) <= tolerance),
    // Every text the live region takes from now on, in order, with when it took it (ms).
    async watchAnnouncements(page) {
      await page.evaluate(() => {
        window.announced = [];
        new MutationObserver((records) => records.forEach((r) => r.addedNodes.forEach(
          (n) => window.announced.push({ text: n.textContent, at: performance.now() }))))
          .observe(document.getElementById('board-now'), { childList: true });
      });
      return () => page.evaluate(() => window.announced);
    },
    async close() {
      try {
        await engine.close();
      } finally {
        await stop();
      }
    },
  };
}
