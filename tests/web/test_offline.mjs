// The browser edition offline and as an app: its manifest and icons, a reload with the network
// off and "Start again" with the server gone, and a new build taking the old one's place.
//   node tests/web/test_offline.mjs SITE
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { openChromium } from './chromium_pages.mjs';

const built = process.argv[2] ?? 'build/web';
let site;
const copies = [];
before(async () => { site = await openChromium(built); });
after(async () => {
  await site?.close();
  copies.forEach((c) => rmSync(c, { recursive: true, force: true }));
});

// A copy of the site on a server of its own, which the test can change and stop.
async function serveCopy() {
  const directory = mkdtempSync(join(tmpdir(), 'corvane-site-'));
  copies.push(directory);
  cpSync(built, directory, { recursive: true });
  const script = fileURLToPath(new URL('../../scripts/serve-web.py', import.meta.url));
  const server = spawn('python3', [script, directory, '0'], { stdio: ['pipe', 'pipe', 'inherit'] });
  const url = await new Promise((done) => server.stdout.once('data', (d) => done(`${d}`.trim())));
  const stopped = new Promise((done) => server.once('exit', done));
  return { directory, url, stop: () => { server.kill(); return stopped; } };
}

const started = (page) =>
  page.waitForFunction(() => window.Module?.calledRun && document.querySelector('main *'));

// Opens the page and waits until its worker has kept the site.
async function visit(context, url) {
  const page = await context.newPage();
  await page.goto(url);
  await started(page);
  const kept = await page.evaluate(async () => {
    await Promise.race([navigator.serviceWorker.ready, new Promise((_, failed) =>
      setTimeout(() => failed(new Error('no service worker')), 20000))]);
    const [name] = await caches.keys();
    return { name, files: (await (await caches.open(name)).keys()).length };
  });
  return { page, kept };
}

test('installable: a manifest that names the program, with its icons', async () => {
  const page = await site.open();
  const manifest = await page.evaluate(async () =>
    (await fetch(document.querySelector('link[rel=manifest]').href)).json());
  assert.equal(manifest.name, 'Corvane');
  assert.equal(manifest.display, 'standalone');
  assert.match(manifest.background_color, /^#[0-9a-f]{6}$/);
  const sizes = await page.evaluate(async (icons) => Promise.all(icons.map(async (icon) => {
    const bitmap = await createImageBitmap(await (await fetch(icon.src)).blob());
    return [icon.sizes, `${bitmap.width}x${bitmap.height}`];
  })), manifest.icons);
  assert.ok(sizes.some(([stated]) => stated === '512x512'));
  for (const [stated, real] of sizes) assert.equal(real, stated);
});

test('offline: a reload with the network off, and Start again with the server gone',
  async () => {
    const server = await serveCopy();
    const context = await site.browser.newContext();
    try {
      const { page, kept } = await visit(context, server.url);
      assert.ok(kept.files >= 8, `${kept.files} files kept`);
      await context.setOffline(true);
      await page.reload();
      await started(page);
      assert.equal(await page.title(), 'Corvane by Ambrell');
      await context.setOffline(false);
      await server.stop();
      await page.getByRole('button', { name: 'Quit' }).click();
      await page.getByRole('button', { name: 'Start again' }).click();
      await started(page);
      await page.getByRole('textbox', { name: 'Number of disks (1 to 7)' }).fill('3');
      await page.getByText(/^Left peg: 3 disks;/).waitFor({ state: 'attached' });
    } finally {
      await context.close();
      await server.stop();
    }
  });

test('a new build replaces the one kept, at the next visit', async () => {
  const server = await serveCopy();
  const context = await site.browser.newContext();
  try {
    const first = await visit(context, server.url);
    // A new build: another page, and a worker whose cache is named after it.
    const index = join(server.directory, 'index.html');
    writeFileSync(index, readFileSync(index, 'utf8')
      .replace('<title>', '<meta name="build" content="new"><title>'));
    rmSync(`${index}.gz`);
    const worker = join(server.directory, 'service-worker.js');
    writeFileSync(worker, readFileSync(worker, 'utf8').replace(first.kept.name, 'corvane-new'));
    await first.page.close();
    const second = await context.newPage();
    await second.goto(server.url);
    await started(second);
    assert.equal(await second.locator('meta[name=build]').count(), 1, 'the new page shows');
    // The browser looks for a new worker as the page loads, and the new one takes over once it
    // has kept the new site.
    while (await second.evaluate(async () => (await caches.keys()).join()) !== 'corvane-new') {
      await new Promise((r) => setTimeout(r, 100));
    }
    await context.setOffline(true);
    await second.reload();
    await started(second);
    assert.equal(await second.locator('meta[name=build]').count(), 1, 'and is kept');
  } finally {
    await context.close();
    await server.stop();
  }
});
