// Serves a built site on a loopback port and opens it in Debian's Chromium, headless, through
// Playwright; the browser tests and benchmarks share it.
import { spawn } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export async function openSite(directory) {
  const server = fileURLToPath(new URL('../../scripts/serve-web.py', import.meta.url));
  const http = spawn('python3', [server, directory, '0'], { stdio: ['pipe', 'pipe', 'inherit'] });
  const url = await new Promise((done) => http.stdout.once('data', (d) => done(`${d}`.trim())));
  const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: [
    ...(process.getuid() === 0 ? ['--no-sandbox'] : []), '--disable-gpu', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'] });
  const errors = new Map();
  return {
    url, browser,
    // A fresh page, once the window is shown. The page before it is closed: its program would
    // go on running, and loading the machine, through every test after its own.
    async open(options = {}) {
      await Promise.all([...errors.keys()].filter((p) => !p.isClosed()).map((p) => p.close()));
      errors.clear();
      const page = await browser.newPage({ viewport: { width: 1100, height: 800 }, ...options });
      errors.set(page, []);
      page.on('pageerror', (e) => errors.get(page).push(e.message));
      await page.goto(url);
      await page.waitForFunction(() => Module.calledRun && document.querySelector('main *'));
      return page;
    },
    errors: (page) => errors.get(page),
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
    // What the screen shows at CSS points, as 0xRRGGBB, from a real screenshot.
    async colours(page, points) {
      const png = (await page.screenshot()).toString('base64');
      return page.evaluate(async ([png, points]) => {
        const shot = await (await fetch(`data:image/png;base64,${png}`)).blob();
        const bitmap = await createImageBitmap(shot);
        const c = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
        c.drawImage(bitmap, 0, 0);
        const at = (v) => Math.floor(v * devicePixelRatio);
        return points.map(([x, y]) => c.getImageData(at(x), at(y), 1, 1).data)
          .map(([r, g, b]) => (r << 16) | (g << 8) | b);
      }, [png, points]);
    },
    near: (a, b, tolerance = 8) =>
      [16, 8, 0].every((s) => Math.abs(((a >> s) & 255) - ((b >> s) & 255)) <= tolerance),
    // Every text the live region takes from now on, in order, with when it took it (ms).
    async watchAnnouncements(page) {
      await page.$eval('#board-now', (live) => {
        window.announced = [];
        new MutationObserver((records) => records.forEach((r) => r.addedNodes.forEach(
          (n) => window.announced.push({ text: n.textContent, at: performance.now() }))))
          .observe(live, { childList: true });
      });
      return () => page.evaluate(() => window.announced);
    },
    close: () => browser.close().finally(() => http.kill()),
  };
}
