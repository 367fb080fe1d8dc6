// Writes tiny images under awkward names, runs brindlewick-cli on them and
// opens every page it writes in headless Chromium, over file:// and over HTTP
// from 127.0.0.1, checking what a visitor would see.
//
// Usage: node pages_in_browser.mjs PATH/TO/brindlewick-cli
// CHROMIUM names the browser (default /usr/bin/chromium). Exits non-zero with
// one line per fault, naming the page and what was wrong.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

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

const COMMENT = '%s at 100% — <b>bold</b> by Zoë ★';
const FOOTER_SEEN = '© %s at 100% — bold by Zoë ★';

const problems = [];
let checked = 0;

function fail(message) {
    console.error(message);
    process.exit(1);
}

function imageName(rel) {
    return rel.slice(rel.lastIndexOf('/') + 1);
}

// The wrapper page beside the image: the extension replaced, or ".html" added.
function pageOf(rel) {
    const name = imageName(rel);
    const dot = name.lastIndexOf('.');
    const stem = dot > 0 ? rel.slice(0, rel.length - name.length + dot) : rel;
    return `${stem}.html`;
}

function kindOf(rel) {
    const ext = path.extname(imageName(rel)).slice(1).toLowerCase();
    return IMAGES[ext] ? ext : 'png';
}

function writeImages(root) {
    for (const rel of NAMES) {
        const file = path.join(root, rel);
        fs.mkdirSync(path.dirname(file), { recursive: true });
        fs.writeFileSync(file, Buffer.from(IMAGES[kindOf(rel)].base64, 'base64'));
    }
}

function runCli(cli, root) {
    const config = path.join(root, 'config');
    fs.mkdirSync(config);
    const args = ['--copyright', '--gallery', '-c', COMMENT, ...NAMES.map((rel) => path.join(root, rel))];
    const run = spawnSync(cli, args, {
        cwd: root,
        env: { ...process.env, XDG_CONFIG_HOME: config },
        encoding: 'utf8',
    });
    if (run.error) fail(`cannot run ${cli}: ${run.error.message}`);
    if (run.status !== 0) fail(`${cli} exited with ${run.status}:\n${run.stdout}${run.stderr}`);
}

// Serves the work folder on 127.0.0.1 the way a plain web server would.
function serve(root) {
    const types = { '.html': 'text/html', '.gif': 'image/gif', '.jpg': 'image/jpeg', '.bmp': 'image/bmp', '.png': 'image/png' };
    const server = http.createServer((req, res) => {
        let file;
        try {
            file = path.join(root, decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname));
        } catch {
            res.writeHead(400).end();
            return;
        }
        fs.readFile(file, (err, data) => {
            if (err || !file.startsWith(root + path.sep)) {
                res.writeHead(404).end();
                return;
            }
            const type = types[path.extname(file).toLowerCase()] ?? 'application/octet-stream';
            res.writeHead(200, { 'Content-Type': type }).end(data);
        });
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// What a visitor sees on the page now open in the tab.
function look(page) {
    return page.evaluate(() => {
        const shown = (img) => ({ alt: img.alt, width: img.complete ? img.naturalWidth : 0 });
        const img = document.images[0];
        const box = img?.getBoundingClientRect();
        const footer = [...document.querySelectorAll('p')].at(-1);
        return {
            title: document.title,
            images: [...document.images].map(shown),
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

async function checkWrapper(page, label, url, rel) {
    checked += 1;
    const before = problems.length;
    const response = await page.goto(url);
    if (response && !response.ok()) {
        problems.push(`${label}: HTTP ${response.status()}`);
        return;
    }
    const seen = await look(page);
    const name = imageName(rel);
    expect(label, 'title', seen.title, name);
    expect(label, 'number of images', seen.images.length, 1);
    if (seen.images.length === 0) return;
    const [img] = seen.images;
    expect(label, 'ALT text', img.alt, name);
    if (img.width === 0) problems.push(`${label}: the image did not load`);
    else expect(label, 'image width', img.width, IMAGES[kindOf(rel)].width);
    if (seen.offCentre > 1) problems.push(`${label}: image is ${seen.offCentre}px off centre`);
    checkFooter(label, seen);
    if (problems.length === before) console.log(`ok ${label}: ${img.width}px wide image, title and ALT "${name}"`);
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
    await page.goto(pathToFileURL(file).href);
    const seen = await look(page);
    const fold = (rel) => Buffer.from(path.join(root, rel).replace(/[A-Z]/g, (c) => c.toLowerCase()));
    const order = [...NAMES].sort((a, b) => Buffer.compare(fold(a), fold(b)));
    expect(label, 'number of images', seen.images.length, NAMES.length);
    expect(label, 'order of ALT texts', seen.images.map((img) => img.alt).join(' | '), order.map(imageName).join(' | '));
    seen.images.forEach((img, i) => {
        if (img.width === 0) problems.push(`${label}: image ${i + 1} (${img.alt}) did not load`);
        else if (order[i] && img.width !== IMAGES[kindOf(order[i])].width)
            problems.push(`${label}: image ${i + 1} (${img.alt}) is ${img.width}px wide, expected ${IMAGES[kindOf(order[i])].width}px`);
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
            '--disable-component-update', '--disable-sync'],
    });
    try {
        const page = await browser.newPage();
        const base = `http://127.0.0.1:${server.address().port}/`;
        for (const rel of NAMES) {
            const pageRel = pageOf(rel);
            if (!fs.existsSync(path.join(root, pageRel))) {
                problems.push(`page ${pageRel}: not written`);
                continue;
            }
            await checkWrapper(page, `page ${pageRel} (file)`, pathToFileURL(path.join(root, pageRel)).href, rel);
            const httpPath = pageRel.split('/').map(encodeURIComponent).join('/');
            await checkWrapper(page, `page ${pageRel} (http)`, base + httpPath, rel);
        }
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
    console.log(`${checked} page views of ${NAMES.length} images and the gallery look right`);
}

await main();
