// Makes a web gallery with brindlewick-cli from the sample images under
// awkward names, one in a subfolder, plus a text file named like a JPEG;
// copies the whole folder to another place, removes the original and opens
// the copy's ShowAll.html in headless Chromium over file:// and over HTTP from
// 127.0.0.1. Every thumbnail must load at the size its tag gives, every link
// must open the wrapper page of its image, whose image loads, and the text
// file must be a text link to its own wrapper page: the folder works wherever
// it is put.
//
// Then, over HTTP, at the size of a phone (390x844) and of a laptop
// (1366x768): neither page type scrolls sideways, each photo fits the window,
// the links Previous, Gallery and Next lead to the pages before and after in
// list order and to the gallery, the arrow keys and Escape follow them, and
// with JavaScript off the links alone still work. axe-core must find nothing
// on either page type, best practices included.
//
// Last, a web gallery of 2,000 images (copies of one sample under distinct
// names) at both sizes: at first only the thumbnails in or near the window
// load, and scrolling to the end loads the last ones.
//
// Usage: node web_gallery_in_browser.mjs PATH/TO/brindlewick-cli PATH/TO/samples
// CHROMIUM names the browser (default /usr/bin/chromium). Exits non-zero with
// one line per fault.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

import { VIEWPORTS, axeViolations, below, expect, fail, galleryLinks, inListOrder, launchBrowser, open, problems } from './checks.mjs';
import { pathBytes, serve } from './serve.mjs';

// Smaller than most samples, so thumbnails are shrunk; the 48x32 one must
// keep its size.
const THUMB_SIZE = 64;

// Paths relative to the gallery's folder, and the sample each is a copy of.
const FILES = [
    { rel: 'harbour at dawn.gif', sample: 'harbour.gif' },
    { rel: '12:30 sunset & sea.jpg', sample: 'sunset.jpg' }, // ":" would read as a scheme
    { rel: 'Wiese grün – 東京.bmp', sample: 'meadow.bmp' },
    { rel: 'more pics/tower #1.png', sample: 'tower.png' }, // "#" would start a fragment
    { rel: 'notes.jpg', text: 'Not a picture.\n' },
];

// The words one photo carries: markup, quotes and a right-to-left caption
// with a line break, all to be shown as text.
const WORDS_ON = '12:30 sunset & sea.jpg';
const TITLE = 'Sunset <b>"at sea"</b>';
const CAPTION = '\u05e9\u05e7\u05d9\u05e2\u05d4 "><script>document.title="owned"</script>\nsecond line';

const nameOf = (rel) => path.posix.basename(rel);
const pageOf = (rel) => rel.replace(/\.[^./]*$/, '') + '.html';

function makeGallery(cli, samples, site, config) {
    for (const file of FILES) {
        const target = path.join(site, file.rel);
        fs.mkdirSync(path.dirname(target), { recursive: true });
        if (file.sample) fs.copyFileSync(path.join(samples, file.sample), target);
        else fs.writeFileSync(target, file.text);
    }
    // The photographer's words, markup and a right-to-left caption among
    // them, written with exiftool.
    const words = spawnSync('exiftool', ['-q', '-overwrite_original', `-XMP-dc:Title=${TITLE}`, `-XMP-dc:Description=${CAPTION}`,
        '-DateTimeOriginal=2026:07:01 10:00:00', '-OffsetTimeOriginal=+02:00', '-Make=Canon', '-Model=Canon EOS R6', '-FNumber=4',
        path.join(site, WORDS_ON)], { encoding: 'utf8' });
    if (words.status !== 0) fail(`exiftool failed: ${words.error?.message ?? words.stderr}`);
    const run = spawnSync(cli, ['--web-gallery', '--details', `--thumb-size=${THUMB_SIZE}`, '-c', 'Trip', ...FILES.map((f) => f.rel)], {
        cwd: site,
        env: { ...process.env, XDG_CONFIG_HOME: config },
        encoding: 'utf8',
    });
    if (run.error) fail(`cannot run ${cli}: ${run.error.message}`);
    // Every page is written and the gallery's path said; the text file's
    // thumbnail fails, and only that.
    const errors = run.stderr.split('\n').filter(Boolean);
    const said = `Processed ${FILES.length} file(s)\nGallery: ${path.join(site, 'ShowAll.html')}\n` +
        `1 of ${FILES.length} photos have a title or caption, shown on their pages\n`;
    if (run.status !== 1 || run.stdout !== said || errors.length !== 1 || !errors[0].includes('notes.jpg'))
        fail(`${cli} exited with ${run.status}, expected 1 with one failure (notes.jpg):\n${run.stdout}${run.stderr}`);
}

