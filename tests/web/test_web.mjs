// The browser edition in one browser engine: start-up, typed counts, whole runs, reset and quit
// in the middle of a run, runs inside runs, the keyboard, assistive technology and a small screen.
// The same cases run in every engine; the few that need what only one engine's driver can do say
// so in their names. Last come the cases that need Chromium's DevTools protocol: input in
// bursts, phones and tablets with touch, zoom, and the site offline and as an app.
//   node tests/web/test_web.mjs SITE [chromium|firefox|webkit]
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { DELAY, DISKS, openSite, serve, waitFor } from './browser.mjs';

const siteDir = process.argv[2] ?? 'build/web';
const engine = process.argv[3] ?? 'chromium';
let site;
const copies = [];
before(async () => { site = await openSite(siteDir, engine); });
after(async () => {
  await site?.close();
  copies.forEach((c) => rmSync(c, { recursive: true, force: true }));
});
const value = (page, name) => page.evaluate((s) => document.querySelector(s).value,
  site.control(name));

// Clicks a box that still shows its prompt, which the click clears. The program takes the click
// from the page's queue a moment later; a person is never as quick to type as a script.
async function clickBox(page, name) {
  await site.clickOn(page, site.control(name));
  await waitFor(page, (s) => !document.querySelector(s).value, site.control(name));
}

async function enter(page, name, text) {
  await clickBox(page, name);
  await page.type(text);
}

// Puts a text into a box in one edit, as a paste does.
function paste(page, name, text) {
  return page.evaluate(([s, text]) => {
    const box = document.querySelector(s);
    box.focus();
    box.select();
    document.execCommand('insertText', false, text);
  }, [site.control(name), text]);
}

// The board in words, as the page tells it to assistive technology.
const words = (page, pattern) => waitFor(page, (p) =>
  new RegExp(p).test(document.getElementById('board-now').textContent), pattern.source);

// Starts a run; one with a pause is followed until a disk is above the posts.
async function startRun(page, disks, delay) {
  await enter(page, DISKS, disks);
  await enter(page, DELAY, delay);
  await site.clickOn(page, site.control('Moves'));
  if (delay !== '0') await words(page, /moving$/);
}

// Every wait the program asks of the browser's timers from now on, how long and when it asked,
// and when the board's words last changed.
const watchWaits = (page) => page.evaluate(() => {
  if (window.waits) return;
  const plain = window.setTimeout;
  window.waits = [];
  window.setTimeout = (f, ms, ...rest) => {
    if (f === window.page.fired) window.waits.push({ ms, at: performance.now() });
    return plain(f, ms, ...rest);
  };
  // Noted as the words are written, before the program's next wait.
  window.toldAt = 0;
  const text = Object.getOwnPropertyDescriptor(Node.prototype, 'textContent');
  Object.defineProperty(document.getElementById('board-now'), 'textContent', {
    get() { return text.get.call(this); },
    set(words) { window.toldAt = performance.now(); text.set.call(this, words); },
  });
});

// The program has nothing left to do when the last thing it asked for is an hour's sleep, asked
// after it last told the board in words and after the time given.
const idle = (page, since = 0) => waitFor(page, (t) => {
  const last = window.waits.at(-1);
  return last?.ms >= 3600000 && last.at >= Math.max(t, window.toldAt);
}, since, { timeout: 120000 });

// The words say a disk is on its peg once it is down among the posts, some steps before it
// lands; the run is over once the program then has nothing left to do.
async function finished(page, disks) {
  await watchWaits(page);
  await waitFor(page, (text) => document.getElementById('board-now').textContent === text,
    `Left peg: none; middle peg: none; right peg: ${disks} disks`, { timeout: 120000 });
  await idle(page);
}

