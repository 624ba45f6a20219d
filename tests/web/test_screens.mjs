// The browser edition on phones, tablets and short, wide windows, with touch: the whole window
// shows without scrolling, scaled whole and centred, and never widens the page; taps reach the
// controls, even taps beside controls scaled smaller than a fingertip; and the browser's zoom
// still enlarges the window.
//   node tests/web/test_screens.mjs SITE
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { DELAY, DISKS } from './browser.mjs';
import { openChromium } from './chromium_pages.mjs';

let site;
before(async () => { site = await openChromium(process.argv[2] ?? 'build/web'); });
after(() => site?.close());

const touch = (width, height, deviceScaleFactor = 2) =>
  ({ viewport: { width, height }, deviceScaleFactor, hasTouch: true, isMobile: true });

async function tap(page, role, name, [dx, dy] = [0, 0]) {
  const b = await page.getByRole(role, { name }).boundingBox();
  await page.touchscreen.tap(b.x + b.width / 2 + dx, b.y + b.height / 2 + dy);
}

const visibleDisks = async (page) =>
  (await site.layout(page)).pictures.filter((p) => /^Picture1/.test(p.name) && p.visible).length;

for (const [width, height, ratio] of [[320, 568], [390, 844, 3], [844, 390], [820, 1180],
  [1100, 400]]) {
  test(`${width} × ${height}: the whole window in view and centred, and taps work`, async () => {
    const page = await site.open(touch(width, height, ratio));
    // The page keeps the screen's size, with nothing to scroll to.
    assert.deepEqual(await page.evaluate(() => [innerWidth,
      document.documentElement.scrollWidth, document.documentElement.scrollHeight]),
    [width, width, height]);
    assert.equal(await site.fits(page), true);
    // A run started with taps, stopped with Reset, then Quit.
    for (const [name, text] of [[DISKS, '3'], [DELAY, '0.05']]) {
      await tap(page, 'textbox', name);
      await page.waitForFunction((n) => !document.querySelector(`[aria-label="${n}"]`).value,
        name);
      await page.keyboard.type(text);
    }
    await tap(page, 'button', 'Moves');
    await page.getByText(/^Left peg: 2 disks.*moving$/).waitFor({ state: 'attached' });
    await tap(page, 'button', 'Reset');
    await page.waitForFunction(() => document.getElementById('board-now').textContent ===
      'Left peg: none; middle peg: none; right peg: none');
    assert.equal(await visibleDisks(page), 0);
    await tap(page, 'button', 'Quit');
    await page.getByText('Corvane has ended.').waitFor();
    assert.deepEqual(site.errors(page), []);
  });
}

test('on a phone, a tap just beside a small control reaches it; one on the board does not',
  async () => {
    const page = await site.open(touch(320, 568));
    const box = await page.getByRole('textbox', { name: DISKS }).boundingBox();
    assert.ok(box.height < 20, 'the box is smaller than a fingertip');
    // Below the box, on the board: the box takes the tap, as a click.
    await tap(page, 'textbox', DISKS, [0, box.height / 2 + 6]);
    await page.waitForFunction((n) => !document.querySelector(`[aria-label="${n}"]`).value, DISKS);
    assert.equal(await page.evaluate(() => document.activeElement.ariaLabel), DISKS);
    await page.keyboard.type('2');
    assert.equal(await page.getByRole('textbox', { name: DISKS }).inputValue(), '2');
    // Far from every control, a tap on the board leaves the focus where it was.
    const { pictures } = await site.layout(page);
    const post = pictures.find((p) => p.name === 'Picture2(1)');
    await page.touchscreen.tap(post.x + post.width / 2, post.y + post.height / 4);
    assert.equal(await page.evaluate(() => document.activeElement.ariaLabel), DISKS);
    const quit = await page.getByRole('button', { name: 'Quit' }).boundingBox();
    await tap(page, 'button', 'Quit', [0, -(quit.height / 2 + 5)]);
    await page.getByText('Corvane has ended.').waitFor();
  });

test('the browser\'s zoom enlarges the window, and the page then scrolls', async () => {
  const page = await site.open();
  const cdp = await page.context().newCDPSession(page);
  const boxHeight = () => page.evaluate((n) =>
    document.querySelector(`[aria-label="${n}"]`).getBoundingClientRect().height *
    devicePixelRatio, DISKS);
  const normal = await boxHeight();
  // Zooming in makes the viewport fewer CSS pixels across and each of them more device pixels.
  for (const zoom of [2, 4]) {
    await cdp.send('Emulation.setDeviceMetricsOverride',
      { width: 1100 / zoom, height: 800 / zoom, deviceScaleFactor: zoom, mobile: false });
    await page.waitForFunction((z) => devicePixelRatio === z, zoom);
    await page.evaluate(() => new Promise((r) => requestAnimationFrame(r)));
    assert.ok(await boxHeight() > normal * zoom * 0.95, `the box's text grows at ${zoom * 100}%`);
    const scroll = await page.evaluate(() => [document.documentElement.scrollWidth, innerWidth]);
    assert.ok(scroll[0] > scroll[1], 'the page scrolls');
  }
  // Scrolled to its far corner, Quit is there to tap.
  await page.getByRole('button', { name: 'Quit' }).click();
  await page.getByText('Corvane has ended.').waitFor();
});
