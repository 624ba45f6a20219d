// The browser edition in Debian's Chromium, headless: start-up, typed counts, whole runs, reset
// and quit in the middle of a run, runs inside runs, the keyboard, assistive technology and a
// small screen.
//   node tests/web/test_web.mjs SITE
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { pathToFileURL } from 'node:url';
import { openSite } from './browser.mjs';

const DISKS = 'Number of disks (1 to 7)';
const DELAY = 'Pause after each step, in seconds';
let site;
before(async () => { site = await openSite(process.argv[2] ?? 'build/web'); });
after(() => site?.close());

// Clicks a box that still shows its prompt, which the click clears. The program takes the click
// from the page's queue a moment later; a person is never as quick to type as a script.
async function clickBox(page, name) {
  await page.getByRole('textbox', { name }).click();
  await page.waitForFunction((n) => !document.querySelector(`[aria-label="${n}"]`).value, name);
}

async function enter(page, name, text) {
  await clickBox(page, name);
  await page.keyboard.type(text);
}

// Starts a run; one with a pause is followed until a disk is above the posts.
async function startRun(page, disks, delay) {
  await enter(page, DISKS, disks);
  await enter(page, DELAY, delay);
  await page.getByRole('button', { name: 'Moves' }).click();
  if (delay !== '0') await page.getByText(/moving$/).waitFor({ state: 'attached' });
}

// The words say a disk is on its peg once it is down among the posts, some steps before it
// lands; the run is over once the boxes also stay where they are.
async function finished(page, disks) {
  await page.waitForFunction(
    (text) => document.getElementById('board-now').textContent === text,
    `Left peg: none; middle peg: none; right peg: ${disks} disks`, { timeout: 60000 });
  await page.waitForFunction(() => {
    const layout = Module.UTF8ToString(Module._corvane_layout());
    const still = layout === window.lastLayout;
    window.lastLayout = layout;
    return still;
  }, null, { polling: 100 });
}

// Every visible disk shows its own colour at its middle, and every hidden one does not, in the
// next frames after an input: what a person sees at once.
async function assertDisksShown(page, count) {
  await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => setTimeout(r, 20))));
  const { pictures } = await site.layout(page);
  const disks = [0, 1, 2, 3, 4, 5, 6].map((i) => pictures.find((p) => p.name === `Picture1(${i})`));
  assert.deepEqual(disks.map((d) => d.visible), disks.map((_, i) => i < count));
  const seen = await site.colours(page, disks.map((d) => d.probe));
  assert.deepEqual(seen.map((c, i) => site.near(c, disks[i].color)), disks.map((d) => d.visible));
  return { pictures, disks };
}

test('start-up: a sharp canvas at the design size, posts, bases and picture buttons', async () => {
  const page = await site.open({ deviceScaleFactor: 2 });
  assert.equal(await page.title(), 'Corvane by Ambrell');
  const canvas = await page.$eval('#window > canvas', (c) => [c.width, c.height, c.style.width]);
  assert.deepEqual(canvas, [1984, 1468, '992px']);
  const { pictures } = await site.layout(page);
  const pieces = pictures.filter((p) => /^Picture[23]/.test(p.name));
  assert.equal(pieces.length, 6);
  const seen = await site.colours(page, pieces.map((p) => p.probe));
  assert.deepEqual(seen.map((c, i) => site.near(c, pieces[i].color)), pieces.map(() => true));
  // The frame on each base, drawn by the program line by line: each line in its colour where it
  // should be, and not a pixel wider on either side.
  const lines = pieces.flatMap((p) => p.lines);
  assert.equal(lines.length, 12);
  const onLines = await site.colours(page, lines.map((l) => l.at));
  assert.deepEqual(onLines, lines.map((l) => l.colour));
  const besideLines = await site.colours(page, lines.flatMap((l) => l.beside));
  assert.deepEqual(besideLines.map((c, i) => c === lines[i >> 1].colour),
    besideLines.map(() => false));
  await assertDisksShown(page, 0);
  // Each button: the raised edge, its black face, and its white word across the middle.
  for (const word of ['Moves', 'Reset', 'Quit']) {
    const b = await page.getByRole('button', { name: word }).boundingBox();
    const across = Array.from({ length: 40 }, (_, i) => [b.x + 8 + i, b.y + b.height / 2]);
    const y = b.y + b.height / 2;
    const [edge, shadow, face, ...middle] = await site.colours(page,
      [[b.x + 0.5, y], [b.x + b.width - 0.5, y], [b.x + 4, b.y + 4], ...across]);
    assert.deepEqual([edge, shadow, face], [0xffffff, 0x696969, 0x000000], word);
    assert.ok(middle.some((c) => site.near(c, 0xffffff, 40)), `${word} shows its word`);
  }
  assert.equal(await page.evaluate(() => document.activeElement.ariaLabel), 'Reset');
  assert.deepEqual(site.errors(page), []);
});