// Every visible disk shows its own colour at its middle, and every hidden one does not, within a
// second of an input: what a person sees at once. Looked at frame by frame until then, as a busy
// machine may take a few frames; far sooner than any pause the tests hold a run in.
async function assertDisksShown(page, count) {
  const wanted = [0, 1, 2, 3, 4, 5, 6].map((i) => i < count);
  for (const end = Date.now() + 1000; ;) {
    await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => setTimeout(r, 20))));
    const { pictures } = await site.layout(page);
    const disks = wanted.map((_, i) => pictures.find((p) => p.name === `Picture1(${i})`));
    const seen = await site.colours(page, disks.map((d) => d.probe));
    const shown = seen.map((c, i) => site.near(c, disks[i].color));
    const visible = disks.map((d) => d.visible);
    const there = String(visible) === String(wanted) && String(shown) === String(wanted);
    if (there || Date.now() > end) {
      assert.deepEqual(visible, wanted);
      assert.deepEqual(shown, wanted);
      return { pictures, disks };
    }
  }
}

test('start-up: a sharp canvas at the design size, posts, bases and picture buttons', async () => {
  // A dense screen where the engine's driver can make one.
  const page = await site.open({ scale: 2 });
  assert.equal(await page.evaluate(() => document.title), 'Corvane by Ambrell');
  const [ratio, ...canvas] = await page.evaluate(() => {
    const c = document.querySelector('#window > canvas');
    return [devicePixelRatio, c.width, c.height, c.style.width];
  });
  assert.deepEqual(canvas, [992 * ratio, 734 * ratio, '992px']);
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
    const b = await site.box(page, site.control(word));
    const across = Array.from({ length: 40 }, (_, i) => [b.x + 8 + i, b.y + b.height / 2]);
    const y = b.y + b.height / 2;
    const [edge, shadow, face, ...middle] = await site.colours(page,
      [[b.x + 0.5, y], [b.x + b.width - 0.5, y], [b.x + 4, b.y + 4], ...across]);
    assert.deepEqual([edge, shadow, face], [0xffffff, 0x696969, 0x000000], word);
    assert.ok(middle.some((c) => site.near(c, 0xffffff, 40)), `${word} shows its word`);
  }
  assert.equal(await page.evaluate(() => document.activeElement.ariaLabel), 'Reset');
  assert.deepEqual(await page.errors(), []);
});

test('a typed count shows its stack at once', async () => {
  const page = await site.open();
  await clickBox(page, DISKS);
  for (const [key, shown] of [['3', 3], ['Backspace', 0], ['7', 7], ['Backspace', 0], ['9', 1]]) {
    await page.press(key);
    await assertDisksShown(page, shown);
  }
  // A paste is cut where a desktop box cuts it: only zeros are left, which no count can use.
  await paste(page, DISKS, '0'.repeat(40000) + '5');
  await assertDisksShown(page, 1);
  assert.equal((await value(page, DISKS)).length, 32767);
  // A box holds whatever is pasted into it, NUL characters too, and the program reads it all.
  await paste(page, DISKS, '4\u0000x');
  await assertDisksShown(page, 4);
  assert.equal(await value(page, DISKS), '4\u0000x');
});

test('a three-disk run at delay 0 leaves every disk at rest on the right peg, and the canvas ' +
  'as a repaint of the whole window leaves it (that, in Chromium and Firefox)', async () => {
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
  // WebKitGTK's driver cannot change the ratio of a page.
  if (engine !== 'webkit') {
    // The pixels stay in the page: carried out whole, they took the test half a minute.
    const ratio = (r) => waitFor(page, (want) =>
      JSON.parse(Module.UTF8ToString(Module._corvane_layout())).ratio === want, r);
    await page.evaluate(() => {
      const c = document.querySelector('#window > canvas');
      window.afterRun = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    });
    // The browser tells a page of a new ratio as it resizes it, so the height changes too. A
    // narrower page shows the window at half its size, drawn afresh on half as many pixels.
    for (const [width, height, scale, drawn] of [[1100, 799, 2, 2], [496, 800, 1, 0.5],
      [1100, 800, 1, 1]]) {
      await page.resize(width, height, scale);
      await ratio(drawn);
    }
    const [length, lengthAfterRun, firstDifference] = await page.evaluate(() => {
      const c = document.querySelector('#window > canvas');
      const repainted = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      return [repainted.length, window.afterRun.length,
        repainted.findIndex((v, i) => v !== window.afterRun[i])];
    });
    assert.equal(length, lengthAfterRun);
    assert.equal(firstDifference, -1);
  }
});

