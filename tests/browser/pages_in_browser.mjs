// Writes tiny images under awkward names, runs brindlewick-cli on them and
// opens every page it writes in headless Chromium, over file:// and over HTTP
// from 127.0.0.1, checking what a visitor would see. Beside a set of named
// cases, every byte a file name can hold and a sample of characters that URL
// parsers treat specially are put into names; for each, the image address
// must resolve, by the WHATWG URL rules and in the browser, to exactly the
// image file, and the image must load.
//
// Usage: node pages_in_browser.mjs PATH/TO/brindlewick-cli
// CHROMIUM names the browser (default /usr/bin/chromium). Exits non-zero with
// one line per fault, naming the page and what was wrong.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

import { pathBytes, serve } from './serve.mjs';

// One tiny image per format, each with its own width, so a page that shows
// the wrong file is caught as well as one that shows none.
const IMAGES = {
    gif: { width: 3, base64: 'R0lGODlhAwACAPAAAMAwIAAAACH5BAAAAAAALAAAAAADAAIAAAIChF8AOw==' },
    jpg: {
        width: 4,
        base64:
            '/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAMCAgMCAgMDAwMEAwMEBQgFBQQEBQoHBwYIDAoMDAsKCwsNDhIQDQ4R' +
            'DgsLEBYQERMUFRUVDA8XGBYUGBIUFRT/2wBDAQMEBAUEBQkFBQkUDQsNFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQU' +
            'FBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBT/wAARCAACAAQDAREAAhEBAxEB/8QAFAABAAAAAAAAAAAAAAAAAAAA' +
            'B//EABQQAQAAAAAAAAAAAAAAAAAAAAD/xAAVAQEBAAAAAAAAAAAAAAAAAAAHCP/EABQRAQAAAAAAAAAAAAAAAAAA' +
            'AAD/2gAMAwEAAhEDEQA/ABRToUf/2Q==',
    },
    bmp: {
        width: 5,
        base64:
            'Qk1WAAAAAAAAADYAAAAoAAAABQAAAAIAAAABABgAAAAAACAAAAAAAAAAAAAAAAAAAAAAAAAAQKAgQKAgQKAgQKAg' +
            'QKAgAECgIECgIECgIECgIECgIAA=',
    },
    png: {
        width: 6,
        base64:
            'iVBORw0KGgoAAAANSUhEUgAAAAYAAAACAQMAAABBkz8dAAAAA1BMVEXgoACgn1GTAAAADElEQVQI12NgYGAAAAAE' +
            'AAEnNCcKAAAAAElFTkSuQmCC',
    },
};

// Paths relative to the work folder. A file without an extension holds a PNG.
const NAMES = [
    'pics/plain.gif',
    'pics/two words.jpg',
    'pics/fish & chips &amp; more.png', // the second "&" starts a character reference unless escaped
    'pics/a<b>c.bmp',
    'pics/say "cheese".gif',
    "pics/it's.jpg",
    'pics/#1.png',
    'pics/100%.bmp',
    'pics/%41.gif', // read as "A.gif" if the source is not encoded
    'pics/why?.jpg',
    'pics/semi;colon.png',
    'pics/one+one.bmp',
    'pics/back\\slash.gif', // browsers read a bare "\" in a URL as "/"
    'pics/café.jpg',
    'pics/über.png',
    'pics/€ 5.gif', // a windows-1252 byte above 0x7F
    'pics/東京.bmp',
    'pics/🐈 cat.png',
    'pics/LOUD.JPG',
    'my.pics/readme',
];