// The thumbnail fits THUMB_SIZE and the image's shape and is never larger than the image.
function checkFit(label, thumb, width, height) {
    const longest = Math.min(THUMB_SIZE, Math.max(width, height));
    const scale = longest / Math.max(width, height);
    const [tw, th] = [thumb.naturalWidth, thumb.naturalHeight];
    if (Math.max(tw, th) !== longest || Math.abs(tw - width * scale) > 1 || Math.abs(th - height * scale) > 1)
        problems.push(`${label}: a ${tw}x${th} thumbnail for a ${width}x${height} image at size ${THUMB_SIZE}`);
}

async function checkGallery(page, how, galleryUrl, base, thumbs) {
    const label = `ShowAll.html (${how})`;
    const before = problems.length;
    const opened = await open(page, galleryUrl);
    if (opened !== 'ok') fail(`${label}: ${opened}`);
    const links = await galleryLinks(page);
    const files = listOrder();
    expect(label, 'number of links', links.length, files.length);
    for (const [i, link] of links.entries()) {
        const file = files[i];
        if (!file) break;
        const name = nameOf(file.rel);
        const at = `${label}, ${JSON.stringify(name)}`;
        const target = below(at, 'link', link.href, base);
        if (target !== null) expect(at, 'link target', target, pageOf(file.rel));
        if (file.sample) {
            if (!link.img) {
                problems.push(`${at}: no thumbnail`);
                continue;
            }
            expect(at, 'ALT text', link.img.alt, file.rel === WORDS_ON ? TITLE : name);
            const thumb = below(at, 'thumbnail', link.img.src, base);
            if (thumb && !/^thumbs\/[A-Za-z0-9_-]+-[0-9a-f]{16}\.(jpg|png)$/.test(thumb)) problems.push(`${at}: thumbnail at ${thumb}`);
            thumbs.add(thumb?.slice('thumbs/'.length));
            if (link.img.naturalWidth === 0) problems.push(`${at}: the thumbnail did not load`);
            expect(at, 'WIDTH', link.img.width, link.img.naturalWidth);
            expect(at, 'HEIGHT', link.img.height, link.img.naturalHeight);
        } else {
            expect(at, 'link', link.img ? 'a thumbnail' : link.text, name);
        }
        // Follow the link: the image's wrapper page, and its image loads.
        if (target === null) continue;
        const followed = await open(page, link.href);
        if (followed !== 'ok') {
            problems.push(`${at}: the link ${link.href} opens nothing: ${followed}`);
            continue;
        }
        const seen = await page.evaluate(() => {
            const img = document.images[0];
            return { title: document.title, width: img?.complete ? img.naturalWidth : 0, height: img?.naturalHeight };
        });
        expect(at, 'linked page title', seen.title, file.rel === WORDS_ON ? TITLE : name);
        if (file.sample) {
            if (seen.width === 0) problems.push(`${at}: the linked page's image did not load`);
            else if (link.img.naturalWidth > 0) checkFit(at, link.img, seen.width, seen.height);
        }
    }
    if (problems.length === before) console.log(`ok ${label}: ${links.length} links, thumbnails loaded, each opens its page`);
}

const listOrder = () => inListOrder(FILES);

// What the page shows at its size: sideways scrolling, the photo's box, the
// navigation's targets.
function layout(page) {
    return page.evaluate(async () => {
        const img = document.querySelector('main img');
        if (img && !img.complete) await new Promise((done) => { img.onload = img.onerror = done; });
        const box = img?.getBoundingClientRect();
        const link = (id) => document.getElementById(id)?.href ?? null;
        return {
            scrollsSideways: document.documentElement.scrollWidth > window.innerWidth,
            viewport: [window.innerWidth, window.innerHeight],
            photo: box && img.naturalWidth > 0 ? [box.width, box.height] : null,
            previous: link('previous'),
            next: link('next'),
            gallery: link('gallery'),
        };
    });
}

// The file a URL names, as a path below the server's root ("/a b.html"); null stays null.
const served = (url) => (url === null ? null : pathBytes(new URL(url).pathname).toString('utf8'));

// Does what act does (a click, a key) and returns the path of the page it leads to.
async function follow(page, act, wanted) {
    await Promise.all([page.waitForURL((u) => served(u.href) === wanted, { timeout: 5000 }), act()]).catch(() => {});
    return served(page.url());
}