// The longest run there is, every step drawn, in a row on one page: each must finish, with no
// error, in every engine.
test('seven-disk runs at delay 0, three in a row, each ending with every disk on the right peg',
  async () => {
    const page = await site.open();
    for (let run = 0; run < 3; ++run) {
      // The words of the run before are told again only once they have changed.
      if (run) {
        await site.clickOn(page, site.control('Reset'));
        await words(page, /^Left peg: none; middle peg: none; right peg: none$/);
      }
      await startRun(page, '7', '0');
      await finished(page, 7);
      await assertDisksShown(page, 7);
    }
    assert.deepEqual(await page.errors(), []);
  });

test('a paced run sleeps once per pause; reset in the middle of a run stops it and clears the ' +
  'board', async () => {
  const page = await site.open();
  await watchWaits(page);
  // A pause of 0.002 s, a hair over 2 ms in single precision, waits 2 ms and not 3, in one
  // sleep: the page is not woken again and again to look at the clock. Each step draws once and
  // then pauses once.
  await enter(page, DISKS, '3');
  await enter(page, DELAY, '0.002');
  const paintsBefore = (await site.layout(page)).paints;
  await site.clickOn(page, site.control('Moves'));
  // Counted together, while the page is between two of the program's steps; the idle program's
  // long waits aside.
  await words(page, /right peg: 3 disks$/);
  const [paints, paused] = await page.evaluate(() => [
    JSON.parse(Module.UTF8ToString(Module._corvane_layout())).paints,
    window.waits.map((w) => w.ms).filter((ms) => ms < 10)]);
  const pauses = paints - paintsBefore;
  assert.ok(pauses > 50 && paused.length >= pauses * 0.8 && paused.length <= pauses * 1.25,
    `${paused.length} sleeps in ${pauses} pauses`);
  assert.ok(paused.every((ms) => ms <= 2), paused.join());
  await finished(page, 3);
  // A run held in its first pause, of five seconds: the disk it moves is the smallest, which a
  // stack of four leaves hidden, so the move that Reset lets finish moves nothing shown. The
  // board's words, told at most every two seconds, may cut a pause in two, never both short.
  await site.clickOn(page, site.control('Reset'));
  await enter(page, DISKS, '7');
  await enter(page, DELAY, '5');
  await site.clickOn(page, site.control('Moves'));
  await waitFor(page, () => window.waits.some((w) => w.ms > 2000 && w.ms < 3600000));
  await site.clickOn(page, site.control('Reset'));
  await assertDisksShown(page, 0);
  for (const name of [DISKS, DELAY]) assert.equal(await value(page, name), '');
  // A new stack stays where it was put: nothing of the old run moves it any more.
  const since = await page.evaluate(() => performance.now());
  await paste(page, DISKS, '4');
  const before = await assertDisksShown(page, 4);
  await idle(page, since);
  assert.deepEqual((await assertDisksShown(page, 4)).disks.slice(0, 4), before.disks.slice(0, 4));
});

