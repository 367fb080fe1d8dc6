// Serves a folder from 127.0.0.1 and prints Lighthouse's four scores
// (performance, accessibility, best practices, SEO) for each page named, as a
// phone and as a desktop sees it, with the audits that cost points.
//
// Usage: node lighthouse_scores.mjs FOLDER PAGE...   (PAGE relative to FOLDER)
// CHROMIUM names the browser (default /usr/bin/chromium).
import fs from 'node:fs';
import * as chromeLauncher from 'chrome-launcher';
import lighthouse from 'lighthouse';
import desktopConfig from 'lighthouse/core/config/desktop-config.js';

import { serve } from './serve.mjs';

const CATEGORIES = ['performance', 'accessibility', 'best-practices', 'seo'];
const FORMS = [
    { name: 'mobile', config: undefined },
    { name: 'desktop', config: desktopConfig },
];

// The audits of a category that did not score full marks, and what they measured.
function losses(lhr, category) {
    return lhr.categories[category].auditRefs
        .filter((ref) => ref.weight > 0)
        .map((ref) => lhr.audits[ref.id])
        .filter((audit) => audit.score !== null && audit.score < 1)
        .map((audit) => {
            const urls = (audit.details?.items ?? []).map((item) => item.url).filter(Boolean).map((url) => decodeURIComponent(url.replace(/^.*\//, '')));
            const what = [audit.displayValue, ...urls.slice(0, 3)].filter(Boolean).join(', ');
            return `${audit.id} ${Math.round(audit.score * 100)}${what ? ` (${what})` : ''}`;
        });
}

async function main() {
    const [folder, ...pages] = process.argv.slice(2);
    if (!folder || pages.length === 0) {
        console.error('usage: node lighthouse_scores.mjs FOLDER PAGE...');
        process.exit(2);
    }
    const chromePath = process.env.CHROMIUM || '/usr/bin/chromium';
    if (!fs.existsSync(chromePath)) {
        console.error(`Chromium not found at ${chromePath}: install the chromium package`);
        process.exit(1);
    }
    const server = await serve(fs.realpathSync(folder));
    const origin = `http://127.0.0.1:${server.address().port}`;
    const chrome = await chromeLauncher.launch({
        chromePath,
        chromeFlags: ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    const rows = [];
    try {
        for (const page of pages) {
            const url = `${origin}/${page.split('/').map(encodeURIComponent).join('/')}`;
            for (const form of FORMS) {
                const result = await lighthouse(url, { port: chrome.port, logLevel: 'error', output: 'json' }, form.config);
                const { lhr } = result;
                if (lhr.runtimeError) throw new Error(`${page} (${form.name}): ${lhr.runtimeError.message}`);
                const scores = CATEGORIES.map((c) => Math.round(lhr.categories[c].score * 100));
                rows.push({ page, form: form.name, scores });
                const lost = CATEGORIES.flatMap((c) => losses(lhr, c));
                console.log(`${page} (${form.name}): ${scores.join(' / ')}${lost.length ? `; below full marks: ${lost.join(', ')}` : ''}`);
            }
        }
    } finally {
        await chrome.kill();
        server.close();
    }
    console.log('\npage                          form       perf  a11y  best   SEO');
    for (const row of rows)
        console.log(`${row.page.padEnd(30)}${row.form.padEnd(10)}${row.scores.map((s) => String(s).padStart(6)).join('')}`);
}

await main();