// The web form of the gallery and of every photo page at each size, over HTTP.
async function checkWebForm(browser, origin) {
    const files = listOrder();
    const pagePath = (i) => (i >= 0 && i < files.length ? `/${pageOf(files[i].rel)}` : null);
    const open = (page, at) => page.goto(origin + at.split('/').map(encodeURIComponent).join('/'));
    for (const viewport of VIEWPORTS) {
        const size = `${viewport.width}x${viewport.height}`;
        const context = await browser.newContext({ viewport });
        const page = await context.newPage();
        const before = problems.length;
        await open(page, '/ShowAll.html');
        const gallery = await layout(page);
        if (gallery.scrollsSideways) problems.push(`ShowAll.html at ${size}: scrolls sideways`);
        for (const v of await axeViolations(page)) problems.push(`ShowAll.html at ${size}: axe: ${v}`);
        for (const [i, file] of files.entries()) {
            const at = `${pageOf(file.rel)} at ${size}`;
            await open(page, pagePath(i));
            const seen = await layout(page);
            if (seen.scrollsSideways) problems.push(`${at}: scrolls sideways`);
            if (file.sample && !seen.photo) problems.push(`${at}: the photo did not load`);
            if (seen.photo && (seen.photo[0] > seen.viewport[0] || seen.photo[1] > seen.viewport[1]))
                problems.push(`${at}: a ${seen.photo.join('x')} photo in a ${seen.viewport.join('x')} window`);
            expect(at, 'Previous', served(seen.previous), pagePath(i - 1));
            expect(at, 'Next', served(seen.next), pagePath(i + 1));
            expect(at, 'Gallery', served(seen.gallery), '/ShowAll.html');
            if (file.rel === WORDS_ON) {
                const shown = await page.evaluate(() => ({
                    heading: document.querySelector('h1').textContent,
                    caption: document.querySelector('figcaption')?.innerText ?? '',
                    scripts: document.scripts.length,
                    title: document.title,
                    time: document.querySelector('time')?.getAttribute('datetime'),
                }));
                expect(at, 'the heading', shown.heading, TITLE);
                expect(at, 'the title', shown.title, TITLE);
                expect(at, 'the caption', shown.caption, CAPTION);
                expect(at, 'the scripts', shown.scripts, 1);
                expect(at, 'the date', shown.time, '2026-07-01T10:00:00+02:00');
                for (const v of await axeViolations(page)) problems.push(`${at}: axe: ${v}`);
            }
            if (i !== 1) continue;
            for (const v of await axeViolations(page)) problems.push(`${at}: axe: ${v}`);
            // The keys lead where the links do.
            for (const [key, wanted] of [['ArrowRight', pagePath(i + 1)], ['ArrowLeft', pagePath(i - 1)], ['Escape', '/ShowAll.html']]) {
                await open(page, pagePath(i));
                expect(at, `${key} leads to`, await follow(page, () => page.keyboard.press(key), wanted), wanted);
            }
        }
        await context.close();
        if (problems.length === before)
            console.log(`ok web form at ${size}: the gallery and ${files.length} photo pages fit, link in list order, keys work, axe finds nothing`);
    }
    // Without JavaScript: from the first page through Next to the last, back one, then to the gallery.
    const context = await browser.newContext({ javaScriptEnabled: false, viewport: VIEWPORTS[0] });
    const page = await context.newPage();
    const before = problems.length;
    await open(page, pagePath(0));
    for (let i = 1; i < files.length; i += 1)
        expect('without JavaScript', 'Next leads to', await follow(page, () => page.click('#next'), pagePath(i)), pagePath(i));
    const back = pagePath(files.length - 2);
    expect('without JavaScript', 'Previous leads to', await follow(page, () => page.click('#previous'), back), back);
    expect('without JavaScript', 'Gallery leads to', await follow(page, () => page.click('#gallery'), '/ShowAll.html'), '/ShowAll.html');
    await context.close();
    if (problems.length === before) console.log('ok without JavaScript: Next, Previous and Gallery lead where they should');
}

// Thumbnails requested at first, and after scrolling to the end, of a large
// web gallery: lazy loading keeps the first count to what is in or near the
// window, far below the whole.
const MANY = 2000;
const FIRST_LOAD_BOUND = 200;