test('quit in the middle of a run ends the program, and the page can start it again', async () => {
  const page = await site.open();
  await startRun(page, '7', '0.01');
  // Pressed with Enter, held down until it repeats.
  await page.evaluate((s) => document.querySelector(s).focus(), site.control('Quit'));
  await page.down('Enter');
  await site.shows(page, 'Corvane has ended.');
  // Enter clicks a button as it goes down; its release comes after any click it made.
  await page.evaluate(() => {
    window.sameVisit = true;
    document.querySelector('#ended button').addEventListener('click', () => {
      window.startedAgain = true;
    });
    addEventListener('keyup', () => { window.released = true; });
  });
  await page.down('Enter');
  await page.up('Enter');
  assert.equal(await waitFor(page, () => window.released && window.sameVisit &&
    (window.startedAgain ? 'started again' : 'stayed')), 'stayed', 'the held key started it again');
  // Nothing of the window is left for assistive technology, not even its empty landmark.
  assert.deepEqual(await page.evaluate(() => [document.getElementById('window'),
    document.getElementById('stage').hidden]), [null, true]);
  assert.match(await page.evaluate(() => document.getElementById('ended').innerText),
    /^Corvane has ended.\s*Start again$/);
  // The focus lands on the way back, which also tells a screen reader why it is there.
  assert.deepEqual(await page.evaluate(() => {
    const b = document.activeElement;
    return [b.textContent.trim().replace(/\s+/g, ' '),
      document.getElementById(b.getAttribute('aria-describedby')).textContent];
  }), ['Start again', 'Corvane has ended.']);
  await site.clickOn(page, '#ended button');
  // The page reloads: asked while it does, it may not answer.
  while (!await page.evaluate(() => !window.sameVisit && window.Module?.calledRun &&
    !!document.getElementById('window')).catch(() => false));
  assert.equal(await value(page, DISKS), 'Disks (1-7)');
  assert.deepEqual(await page.errors(), []);
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
  await site.clickOn(page, site.control('Reset'));
  await paste(page, DISKS, '2');
  await assertDisksShown(page, 2);
  await site.clickOn(page, site.control('Quit'));
  await site.shows(page, 'Corvane has ended.');
  assert.deepEqual(await page.errors(), []);
});

test('the keyboard alone: tab order as on the desktop, then a run started with the space bar',
  async () => {
    const page = await site.open();
    const focused = () => page.evaluate(() => document.activeElement.ariaLabel);
    const order = [];
    for (let i = 0; i < 5; ++i) {
      if (i) await page.press('Tab');
      order.push(await focused());
    }
    assert.deepEqual(order, ['Reset', DISKS, DELAY, 'Moves', 'Quit']);
    await page.press('Shift+Tab');
    assert.equal(await focused(), 'Moves');
    await page.press('Tab');
    // The focused button shows the dotted mark over its word, three pixels in from its edge as
    // on the desktop.
    const b = await site.box(page, site.control('Quit'));
    const y = b.y + b.height / 2 - 3;
    const column = (x) => Array.from({ length: 6 }, (_, i) => [b.x + x, y + i]);
    const seen = await site.colours(page, [2.5, 3.5, 4.5].flatMap(column));
    const marked = [0, 6, 12].map((i) => seen.slice(i, i + 6).includes(0x808080));
    assert.deepEqual(marked, [false, true, false], 'the focus mark, three pixels in');
    // Tabbing into a box selects its text, the prompt too, so typing replaces it.
    await page.evaluate((s) => document.querySelector(s).focus(), site.control('Reset'));
    for (const text of ['2', '0']) {
      await page.press('Tab');
      await page.type(text);
    }
    // A click on the board, as on the desktop, leaves the focus where it was.
    const { pictures } = await site.layout(page);
    await page.click(...pictures.find((p) => p.name === 'Picture2(1)').probe);
    assert.equal(await focused(), DELAY);
    await page.press('Tab');
    await page.press('Space');
    await finished(page, 2);
  });

