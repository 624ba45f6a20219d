// Debian's Firefox ESR, headless, through Puppeteer over WebDriver BiDi.
import puppeteer from 'puppeteer-core';

export const name = 'firefox';

export async function launch() {
  const browser = await puppeteer.launch({ browser: 'firefox', protocol: 'webDriverBiDi',
    executablePath: '/usr/bin/firefox-esr', headless: true,
    // No updates, studies or telemetry fetched from outside while the tests run.
    extraPrefsFirefox: { 'app.update.enabled': false, 'app.normandy.enabled': false,
      'datareporting.policy.dataSubmissionEnabled': false, 'toolkit.telemetry.enabled': false,
      'browser.shell.checkDefaultBrowser': false } });
  return {
    name,
    async newPage({ width = 1100, height = 800, scale = 1 } = {}) {
      const page = await browser.newPage();
      await page.setViewport({ width, height, deviceScaleFactor: scale });
      const errors = [];
      page.on('pageerror', (e) => errors.push(e.message));
      const keys = (combo) => combo.split('+').map((k) => (k === 'Space' ? ' ' : k));
      return {
        errors: async () => errors,
        goto: (url) => page.goto(url),
        evaluate: (f, arg) => page.evaluate(f, arg),
        screenshot: async () => Buffer.from(await page.screenshot()),
        click: (x, y) => page.mouse.click(x, y),
        type: (text) => page.keyboard.type(text),
        async press(combo) {
          const all = keys(combo);
          for (const k of all) await page.keyboard.down(k);
          for (const k of all.reverse()) await page.keyboard.up(k);
        },
        down: (key) => page.keyboard.down(keys(key)[0]),
        up: (key) => page.keyboard.up(keys(key)[0]),
        resize: (w, h, ratio) => page.setViewport({ width: w, height: h, deviceScaleFactor: ratio }),
        close: () => page.close(),
      };
    },
    close: () => browser.close(),
  };
}
