// Chromium pages through Playwright itself, for the tests that need what only its DevTools
// protocol offers: input sent in bursts, touch screens, zoom, and the network switched off.
import { openSite } from './browser.mjs';

export async function openChromium(directory) {
  const site = await openSite(directory, 'chromium');
  const browser = site.engine.playwright;
  const errors = new Map();
  let last = null;
  return {
    ...site,
    browser,
    // A fresh page with Playwright's options, once the window is shown; the page before it is
    // closed.
    async open(options = {}) {
      await last?.context().close();
      const context = await browser.newContext({ viewport: { width: 1100, height: 800 },
        ...options });
      const page = last = await context.newPage();
      errors.set(page, []);
      page.on('pageerror', (e) => errors.get(page).push(e.message));
      await page.goto(site.url);
      await page.waitForFunction(() => window.Module?.calledRun &&
        document.getElementById('window')?.contains(document.activeElement));
      return page;
    },
    errors: (page) => errors.get(page),
  };
}