test('assistive technology: names, descriptions and the board in words', async () => {
  const page = await site.open();
  // Each control by its role and name, with the description a screen reader reads after them.
  const describe = (role, name) => page.evaluate(([role, name]) => {
    const roleOf = (e) => e.getAttribute('role') ??
      ({ INPUT: 'textbox', BUTTON: 'button' })[e.tagName];
    const found = [...document.querySelectorAll('[aria-label]')]
      .filter((e) => roleOf(e) === role && e.getAttribute('aria-label') === name);
    return found.map((e) => e.getAttribute('aria-description') ??
      (e.getAttribute('aria-describedby') ?? '').split(' ').filter(Boolean)
        .map((id) => document.getElementById(id).textContent).join(' '));
  }, [role, name]);
  const described = [
    ['textbox', DISKS, /^How many disks to stack on the left peg, from 1 to 7$/],
    ['textbox', DELAY, /empty or 0 means no pause/],
    ['button', 'Moves', /^Solve the puzzle/],
    ['button', 'Reset', /^Stop a run/],
    ['button', 'Quit', /^Close the window and end the program$/],
    ['img', 'Board', /^Left peg: none; middle peg: none; right peg: none$/],
  ];
  for (const [role, name, description] of described) {
    const found = await describe(role, name);
    assert.equal(found.length, 1, name);
    assert.match(found[0], description, name);
  }
  assert.equal(await page.evaluate(() =>
    document.getElementById('board-now').getAttribute('aria-live')), 'polite');
  await enter(page, DISKS, '6');
  await words(page, /^Left peg: 6 disks;/);
  // In a run the words tell of the disk on the move too.
  await enter(page, DELAY, '0.05');
  await site.clickOn(page, site.control('Moves'));
  await words(page, /^Left peg: 5 disks;.*moving$/);
});

test('opened from a file rather than a server, the page says it cannot start', async () => {
  const page = await site.open({}, pathToFileURL(`${siteDir}/index.html`).href);
  await site.shows(page, 'Corvane could not start here');
});

test('on a small screen the window shrinks whole and clicks still land', async () => {
  const page = await site.open({ width: 496, height: 367 });
  assert.equal(await site.fits(page), true);
  await enter(page, DISKS, '2');
  await assertDisksShown(page, 2);
  await site.clickOn(page, site.control('Quit'));
  await site.shows(page, 'Corvane has ended.');
});

test('zoomed in as far as the browser goes on a dense screen, the board still shows ' +
  '(pixel ratio: Chromium and Firefox)', { skip: engine === 'webkit' && 'WebKitGTK\'s driver ' +
  'cannot change the pixel ratio' }, async () => {
  const page = await site.open({ scale: 20, width: 248, height: 184 });
  await enter(page, DISKS, '3');
  await assertDisksShown(page, 3);
});

// The page as an automatic accessibility check finds it, on a desktop's screen and on a phone's,
// at start-up, in the middle of a run and after Quit: nothing it flags.
const axe = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
async function violations(page) {
  return page.evaluate(async (source) => {
    if (!window.axe) (0, eval)(source);
    const { violations } = await window.axe.run(document, { resultTypes: ['violations'] });
    return violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
  }, axe);
}
for (const [screen, size] of [['a desktop', { width: 1100, height: 800 }],
  ['a phone', { width: 390, height: 844 }]]) {
  test(`no accessibility violations on ${screen}'s screen at start-up, in a run and after Quit`,
    async () => {
      const page = await site.open(size);
      assert.deepEqual(await violations(page), [], 'at start-up');
      await startRun(page, '5', '0.05');
      assert.deepEqual(await violations(page), [], 'in a run');
      await site.clickOn(page, site.control('Quit'));
      await site.shows(page, 'Corvane has ended.');
      assert.deepEqual(await violations(page), [], 'after Quit');
    });
}

// What follows needs Chromium's DevTools protocol, through Playwright's page, which its driver
// hands over.
const chromiumOnly = { skip: engine !== 'chromium' && 'it needs Chromium\'s DevTools protocol' };
const focusedName = (page) => page.evaluate(() => document.activeElement.ariaLabel);
// The middle of a control, moved by (dx, dy).
async function centre(page, name, [dx, dy] = [0, 0]) {
  const b = await site.box(page, site.control(name));
  return { x: b.x + b.width / 2 + dx, y: b.y + b.height / 2 + dy };
}

// Input in a burst, as from an automation tool, voice control or a fast typist on a slow device,
// reaches the program in the order it came: each burst gives the same boxes and board as the
// same input with a pause after every event. Each burst is sent in one go while the page is
// busy, so that all of it waits for the page.
const mouseClick = (at) => ['mousePressed', 'mouseReleased'].map((type) =>
  ['Input.dispatchMouseEvent', { type, ...at, button: 'left', clickCount: 1 }]);
