// Input in a burst, as from an automation tool, voice control or a fast typist on a slow
// device, reaches the program in the order it came: each burst gives the same boxes and board
// as the same input with a pause after every event. Each burst is sent through the browser's
// DevTools protocol in one go, while the page is busy, so that all of it waits for the page.
//   node tests/web/test_events.mjs SITE
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { DELAY, DISKS } from './browser.mjs';
import { openChromium } from './chromium_pages.mjs';

let site;
before(async () => { site = await openChromium(process.argv[2] ?? 'build/web'); });
after(() => site?.close());

const middle = async (page, role, name) => {
  const b = await page.getByRole(role, { name }).boundingBox();
  return { x: b.x + b.width / 2, y: b.y + b.height / 2 };
};
const click = (at) => ['mousePressed', 'mouseReleased'].map((type) =>
  ['Input.dispatchMouseEvent', { type, ...at, button: 'left', clickCount: 1 }]);
const KEYS = { Tab: 9, Enter: 13, Backspace: 8 };
const key = (name) => {
  const text = name.length === 1 ? name : name === 'Enter' ? '\r' : undefined;
  const code = KEYS[name] ?? name.toUpperCase().charCodeAt(0);
  return [['Input.dispatchKeyEvent', { type: text ? 'keyDown' : 'rawKeyDown', key: name, text,
    windowsVirtualKeyCode: code }],
  ['Input.dispatchKeyEvent', { type: 'keyUp', key: name, windowsVirtualKeyCode: code }]];
};

// Sends every command at once, behind a script that keeps the page busy, so that the browser
// holds all of them until the page is free; then waits until the program has taken them all.
async function burst(page, commands) {
  const cdp = await page.context().newCDPSession(page);
  const busy = cdp.send('Runtime.evaluate',
    { expression: 'for (const end = performance.now() + 300; performance.now() < end;);' });
  await Promise.all([busy, ...commands.map(([method, params]) => cdp.send(method, params))]);
  await settled(page);
  await cdp.detach();
}

// Once every queued event is taken, and the page has had a frame since.
const settled = (page) => page.waitForFunction(() => events.list.length === 0 &&
  new Promise((r) => requestAnimationFrame(() => setTimeout(() => r(true), 50))));

async function state(page) {
  await settled(page);
  const { pictures } = await site.layout(page);
  return {
    boxes: await Promise.all([DISKS, DELAY].map((name) =>
      page.getByRole('textbox', { name }).inputValue())),
    disks: pictures.filter((p) => /^Picture1/.test(p.name) && p.visible)
      .map((p) => [p.x, p.y].map(Math.round)),
    focus: await page.evaluate(() => document.activeElement.ariaLabel),
  };
}

// The same input, one event at a time, each taken by the program before the next is sent.
async function paced(page, commands) {
  const cdp = await page.context().newCDPSession(page);
  for (const [method, params] of commands) {
    await cdp.send(method, params);
    await settled(page);
  }
  await cdp.detach();
}

async function compare(makeCommands, check) {
  let page = await site.open();
  await paced(page, await makeCommands(page));
  const expected = await state(page);
  page = await site.open();
  await burst(page, await makeCommands(page));
  const got = await state(page);
  assert.deepEqual(got, expected);
  check?.(got);
  assert.deepEqual(site.errors(page), []);
}

test('a click on a box and a key at once: the key lands in the emptied box, in both boxes',
  async () => {
    for (const [name, text, want] of [[DISKS, '3', 3], [DELAY, '5', 0]]) {
      await compare(async (page) => [...click(await middle(page, 'textbox', name)), ...key(text)],
        (got) => {
          assert.equal(got.boxes[name === DISKS ? 0 : 1], text);
          assert.equal(got.disks.length, want);
        });
    }
  });

test('typing, deleting, pasting and tabbing through both boxes, then Enter on Moves',
  async () => {
    await compare(async (page) => [
      ...click(await middle(page, 'textbox', DISKS)), ...key('4'), ...key('5'),
      ...key('Backspace'),
      ['Input.insertText', { text: '\n2' }], // pasted, with a line break the box leaves out
      ...key('Tab'), ...key('0'), ...key('Tab'), ...key('Enter'),
    ], (got) => {
      assert.deepEqual(got.boxes, ['4 2', '0']);
      assert.equal(got.focus, 'Moves');
    });
  });

test('an input method\'s composition waits its turn behind a click', async () => {
  await compare(async (page) => [
    ...click(await middle(page, 'textbox', DISKS)),
    ['Input.imeSetComposition', { text: '6', selectionStart: 1, selectionEnd: 1 }],
    ['Input.insertText', { text: '6' }],
  ], (got) => {
    assert.equal(got.boxes[0], '6');
    assert.equal(got.disks.length, 6);
  });
});
