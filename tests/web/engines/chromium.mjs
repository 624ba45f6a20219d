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
    async newPage({ width = 1100, height = 800, scale = 1 } = {}) {
      const page = await browser.newPage({ viewport: { width, height }, deviceScaleFactor: scale });
      const errors = [];
      page.on('pageerror', (e) => errors.push(e.message));
      let cdp;
      return {
        playwright: page,
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
    },
    close: () => browser.close(),
  };
}