const KEYS = { Tab: 9, Enter: 13, Backspace: 8 };
const key = (name) => {
  const text = name.length === 1 ? name : name === 'Enter' ? '\r' : undefined;
  const code = KEYS[name] ?? name.toUpperCase().charCodeAt(0);
  return [['Input.dispatchKeyEvent', { type: text ? 'keyDown' : 'rawKeyDown', key: name, text,
    windowsVirtualKeyCode: code }],
  ['Input.dispatchKeyEvent', { type: 'keyUp', key: name, windowsVirtualKeyCode: code }]];
};

// Once every queued event is taken, and the page has had a frame since.
const settled = (page) => page.waitForFunction(() => events.list.length === 0 &&
  new Promise((r) => requestAnimationFrame(() => setTimeout(() => r(true), 50))));

// All at once behind a script that keeps the page busy, or one at a time, each taken by the
// program before the next is sent; then the boxes, the disks shown and the focus.
async function send(page, commands, inBurst) {
  const cdp = await page.context().newCDPSession(page);
  if (inBurst) {
    const busy = cdp.send('Runtime.evaluate',
      { expression: 'for (const end = performance.now() + 300; performance.now() < end;);' });
    await Promise.all([busy, ...commands.map(([method, params]) => cdp.send(method, params))]);
  }
  for (const [method, params] of inBurst ? [] : commands) {
    await cdp.send(method, params);
    await settled(page);
  }
  await settled(page);
  await cdp.detach();
  const { pictures } = await site.layout(page);
  return {
    boxes: [await value(page, DISKS), await value(page, DELAY)],
    disks: pictures.filter((p) => /^Picture1/.test(p.name) && p.visible)
      .map((p) => [p.x, p.y].map(Math.round)),
    focus: await focusedName(page),
  };
}

// The same input in a burst and paced gives the same boxes, disks and focus.
async function compare(makeCommands) {
  let page = await site.open();
  const expected = await send(page, await makeCommands(page), false);
  page = await site.open();
  const got = await send(page, await makeCommands(page), true);
  assert.deepEqual(got, expected);
  assert.deepEqual(site.errors(page), []);
  return got;
}

test('bursts: a click on a box and a key at once, in each box; typing, deleting, pasting and ' +
  'tabbing through both boxes, then Enter on Moves; an input method\'s composition behind a click',
chromiumOnly, async () => {
  const clickOn = async (page, name) => mouseClick(await centre(page, name));
  for (const [commands, boxes, disks, focus] of [
    [async (page) => [...await clickOn(page, DISKS), ...key('3')], ['3'], 3],
    [async (page) => [...await clickOn(page, DELAY), ...key('5')], [, '5'], 0],
    [async (page) => [...await clickOn(page, DISKS), ...key('4'), ...key('5'), ...key('Backspace'),
      ['Input.insertText', { text: '\n2' }], // pasted, with a line break the box leaves out
      ...key('Tab'), ...key('0'), ...key('Tab'), ...key('Enter')],
    ['4 2', '0'], undefined, 'Moves'],
    [async (page) => [...await clickOn(page, DISKS),
      ['Input.imeSetComposition', { text: '6', selectionStart: 1, selectionEnd: 1 }],
      ['Input.insertText', { text: '6' }]], ['6'], 6],
  ]) {
    // The boxes that were typed into: a sparse list.
    const got = await compare(commands);
    boxes.forEach((text, i) => assert.equal(got.boxes[i], text));
    if (disks !== undefined) assert.equal(got.disks.length, disks);
    if (focus) assert.equal(got.focus, focus);
  }
});

// Phones, tablets and short, wide windows, with touch: the whole window shows without
// scrolling, scaled whole and centred, and never widens the page; taps reach the controls, even
// taps beside controls scaled smaller than a fingertip.
const touch = (width, height, scale = 2) => ({ width, height, scale, hasTouch: true,
  isMobile: true });