// Names whose title and ALT text cannot read as the name itself (controls,
// bytes that are not UTF-8, C1 controls, which HTML reads as windows-1252):
// only the address and the image are checked.
function addressCases() {
    const cases = [];
    // Every byte but "/" (NUL cannot occur), at the start and inside a name.
    for (let b = 1; b < 256; b += 1) {
        if (b === 0x2f) continue;
        const hex = b.toString(16).padStart(2, '0');
        cases.push(Buffer.concat([Buffer.from('bytes/'), Buffer.from([b]), Buffer.from(hex), Buffer.from([b]), Buffer.from('.gif')]));
    }
    for (let cp = 0x80; cp <= 0x9f; cp += 1) cases.push(Buffer.from(`c1/${cp.toString(16)}${String.fromCodePoint(cp)}.png`));
    for (const name of [
        ' lead.gif', 'trail.gif ', '  both  .png', '\u00a0nbsp\u00a0.gif', 'ideographic\u3000space.png',
        'zero\u200bwidth.gif', 'bom\ufeff.png', 'line\u2028sep.gif', ':x.png', 'a:b.png', 'x:.png',
        'http:x.png', 'https:x.gif', 'file:x.png', 'javascript:x.gif', 'data:x.png', 'C:x.gif',
        '&#128;.gif', '&amp;.png', '%2e%2e.gif', '..%2f.png', '?q.gif', '#f.png', '\\\\host.gif',
    ]) {
        cases.push(Buffer.from(`names/${name}`));
    }
    return cases;
}

// Every image: its path below the work folder as bytes, and whether its
// title and ALT text are checked.
const ENTRIES = [
    ...NAMES.map((rel) => ({ rel: Buffer.from(rel), text: true })),
    ...addressCases().map((rel) => ({ rel, text: false })),
];

const COMMENT = '%s at 100% — <b>bold</b> by Zoë ★';
const FOOTER_SEEN = '© %s at 100% — bold by Zoë ★';

const problems = [];
let checked = 0;

function fail(message) {
    console.error(message);
    process.exit(1);
}

function imageName(rel) {
    return rel.subarray(rel.lastIndexOf(0x2f) + 1);
}

// The wrapper page beside the image: the extension replaced, or ".html" added.
function pageOf(rel) {
    const name = imageName(rel);
    const dot = name.lastIndexOf(0x2e);
    const stem = dot > 0 ? rel.subarray(0, rel.length - name.length + dot) : rel;
    return Buffer.concat([stem, Buffer.from('.html')]);
}

function kindOf(rel) {
    const name = imageName(rel).toString('latin1');
    const ext = path.extname(name).slice(1).toLowerCase();
    return IMAGES[ext] ? ext : 'png';
}

const under = (root, rel) => Buffer.concat([Buffer.from(`${root}/`), rel]);
// A name in messages: as text when it is UTF-8, else as hex bytes.
function shown(bytes) {
    const text = bytes.toString('utf8');
    return Buffer.from(text).equals(bytes) ? JSON.stringify(text) : `bytes ${bytes.toString('hex')}`;
}

// A URL path for the bytes, written by this test's own rule (every byte but
// unreserved ones and "/" as %XX), to open a page.
function urlPath(bytes) {
    let out = '';
    for (const b of bytes) {
        const c = String.fromCharCode(b);
        out += /[A-Za-z0-9\-._~/]/.test(c) ? c : `%${b.toString(16).toUpperCase().padStart(2, '0')}`;
    }
    return out;
}

function writeImages(root) {
    for (const { rel } of ENTRIES) {
        const file = under(root, rel);
        fs.mkdirSync(under(root, rel.subarray(0, rel.lastIndexOf(0x2f))), { recursive: true });
        fs.writeFileSync(file, Buffer.from(IMAGES[kindOf(rel)].base64, 'base64'));
    }
}

function runCli(cli, root) {
    const config = path.join(root, 'config');
    fs.mkdirSync(config);
    // Names that are not UTF-8 cannot be arguments here; standard input takes bytes.
    const input = Buffer.concat(ENTRIES.flatMap(({ rel }) => [under(root, rel), Buffer.from([0])]));
    const run = spawnSync(cli, ['--copyright', '--gallery', '-c', COMMENT, '-0', '-'], {
        cwd: root,
        env: { ...process.env, XDG_CONFIG_HOME: config },
        input,
        encoding: 'utf8',
    });
    if (run.error) fail(`cannot run ${cli}: ${run.error.message}`);
    if (run.status !== 0) fail(`${cli} exited with ${run.status}:\n${run.stdout}${run.stderr}`);
}