function makeLargeGallery(cli, samples, site, config) {
    fs.mkdirSync(site);
    // One copy of a sample under many names (hard links): quick to make.
    const files = [];
    for (let i = 0; i < MANY; i += 1) {
        files.push(`photo ${String(i).padStart(4, '0')}.jpg`);
        if (i === 0) fs.copyFileSync(path.join(samples, 'sunset.jpg'), path.join(site, files[0]));
        else fs.linkSync(path.join(site, files[0]), path.join(site, files[i]));
    }
    const run = spawnSync(cli, ['--web-gallery', '-c', 'Many', '-'], {
        cwd: site,
        env: { ...process.env, XDG_CONFIG_HOME: config },
        input: files.join('\n') + '\n',
        encoding: 'utf8',
    });
    if (run.status !== 0) fail(`${cli} exited with ${run.status} on ${MANY} images:\n${run.stdout}${run.stderr}`);
}

async function checkLazyLoading(browser, origin) {
    for (const viewport of VIEWPORTS) {
        const label = `gallery of ${MANY} at ${viewport.width}x${viewport.height}`;
        const context = await browser.newContext({ viewport });
        const page = await context.newPage();
        const requested = new Set();
        page.on('request', (request) => {
            if (request.resourceType() === 'image') requested.add(request.url());
        });
        await page.goto(`${origin}/ShowAll.html`, { waitUntil: 'load' });
        await page.waitForTimeout(500);
        const first = requested.size;
        // At least those in the window, at most a small part of the whole.
        const inView = await page.evaluate(() => [...document.images].filter((img) => img.getBoundingClientRect().top < window.innerHeight).length);
        if (first > FIRST_LOAD_BOUND || first < inView)
            problems.push(`${label}: ${first} thumbnails requested at first, ${inView} in the window, expected between them and ${FIRST_LOAD_BOUND}`);
        await page.evaluate(() => window.scrollTo(0, document.documentElement.scrollHeight));
        const lastLoaded = await page
            .waitForFunction(() => [...document.images].slice(-3).every((img) => img.complete && img.naturalWidth > 0), null, { timeout: 10000 })
            .then(() => true, () => false);
        if (!lastLoaded) problems.push(`${label}: the last thumbnails did not load after scrolling to the end`);
        else console.log(`ok ${label}: ${first} thumbnails requested at first (${inView} in the window), ${requested.size} once scrolled to the end`);
        await context.close();
    }
}

async function main() {
    const [cli, samples] = process.argv.slice(2);
    if (!cli || !samples) fail('usage: node web_gallery_in_browser.mjs PATH/TO/brindlewick-cli PATH/TO/samples');
    const root = fs.realpathSync(fs.mkdtempSync(path.join(os.tmpdir(), 'brindlewick-web-')));
    const site = path.join(root, 'site');
    const copy = path.join(root, 'elsewhere', 'copy');
    fs.mkdirSync(site);
    fs.mkdirSync(path.join(root, 'config'));
    makeGallery(path.resolve(cli), path.resolve(samples), site, path.join(root, 'config'));
    fs.mkdirSync(path.join(root, 'many-config'));
    makeLargeGallery(path.resolve(cli), path.resolve(samples), path.join(root, 'many'), path.join(root, 'many-config'));
    // Only the copy is left: an address that reaches outside it fails.
    fs.cpSync(site, copy, { recursive: true });
    fs.rmSync(site, { recursive: true });

    const server = await serve(copy);
    const manyServer = await serve(path.join(root, 'many'));
    const browser = await launchBrowser();
    const thumbs = new Set();
    try {
        const page = await browser.newPage();
        const fileBase = { origin: 'null', folder: `${copy}/` };
        await checkGallery(page, 'file', pathToFileURL(path.join(copy, 'ShowAll.html')).href, fileBase, thumbs);
        const httpBase = { origin: `http://127.0.0.1:${server.address().port}`, folder: '/' };
        await checkGallery(page, 'http', `${httpBase.origin}/ShowAll.html`, httpBase, thumbs);
        await checkWebForm(browser, httpBase.origin);
        await checkLazyLoading(browser, `http://127.0.0.1:${manyServer.address().port}`);
    } finally {
        await browser.close();
        server.close();
        manyServer.close();
    }
    // thumbs/ holds the gallery's thumbnails and nothing else.
    const written = fs.readdirSync(path.join(copy, 'thumbs')).sort();
    expect('thumbs/', 'files', written.join(' '), [...thumbs].sort().join(' '));
    if (problems.length > 0) {
        console.error(problems.join('\n'));
        fail(`${problems.length} fault(s); the gallery is kept in ${copy}`);
    }
    fs.rmSync(root, { recursive: true, force: true });
    console.log(`the copied gallery works over file:// and HTTP (${written.length} thumbnails)`);
}

await main();