async function tap(page, name, offset) {
  const { x, y } = await centre(page, name, offset);
  await page.touchscreen.tap(x, y);
}

for (const [width, height, ratio] of [[320, 568], [390, 844, 3], [844, 390], [820, 1180],
  [1100, 400]]) {
  test(`${width} × ${height} with touch: the whole window in view and centred, and taps work`,
    chromiumOnly, async () => {
      const page = await site.open(touch(width, height, ratio));
      // The page keeps the screen's size, with nothing to scroll to.
      assert.deepEqual(await page.evaluate(() => [innerWidth,
        document.documentElement.scrollWidth, document.documentElement.scrollHeight]),
      [width, width, height]);
      assert.equal(await site.fits(page), true);
      // The canvas has as many pixels as the screen gives the window, not the screen's ratio
      // for each of the window's own.
      const [drawn, shown] = await page.evaluate(() => {
        const c = document.querySelector('#window > canvas');
        return [c.width, c.getBoundingClientRect().width * devicePixelRatio];
      });
      assert.ok(Math.abs(drawn - shown) <= 1, `${drawn} pixels drawn for ${shown} shown`);
      // A run started with taps, stopped with Reset, then Quit.
      for (const [name, text] of [[DISKS, '3'], [DELAY, '0.05']]) {
        await tap(page, name);
        await waitFor(page, (s) => !document.querySelector(s).value, site.control(name));
        await page.keyboard.type(text);
      }
      await tap(page, 'Moves');
      await words(page, /^Left peg: 2 disks.*moving$/);
      await tap(page, 'Reset');
      await words(page, /^Left peg: none; middle peg: none; right peg: none$/);
      await assertDisksShown(page, 0);
      await tap(page, 'Quit');
      await site.shows(page, 'Corvane has ended.');
      assert.deepEqual(site.errors(page), []);
    });
}

test('pinched larger on a phone, the board is drawn afresh on more pixels, up to the screen\'s',
  chromiumOnly, async () => {
    const page = await site.open(touch(320, 568));
    const drawn = (want) => waitFor(page, (w) => Math.abs(w - JSON.parse(Module.UTF8ToString(
      Module._corvane_layout())).ratio) < 1e-9, want);
    const unpinched = (await site.layout(page)).ratio;
    const cdp = await page.playwright.context().newCDPSession(page.playwright);
    for (const [pinch, want] of [[2, unpinched * 2], [8, 2], [1, unpinched]]) {
      await cdp.send('Emulation.setPageScaleFactor', { pageScaleFactor: pinch });
      await drawn(want);
    }
  });

test('on a phone, a tap just beside a small control reaches it; one on the board does not',
  chromiumOnly, async () => {
    const page = await site.open(touch(320, 568));
    const box = await site.box(page, site.control(DISKS));
    assert.ok(box.height < 20, 'the box is smaller than a fingertip');
    // Below the box, on the board: the box takes the tap, as a click.
    await tap(page, DISKS, [0, box.height / 2 + 6]);
    await waitFor(page, (s) => !document.querySelector(s).value, site.control(DISKS));
    assert.equal(await focusedName(page), DISKS);
    await page.keyboard.type('2');
    assert.equal(await value(page, DISKS), '2');
    // Far from every control, a tap on the board leaves the focus where it was.
    const { pictures } = await site.layout(page);
    const post = pictures.find((p) => p.name === 'Picture2(1)');
    await page.touchscreen.tap(post.x + post.width / 2, post.y + post.height / 4);
    assert.equal(await focusedName(page), DISKS);
    const quit = await site.box(page, site.control('Quit'));
    await tap(page, 'Quit', [0, -(quit.height / 2 + 5)]);
    await site.shows(page, 'Corvane has ended.');
  });