test('a typed count shows its stack at once', async () => {
  const page = await site.open();
  await clickBox(page, DISKS);
  for (const [key, shown] of [['3', 3], ['Backspace', 0], ['7', 7], ['Backspace', 0], ['9', 1]]) {
    await page.keyboard.press(key);
    await assertDisksShown(page, shown);
  }
  // A paste is cut where a desktop box cuts it: only zeros are left, which no count can use.
  await page.getByRole('textbox', { name: DISKS }).fill('0'.repeat(40000) + '5');
  await assertDisksShown(page, 1);
  assert.equal((await page.getByRole('textbox', { name: DISKS }).inputValue()).length, 32767);
  // A box holds whatever is pasted into it, NUL characters too, and the program reads it all.
  await page.getByRole('textbox', { name: DISKS }).fill('4\u0000x');
  await assertDisksShown(page, 4);
  assert.equal(await page.getByRole('textbox', { name: DISKS }).inputValue(), '4\u0000x');
});

test('a three-disk run at delay 0 leaves every disk at rest on the right peg', async () => {
  const page = await site.open();
  const announced = await site.watchAnnouncements(page);
  await startRun(page, '3', '0');
  await finished(page, 3);
  const { pictures, disks } = await assertDisksShown(page, 3);
  const post = pictures.find((p) => p.name === 'Picture2(2)');
  const base = pictures.find((p) => p.name === 'Picture3(2)');
  disks.slice(0, 3).forEach((d, i) => {
    // Within a step (40 twips, under 3 pixels) of the post's centre and of what it stands on.
    assert.ok(Math.abs(d.x + d.width / 2 - (post.x + post.width / 2)) < 3, d.name);
    assert.ok(Math.abs(d.y + d.height - (i === 0 ? base.y : disks[i - 1].y)) < 3, d.name);
  });
  // The live region changed only when its words did, never twice within two seconds, however
  // fast the board changed, and its last words are the board at rest.
  const told = await announced();
  const texts = told.map((t) => t.text);
  assert.ok(texts.every((t, i) => i === 0 || t !== texts[i - 1]), texts);
  assert.ok(told.every((t, i) => i === 0 || t.at - told[i - 1].at > 1900), told.map((t) => t.at));
  assert.equal(texts.at(-1), 'Left peg: none; middle peg: none; right peg: 3 disks');
  // Every step repainted only what it changed; together they leave the canvas as a repaint of
  // the whole window does, which a change of the screen's pixel ratio and back brings about.
  // The pixels stay in the page: carried out whole, they took the test half a minute.
  const ratio = (r) => page.waitForFunction((want) =>
    JSON.parse(Module.UTF8ToString(Module._corvane_layout())).ratio === want, r);
  await page.$eval('#window > canvas', (c) => {
    window.afterRun = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  });
  // The browser tells a page of a new ratio as it resizes it, so the height changes too.
  const cdp = await page.context().newCDPSession(page);
  for (const [height, scale] of [[799, 2], [800, 1]]) {
    await cdp.send('Emulation.setDeviceMetricsOverride',
      { width: 1100, height, deviceScaleFactor: scale, mobile: false });
    await ratio(scale);
  }
  const [length, lengthAfterRun, firstDifference] = await page.$eval('#window > canvas', (c) => {
    const repainted = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    return [repainted.length, window.afterRun.length,
      repainted.findIndex((v, i) => v !== window.afterRun[i])];
  });
  assert.equal(length, lengthAfterRun);
  assert.equal(firstDifference, -1);
});

