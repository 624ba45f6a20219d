// Lighthouse's scores for the served site in Debian's Chromium, on its mobile and desktop
// profiles, as rows of the benchmark table:
//   node bench/web/lighthouse.mjs SITE [RUNS]
// Each profile runs RUNS times (default 3); the table gives the median and the range of each
// category, and the performance run's blocking time and largest paint.
import { spawn } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import * as launcher from 'chrome-launcher';
import lighthouse from 'lighthouse';
import desktop from 'lighthouse/core/config/desktop-config.js';

const [site, runs = '3'] = process.argv.slice(2);
const server = fileURLToPath(new URL('../../scripts/serve-web.py', import.meta.url));
const http = spawn('python3', [server, site, '0'], { stdio: ['pipe', 'pipe', 'inherit'] });
const url = await new Promise((done) => http.stdout.once('data', (d) => done(`${d}`.trim())));

const median = (v) => [...v].sort((a, b) => a - b)[(v.length - 1) >> 1];
const spread = (v, digits = 0) => `${median(v).toFixed(digits)} ` +
  `(${Math.min(...v).toFixed(digits)}–${Math.max(...v).toFixed(digits)})`;
const categories = ['performance', 'accessibility', 'best-practices', 'seo'];
const names = { performance: 'performance', accessibility: 'accessibility',
  'best-practices': 'best practices', seo: 'search' };

try {
  for (const [profile, config, performanceGoal] of [['mobile', undefined, 98],
    ['desktop', desktop, 100]]) {
    const scores = Object.fromEntries(categories.map((c) => [c, []]));
    const blocking = [];
    const largest = [];
    for (let run = 0; run < Number(runs); ++run) {
      const chrome = await launcher.launch({ chromePath: '/usr/bin/chromium',
        chromeFlags: ['--headless=new', '--no-sandbox', '--disable-gpu'] });
      try {
        const { lhr } = await lighthouse(url, { port: chrome.port, output: 'json',
          logLevel: 'error', onlyCategories: categories }, config);
        for (const c of categories) scores[c].push(Math.round(lhr.categories[c].score * 100));
        blocking.push(lhr.audits['total-blocking-time'].numericValue);
        largest.push(lhr.audits['largest-contentful-paint'].numericValue);
      } finally {
        await chrome.kill();
      }
    }
    for (const c of categories) {
      const goal = c === 'performance' ? performanceGoal : 100;
      const met = median(scores[c]) >= goal;
      const extra = c === 'performance' ? `total blocking time ${spread(blocking)} ms; ` +
        `largest paint ${spread(largest)} ms` : '';
      console.log(`| Lighthouse ${profile}: ${names[c]} (${runs} runs) | headless Chromium | ` +
        `${spread(scores[c])} | ${extra} | ${goal === 100 ? '100' : `≥ ${goal}`} | ` +
        `${met ? 'yes' : 'no'} |`);
    }
  }
} finally {
  http.kill();
}