// What a visitor sees on the page now open in the tab.
function look(page) {
    return page.evaluate(() => {
        const seenImage = (img) => ({ alt: img.alt, src: img.getAttribute('src'), resolved: img.src, width: img.complete ? img.naturalWidth : 0 });
        const img = document.images[0];
        const box = img?.getBoundingClientRect();
        const footer = [...document.querySelectorAll('p')].at(-1);
        return {
            title: document.title,
            images: [...document.images].map(seenImage),
            offCentre: box ? Math.abs(box.left + box.width / 2 - document.documentElement.clientWidth / 2) : null,
            rule: document.querySelector('hr') !== null,
            footer: footer?.textContent,
            bold: footer?.querySelector('b')?.textContent,
        };
    });
}

function expect(label, what, seen, wanted) {
    if (seen !== wanted) problems.push(`${label}: ${what} is ${JSON.stringify(seen)}, expected ${JSON.stringify(wanted)}`);
}

function checkFooter(label, seen) {
    expect(label, 'footer text', seen.footer, FOOTER_SEEN);
    expect(label, 'bold text in the footer', seen.bold, 'bold');
    if (!seen.rule) problems.push(`${label}: no horizontal rule`);
}

// The image address must name exactly the image file: resolved by the WHATWG
// URL rules (node's URL, from the attribute as the browser decoded it) and by
// the browser itself, with the page's scheme and host, and with the escapes
// undone, the image's own path.
function checkAddress(label, pageUrl, img, wantedPath) {
    const base = new URL(pageUrl);
    for (const [how, url] of [['WHATWG', () => new URL(img.src, base)], ['browser', () => new URL(img.resolved)]]) {
        let resolved;
        try {
            resolved = url();
        } catch (e) {
            problems.push(`${label}: ${how} cannot resolve SRC ${JSON.stringify(img.src)}: ${e.message}`);
            continue;
        }
        if (resolved.origin !== base.origin || resolved.protocol !== base.protocol)
            problems.push(`${label}: ${how} resolves SRC ${JSON.stringify(img.src)} to another place: ${resolved.href}`);
        else if (!pathBytes(resolved.pathname).equals(wantedPath))
            problems.push(`${label}: ${how} resolves SRC ${JSON.stringify(img.src)} to ${shown(pathBytes(resolved.pathname))}, not ${shown(wantedPath)}`);
        if (resolved.search !== '' || resolved.hash !== '') problems.push(`${label}: SRC ${JSON.stringify(img.src)} has a query or fragment`);
    }
}

async function checkWrapper(page, label, url, entry, wantedPath) {
    checked += 1;
    const response = await page.goto(url);
    if (response && !response.ok()) {
        problems.push(`${label}: HTTP ${response.status()}`);
        return;
    }
    const seen = await look(page);
    const name = imageName(entry.rel).toString('utf8');
    if (entry.text) expect(label, 'title', seen.title, name);
    expect(label, 'number of images', seen.images.length, 1);
    if (seen.images.length === 0) return;
    const [img] = seen.images;
    if (entry.text) expect(label, 'ALT text', img.alt, name);
    checkAddress(label, url, img, wantedPath);
    if (img.width === 0) problems.push(`${label}: the image did not load`);
    else expect(label, 'image width', img.width, IMAGES[kindOf(entry.rel)].width);
    if (seen.offCentre > 1) problems.push(`${label}: image is ${seen.offCentre}px off centre`);
    checkFooter(label, seen);
    if (entry.text && !problems.some((p) => p.startsWith(`${label}:`))) console.log(`ok ${label}: ${img.width}px wide image, title and ALT "${name}"`);
}

