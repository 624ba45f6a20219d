// Debian's Chromium, headless, through Playwright.
import { chromium } from 'playwright-core';

export const name = 'chromium';

export async function launch() {
  const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: [
    ...(process.getuid() === 0 ? ['--no-sandbox'] : []), '--disable-gpu', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'] });
  return {
    name,
    playwright: browser,
    // Options are the engine-neutral size and pixel ratio, or Playwright's own page options
    // (touch, a phone's screen) for the cases that only Chromium runs.
    async newPage({ width = 1100, height = 800, scale = 1, ...playwrightOptions } = {}) {
      const page = await browser.newPage({ viewport: { width, height }, deviceScaleFactor: scale,
        ...playwrightOptions });
      const errors = [];
      page.on('pageerror', (e) => errors.push(e.message));
      let cdp;
      const driver = {
        playwright: page,
        pageErrors: errors,
        errors: async () => errors,
        goto: (url) => page.goto(url),
        evaluate: (f, arg) => page.evaluate(f, arg),
        screenshot: () => page.screenshot(),
        click: (x, y) => page.mouse.click(x, y),
        type: (text) => page.keyboard.type(text),
        // Keys by their DOM names, with modifiers joined by '+'.
        press: (key) => page.keyboard.press(key),
        down: (key) => page.keyboard.down(key),
        up: (key) => page.keyboard.up(key),
        // The screen's pixel ratio, changed as a move to another screen changes it.
        async resize(w, h, ratio) {
          cdp ??= await page.context().newCDPSession(page);
          await cdp.send('Emulation.setDeviceMetricsOverride',
            { width: w, height: h, deviceScaleFactor: ratio, mobile: false });
        },
        close: () => page.close(),
      };
      // Whatever the engine-neutral driver lacks is Playwright's page itself; its context takes
      // this driver where Playwright asks for the page.
      const context = new Proxy(page.context(), { get: (target, key) => (key === 'newCDPSession'
        ? (p) => target.newCDPSession(p?.playwright ?? p)
        : target[key]?.bind?.(target) ?? target[key]) });
      driver.context = () => context;
      return new Proxy(driver, { get: (target, key) => (key in target ? target[key]
        : typeof page[key] === 'function' ? page[key].bind(page) : page[key]) });
    },
    close: () => browser.close(),
  };
}
