// The page's scheduler: a pause hands the browser control until the pause's end, in one sleep,
// rather than waking the page again and again to look at the clock.
//   node tests/web/test_scheduler.mjs SITE
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { openChromium } from './chromium_pages.mjs';

let site;
before(async () => { site = await openChromium(process.argv[2] ?? 'build/web'); });
after(() => site?.close());

test('a paced run wakes the page about once per pause', async () => {
  const page = await site.open();
  for (const [name, text] of [['Number of disks (1 to 7)', '1'],
    ['Pause after each step, in seconds', '0.01']]) {
    await page.getByRole('textbox', { name }).fill(text);
  }
  await page.getByText(/^Left peg: 1 disk;/).waitFor({ state: 'attached' });
  // Every timer a pause sets, from the press of Moves on.
  await page.evaluate(() => {
    const plain = window.setTimeout;
    window.wakes = 0;
    window.setTimeout = (f, ms, ...rest) => {
      if (f === window.page.fired) ++window.wakes;
      return plain(f, ms, ...rest);
    };
  });
  const paintsBefore = (await site.layout(page)).paints;
  await page.getByRole('button', { name: 'Moves' }).click();
  await page.waitForFunction(() => document.getElementById('board-now').textContent ===
    'Left peg: none; middle peg: none; right peg: 1 disk', null, { timeout: 60000 });
  // The run is over once a pause's time has gone by with nothing drawn.
  let paints = -1;
  for (let now = (await site.layout(page)).paints; now !== paints;) {
    paints = now;
    await page.evaluate(() => new Promise((r) => setTimeout(r, 100)));
    now = (await site.layout(page)).paints;
  }
  const wakes = await page.evaluate(() => window.wakes);
  // Each step of the run draws once and then pauses once.
  const pauses = paints - paintsBefore;
  assert.ok(pauses > 50, `${pauses} steps`);
  assert.ok(wakes >= pauses * 0.8 && wakes <= pauses * 1.25, `${wakes} wakes in ${pauses} pauses`);
});