// The gallery lists the images in the image list's order: ascending by path,
// ASCII letters compared ignoring case.
async function checkGallery(page, root) {
    const label = 'page ShowAll.html';
    checked += 1;
    const file = path.join(root, 'ShowAll.html');
    if (!fs.existsSync(file)) {
        problems.push(`${label}: not written`);
        return;
    }
    const before = problems.length;
    const url = pathToFileURL(file).href;
    await page.goto(url);
    const seen = await look(page);
    const fold = (entry) => Buffer.from(under(root, entry.rel).map((b) => (b >= 0x41 && b <= 0x5a ? b + 0x20 : b)));
    const order = [...ENTRIES].sort((a, b) => Buffer.compare(fold(a), fold(b)));
    expect(label, 'number of images', seen.images.length, ENTRIES.length);
    seen.images.forEach((img, i) => {
        const entry = order[i];
        if (!entry) return;
        const at = `${label}, image ${i + 1}`;
        if (entry.text) expect(at, 'ALT text', img.alt, imageName(entry.rel).toString('utf8'));
        checkAddress(at, url, img, under(root, entry.rel));
        if (img.width === 0) problems.push(`${at} (${shown(entry.rel)}) did not load`);
        else if (img.width !== IMAGES[kindOf(entry.rel)].width)
            problems.push(`${at} (${shown(entry.rel)}) is ${img.width}px wide, expected ${IMAGES[kindOf(entry.rel)].width}px`);
    });
    checkFooter(label, seen);
    if (problems.length === before) console.log(`ok ${label}: ${seen.images.length} images loaded in list order`);
}

async function main() {
    const cli = process.argv[2];
    if (!cli) fail('usage: node pages_in_browser.mjs PATH/TO/brindlewick-cli');
    const executablePath = process.env.CHROMIUM || '/usr/bin/chromium';
    if (!fs.existsSync(executablePath)) fail(`Chromium not found at ${executablePath}: install the chromium package`);

    const root = fs.realpathSync(fs.mkdtempSync(path.join(os.tmpdir(), 'brindlewick-browser-')));
    writeImages(root);
    runCli(cli, root);

    const server = await serve(root);
    const browser = await chromium.launch({
        executablePath,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
            '--disable-component-update', '--disable-sync',
            // One renderer may serve every page: file:// pages are each an origin of their own.
            '--disable-features=IsolateOrigins,site-per-process', '--disable-site-isolation-trials'],
    });
    try {
        const base = `http://127.0.0.1:${server.address().port}/`;
        const views = [];
        for (const entry of ENTRIES) {
            const pageRel = pageOf(entry.rel);
            const label = `page ${shown(pageRel)}`;
            if (!fs.existsSync(under(root, pageRel))) {
                problems.push(`${label}: not written`);
                continue;
            }
            views.push([`${label} (file)`, `file://${urlPath(under(root, pageRel))}`, entry, under(root, entry.rel)]);
            views.push([`${label} (http)`, base + urlPath(pageRel), entry, Buffer.concat([Buffer.from('/'), entry.rel])]);
        }
        // A few tabs side by side: each view waits mostly for the browser.
        const tabs = await Promise.all([1, 2, 3, 4].map(() => browser.newPage()));
        let next = 0;
        await Promise.all(tabs.map(async (tab) => {
            while (next < views.length) await checkWrapper(tab, ...views[next++]);
        }));
        const page = tabs[0];
        const addressOnly = ENTRIES.filter((entry) => !entry.text).length;
        if (problems.length === 0) console.log(`ok ${addressOnly} more names: every address resolves to its image, which loads`);
        await checkGallery(page, root);
    } finally {
        await browser.close();
        server.close();
        if (problems.length === 0) fs.rmSync(root, { recursive: true, force: true });
    }
    if (problems.length > 0) {
        console.error(problems.join('\n'));
        fail(`${problems.length} fault(s) in ${checked} page views; pages kept in ${root}`);
    }
    console.log(`${checked} page views of ${ENTRIES.length} images and the gallery look right`);
}

await main();