test('reset in the middle of a run stops it and clears the board', async () => {
  const page = await site.open();
  // Every wait a pause asks of the browser's timers, in milliseconds.
  await page.evaluate(() => {
    const plain = window.setTimeout;
    window.waits = [];
    window.setTimeout = (f, ms, ...rest) => {
      if (f === window.page.fired) window.waits.push(ms);
      return plain(f, ms, ...rest);
    };
  });
  // Seven disks: the four largest first move in the eighth move, seconds after Reset, so the
  // move that Reset leaves to finish never carries one of them.
  await startRun(page, '7', '0.002');
  // Taken before Reset: emptying the delay box brings back the default pause, 0.05 s, for the
  // rest of the move, and input can cut its waits short to any length.
  const waits = await page.evaluate(() => window.waits.slice());
  await page.getByRole('button', { name: 'Reset' }).click();
  await assertDisksShown(page, 0);
  for (const name of [DISKS, DELAY]) {
    assert.equal(await page.getByRole('textbox', { name }).inputValue(), '');
  }
  // A new stack stays where it was put: nothing of the old run moves it any more.
  await page.getByRole('textbox', { name: DISKS }).fill('4');
  const before = await assertDisksShown(page, 4);
  await page.waitForTimeout(500);
  assert.deepEqual((await assertDisksShown(page, 4)).disks.slice(0, 4), before.disks.slice(0, 4));
  // A pause of 0.002 s, a hair over 2 ms in single precision, waits 2 ms and not 3.
  const paused = waits.filter((ms) => ms < 10); // the idle program's long waits aside
  assert.ok(paused.length > 0 && paused.every((ms) => ms <= 2), paused.join());
});

test('quit in the middle of a run ends the program, and the page can start it again', async () => {
  const page = await site.open();
  await startRun(page, '7', '0.01');
  // Pressed with Enter, held down until it repeats.
  await page.getByRole('button', { name: 'Quit' }).focus();
  await page.keyboard.down('Enter');
  await page.getByText('Corvane has ended.').waitFor();
  await page.evaluate(() => { window.sameVisit = true; });
  await page.keyboard.down('Enter');
  await page.keyboard.up('Enter');
  await page.waitForTimeout(300);
  assert.equal(await page.evaluate(() => window.sameVisit), true, 'the held key started it again');
  // Nothing of the window is left for assistive technology, not even its empty landmark.
  assert.equal(await page.locator('body').ariaSnapshot(),
    '- paragraph:\n  - text: Corvane has ended.\n  - button "Start again"');
  // The focus lands on the way back, which also tells a screen reader why it is there.
  const again = page.getByRole('button',
    { name: 'Start again', description: 'Corvane has ended.', exact: true });
  assert.equal(await again.evaluate((b) => b === document.activeElement, null, { timeout: 2000 }),
    true);
  await again.click();
  await page.waitForFunction(() => Module.calledRun && document.querySelector('main *'));
  assert.equal(await page.getByRole('textbox', { name: DISKS }).inputValue(), 'Disks (1-7)');
  assert.deepEqual(site.errors(page), []);
});

// Every press of Moves inside a run's long pause starts a run inside it, nested on the suspended
// stack, until the program refuses to go deeper, well before the browser's stack runs out: the
// page keeps working, and Quit ends it.
test('runs started inside each other\'s pauses, as deep as the program allows', async () => {
  const page = await site.open();
  await page.evaluate(([DISKS, DELAY]) => {
    const control = (name) => document.querySelector(`[aria-label="${name}"]`);
    const type = (name, text) => {
      control(name).value = text;
      control(name).dispatchEvent(new Event('input', { bubbles: true }));
    };
    for (let run = 0; run < 250; ++run) {
      control('Reset').click();
      type(DISKS, '7');
      type(DELAY, '1e9');
      control('Moves').click();
    }
  }, [DISKS, DELAY]);
  await page.getByRole('button', { name: 'Reset' }).click();
  await page.getByRole('textbox', { name: DISKS }).fill('2');
  await assertDisksShown(page, 2);
  await page.getByRole('button', { name: 'Quit' }).click();
  await page.getByText('Corvane has ended.').waitFor();
  assert.deepEqual(site.errors(page), []);
});

