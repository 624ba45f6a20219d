// WebKitGTK's MiniBrowser, driven by Debian's WebKitWebDriver through Selenium, on a virtual X
// server of its own. Every page is a browser of its own: a page whose process crashed takes its
// session with it, and the next test starts afresh.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import webdriver from 'selenium-webdriver';
import http from 'selenium-webdriver/http/index.js';
import remote from 'selenium-webdriver/remote/index.js';

export const name = 'webkit';
const { Capabilities, Key, WebDriver } = webdriver;
const miniBrowser = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
const keyNames = { Backspace: Key.BACK_SPACE, Tab: Key.TAB, Shift: Key.SHIFT, Enter: Key.ENTER,
  Space: Key.SPACE };

// Xvfb picks a free display itself and tells it through a descriptor.
async function startX() {
  const x = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1920x1280x24', '-nolisten', 'tcp'],
    { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] });
  const display = await new Promise((done, fail) => {
    let text = '';
    x.stdio[3].on('data', (d) => { text += d; if (text.includes('\n')) done(`:${text.trim()}`); });
    x.once('exit', () => fail(new Error('Xvfb did not start')));
  });
  // Should the tests end without closing it, the server goes with them, and the browsers on it.
  const stop = () => x.kill();
  process.once('exit', stop);
  return { display, stop };
}

// A crashed page ends its session; say so plainly rather than as a failed command. The command
// under way when the web process dies gets no result, the next one finds the session deleted,
// and any after it no session.
function plainly(error) {
  if (/page crash or hang|Could not parse script result/.test(error?.message) ||
      error?.name === 'NoSuchSessionError') {
    throw new Error(`WebKit's web process crashed or hung, or its session was lost to that: ` +
      `${error.name}: ${error.message}`);
  }
  throw error;
}

// A browser with a driver of its own. After a dozen sessions or so, the driver now and then
// never answers a request for a new one; such a driver is stopped and a fresh one asked.
async function startBrowser(x, dir) {
  const caps = new Capabilities();
  caps.set('browserName', 'MiniBrowser');
  caps.set('webkitgtk:browserOptions', { binary: miniBrowser, args: ['--automation'] });
  for (let attempt = 1; ; ++attempt) {
    const service = new remote.DriverService.Builder('/usr/bin/WebKitWebDriver').setLoopback(true)
      .setEnvironment({ ...process.env, DISPLAY: x.display, XDG_RUNTIME_DIR: dir }).build();
    const url = await service.start();
    let timer;
    const late = new Promise((_, fail) => {
      timer = setTimeout(() => fail(new Error('no new WebKit session within 30 s')), 30000);
    });
    try {
      const driver = await Promise.race([
        WebDriver.createSession(new http.Executor(new http.HttpClient(url)), caps), late]);
      return { driver, service };
    } catch (error) {
      await service.kill();
      if (attempt === 3) throw error;
    } finally {
      clearTimeout(timer);
    }
  }
}

export async function launch() {
  const dir = mkdtempSync(join(tmpdir(), 'corvane-webkit-'));
  const x = await startX();
  const drivers = new Map();
  return {
    name,
    async newPage({ width = 1100, height = 800 } = {}) {
      const { driver, service } = await startBrowser(x, dir);
      drivers.set(driver, service);
      await driver.manage().setTimeouts({ script: 600000, pageLoad: 60000 });
      const run = (promise) => promise.catch(plainly);
      const evaluate = (f, arg) => run(driver.executeScript(
        `return (${f}).apply(null, arguments)`, arg));
      // The window is sized so that its page gets the size asked for, whatever the browser's
      // own bars take.
      const resize = async (w, h) => {
        const [innerW, innerH] = await evaluate(() => [innerWidth, innerHeight]);
        const rect = await driver.manage().window().getRect();
        await driver.manage().window().setRect({ width: rect.width + w - innerW,
          height: rect.height + h - innerH });
      };
      await resize(width, height);
      const keys = (combo) => combo.split('+').map((k) => keyNames[k] ?? k);
      const actions = () => driver.actions({ async: true });
      return {
        errors: () => evaluate(() => window.corvaneErrors ?? []),
        // Errors after the page's load are collected in the page itself: classic WebDriver
        // tells of none.
        async goto(address) {
          await run(driver.get(address));
          await evaluate(() => {
            window.corvaneErrors = [];
            addEventListener('error', (e) => window.corvaneErrors.push(e.message));
            addEventListener('unhandledrejection', (e) => window.corvaneErrors.push(`${e.reason}`));
          });
        },
        evaluate,
        screenshot: async () => Buffer.from(await run(driver.takeScreenshot()), 'base64'),
        click: (x0, y0) => run(actions().move({ x: Math.round(x0), y: Math.round(y0),
          origin: 'viewport' }).click().perform()),
        type: (text) => run(actions().sendKeys(text).perform()),
        async press(combo) {
          const all = keys(combo);
          let a = actions();
          for (const k of all) a = a.keyDown(k);
          for (const k of all.reverse()) a = a.keyUp(k);
          await run(a.perform());
        },
        down: (key) => run(actions().keyDown(keys(key)[0]).perform()),
        up: (key) => run(actions().keyUp(keys(key)[0]).perform()),
        resize: (w, h) => resize(w, h),
        async close() {
          drivers.delete(driver);
          await driver.quit().catch(() => {});
          await service.kill();
        },
      };
    },
    async close() {
      await Promise.all([...drivers].map(async ([d, service]) => {
        await d.quit().catch(() => {});
        await service.kill();
      }));
      x.stop();
      rmSync(dir, { recursive: true, force: true });
    },
  };
}