test('the browser\'s zoom enlarges the window, and the page then scrolls', chromiumOnly,
  async () => {
    const page = await site.open();
    const boxHeight = async () => (await site.box(page, site.control(DISKS))).height *
      await page.evaluate(() => devicePixelRatio);
    const normal = await boxHeight();
    // Zooming in makes the viewport fewer CSS pixels across and each of them more device pixels.
    for (const zoom of [2, 4]) {
      await page.resize(1100 / zoom, 800 / zoom, zoom);
      await waitFor(page, (z) => devicePixelRatio === z, zoom);
      assert.ok(await boxHeight() > normal * zoom * 0.95, `the box's text grows at ${zoom * 100}%`);
      const scroll = await page.evaluate(() => [document.documentElement.scrollWidth, innerWidth]);
      assert.ok(scroll[0] > scroll[1], 'the page scrolls');
    }
    // Scrolled to its far corner, Quit is there to click.
    await page.getByRole('button', { name: 'Quit' }).click();
    await site.shows(page, 'Corvane has ended.');
  });

// The site offline and as an app: its manifest and icons, a reload with the network off and
// "Start again" with the server gone, and a new build taking the old one's place. Each case has
// a copy of the site on a server of its own, which it can change and stop, and a browser context
// of its own.
async function withCopy(use) {
  const directory = mkdtempSync(join(tmpdir(), 'corvane-site-'));
  copies.push(directory);
  cpSync(siteDir, directory, { recursive: true });
  const server = await serve(directory);
  const context = await site.engine.playwright.newContext();
  try {
    await use({ ...server, directory, context });
  } finally {
    await context.close();
    await server.stop();
  }
}

const started = (page) =>
  page.waitForFunction(() => window.Module?.calledRun && document.querySelector('main *'));

// Opens the page and waits until its worker has kept the site; notes whether the window was
// already on the page when the worker was asked for.
async function visit(context, url) {
  const page = await context.newPage();
  await page.addInitScript(() => {
    const register = ServiceWorkerContainer.prototype.register;
    ServiceWorkerContainer.prototype.register = function (...args) {
      window.shownBeforeWorker ??= Boolean(document.querySelector('#stage canvas'));
      return register.apply(this, args);
    };
  });
  await page.goto(url);
  await started(page);
  const kept = await page.evaluate(async () => {
    await Promise.race([navigator.serviceWorker.ready, new Promise((_, failed) =>
      setTimeout(() => failed(new Error('no service worker')), 20000))]);
    const [name] = await caches.keys();
    return { name, files: (await (await caches.open(name)).keys()).length,
      shownFirst: window.shownBeforeWorker };
  });
  return { page, kept };
}

test('installable: a manifest that names the program, with its icons', chromiumOnly, async () => {
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
  chromiumOnly, () => withCopy(async ({ url, stop, context }) => {
    const { page, kept } = await visit(context, url);
    assert.ok(kept.files >= 8, `${kept.files} files kept`);
    // Keeping the site waits for the window: it would slow the window's start.
    assert.equal(kept.shownFirst, true);
    await context.setOffline(true);
    await page.reload();
    await started(page);
    assert.equal(await page.title(), 'Corvane by Ambrell');
    await context.setOffline(false);
    await stop();
    await page.getByRole('button', { name: 'Quit' }).click();
    await page.getByRole('button', { name: 'Start again' }).click();
    await started(page);
    await page.getByRole('textbox', { name: DISKS }).fill('3');
    await page.getByText(/^Left peg: 3 disks;/).waitFor({ state: 'attached' });
  }));

test('a new build replaces the one kept, at the next visit', chromiumOnly,
  () => withCopy(async ({ url, directory, context }) => {
    const first = await visit(context, url);
    // A new build: another page, and a worker whose cache is named after it.
    const index = join(directory, 'index.html');
    writeFileSync(index, readFileSync(index, 'utf8')
      .replace('<title>', '<meta name="build" content="new"><title>'));
    rmSync(`${index}.gz`);
    const worker = join(directory, 'service-worker.js');
    writeFileSync(worker, readFileSync(worker, 'utf8').replace(first.kept.name, 'corvane-new'));
    await first.page.close();
    const second = await context.newPage();
    await second.goto(url);
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
  }));