test('the keyboard alone: tab order as on the desktop, then a run started with the space bar',
  async () => {
    const page = await site.open();
    const focused = () => page.evaluate(() => document.activeElement.ariaLabel);
    const order = [];
    for (let i = 0; i < 5; ++i) {
      order.push(await focused());
      await page.keyboard.press('Tab');
    }
    assert.deepEqual(order, ['Reset', DISKS, DELAY, 'Moves', 'Quit']);
    await page.keyboard.press('Shift+Tab');
    assert.equal(await focused(), 'Quit');
    // The focused button shows the dotted mark over its word, as on the desktop.
    const b = await page.getByRole('button', { name: 'Quit' }).boundingBox();
    const mark = Array.from({ length: 6 }, (_, i) => [b.x + 3.5, b.y + b.height / 2 - 3 + i]);
    assert.ok((await site.colours(page, mark)).includes(0x808080), 'the focus mark shows');
    // Tabbing into a box selects its text, the prompt too, so typing replaces it.
    await page.getByRole('button', { name: 'Reset' }).focus();
    for (const text of ['2', '0']) {
      await page.keyboard.press('Tab');
      await page.keyboard.type(text);
    }
    // A click on the board, as on the desktop, leaves the focus where it was.
    const { pictures } = await site.layout(page);
    await page.mouse.click(...pictures.find((p) => p.name === 'Picture2(1)').probe);
    assert.equal(await focused(), DELAY);
    await page.keyboard.press('Tab');
    await page.keyboard.press('Space');
    await finished(page, 2);
  });

test('assistive technology: names, descriptions and the board in words', async () => {
  const page = await site.open();
  const described = [
    ['textbox', DISKS, 'How many disks to stack on the left peg, from 1 to 7'],
    ['textbox', DELAY, /empty or 0 means no pause/],
    ['button', 'Moves', /^Solve the puzzle/],
    ['button', 'Reset', /^Stop a run/],
    ['button', 'Quit', 'Close the window and end the program'],
    ['img', 'Board', 'Left peg: none; middle peg: none; right peg: none'],
  ];
  for (const [role, name, description] of described) {
    assert.equal(await page.getByRole(role, { name, description, exact: true }).count(), 1, name);
  }
  assert.equal(await page.locator('#board-now').getAttribute('aria-live'), 'polite');
  await enter(page, DISKS, '6');
  await page.getByRole('img', { name: 'Board', description: /^Left peg: 6 disks;/ }).waitFor();
  // In a run the words tell of the disk on the move too.
  await enter(page, DELAY, '0.05');
  await page.getByRole('button', { name: 'Moves' }).click();
  await page.getByRole('img', { name: 'Board', description: /^Left peg: 5 disks;.*moving$/ })
    .waitFor();
});

test('opened from a file rather than a server, the page says it cannot start', async () => {
  const page = await site.browser.newPage();
  await page.goto(pathToFileURL(`${process.argv[2] ?? 'build/web'}/index.html`).href);
  await page.getByText('Corvane could not start here').waitFor();
});

test('on a small screen the window shrinks whole and clicks still land', async () => {
  const page = await site.open({ viewport: { width: 496, height: 367 } });
  const canvas = await page.locator('#window > canvas').boundingBox();
  assert.deepEqual([canvas.width, canvas.height], [496, 367]);
  await enter(page, DISKS, '2');
  await assertDisksShown(page, 2);
  const quit = await page.getByRole('button', { name: 'Quit' }).boundingBox();
  await page.mouse.click(quit.x + quit.width / 2, quit.y + quit.height / 2);
  await page.getByText('Corvane has ended.').waitFor();
});

test('zoomed in as far as the browser goes on a dense screen, the board still shows', async () => {
  const page = await site.open({ deviceScaleFactor: 20, viewport: { width: 248, height: 184 } });
  await enter(page, DISKS, '3');
  await assertDisksShown(page, 3);
});
