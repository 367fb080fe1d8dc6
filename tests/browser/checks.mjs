// What the web gallery's browser tests share: the faults they find and the
// checks that note them, opening a page, the links as the browser sees them,
// axe-core, the two window sizes and the browser itself.
import fs from 'node:fs';
import { createRequire } from 'node:module';
import { chromium } from 'playwright-core';

import { pathBytes } from './serve.mjs';

// A phone and a laptop.
export const VIEWPORTS = [{ width: 390, height: 844 }, { width: 1366, height: 768 }];
const AXE = createRequire(import.meta.url).resolve('axe-core/axe.min.js');

// One line per fault, printed at the end.
export const problems = [];

export function fail(message) {
    console.error(message);
    process.exit(1);
}

export function expect(label, what, seen, wanted) {
    if (seen !== wanted) problems.push(`${label}: ${what} is ${JSON.stringify(seen)}, expected ${JSON.stringify(wanted)}`);
}

// The folder part of a resolved URL: what it names below the gallery's folder.
export function below(label, what, url, base) {
    const resolved = new URL(url);
    const full = pathBytes(resolved.pathname).toString('utf8');
    if (resolved.origin !== base.origin || !full.startsWith(base.folder) || resolved.search || resolved.hash) {
        problems.push(`${label}: ${what} ${url} leaves the gallery's folder`);
        return null;
    }
    return full.slice(base.folder.length);
}

// Files ({ rel }) in list order: by path, ASCII letters ignoring case.
export function inListOrder(files) {
    const fold = (rel) => Buffer.from(rel.replace(/[A-Z]/g, (c) => c.toLowerCase()));
    return [...files].sort((a, b) => Buffer.compare(fold(a.rel), fold(b.rel)));
}

// Opens url in the tab: 'ok', or what went wrong.
export async function open(page, url) {
    try {
        const response = await page.goto(url);
        return !response || response.ok() ? 'ok' : `HTTP ${response.status()}`;
    } catch (e) {
        return e.message.split('\n')[0];
    }
}

// The gallery's links as the browser sees them.
export function galleryLinks(page) {
    return page.evaluate(() => [...document.links].map((a) => {
        const img = a.querySelector('img');
        return {
            href: a.href,
            text: a.textContent,
            img: img && {
                src: img.src,
                alt: img.alt,
                width: Number(img.getAttribute('width')),
                height: Number(img.getAttribute('height')),
                naturalWidth: img.complete ? img.naturalWidth : 0,
                naturalHeight: img.complete ? img.naturalHeight : 0,
            },
        };
    }));
}

export async function axeViolations(page) {
    await page.addScriptTag({ path: AXE });
    return page.evaluate(async () => {
        const result = await window.axe.run(document, { resultTypes: ['violations'] });
        return result.violations.map((v) => `${v.id} (${v.impact}): ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
    });
}

// The system's Chromium (CHROMIUM names another), headless, reaching nothing
// beyond the pages it is sent to.
export function launchBrowser() {
    const executablePath = process.env.CHROMIUM || '/usr/bin/chromium';
    if (!fs.existsSync(executablePath)) fail(`Chromium not found at ${executablePath}: install the chromium package`);
    return chromium.launch({
        executablePath,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
            '--disable-component-update', '--disable-sync'],
    });
}
