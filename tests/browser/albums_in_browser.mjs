// Makes a web gallery with albums with brindlewick-cli from the sample images
// in folders three levels deep, one of them named with markup, "#", "%" and
// blanks, under a title with markup; copies the whole folder to another place,
// removes the original and opens the copy over file:// and over HTTP from
// 127.0.0.1, at the size of a phone (390x844) and of a laptop (1366x768),
// with JavaScript on and off.
//
// From the top album's page the cards' links alone lead to every album page:
// its trail names the albums from the top, each a link to its page, and ends
// in its own name marked as the current page; its cards show each sub-album's
// name, the count of its photos and as cover the thumbnail of its first photo
// (else its first sub-album's cover); its own photos' thumbnails follow in list
// order. Every image loads, from the one folder of copies beside the top page.
// From each album's first photo Next leads through exactly the album's photos
// and the last has none; Previous leads back; the album link is named after
// the album and leads to its page; the trail leads to every album above. By
// clicks alone the cards and a thumbnail lead from the top page to the deepest
// photo and the trail back up to the top. No page scrolls sideways, and with
// JavaScript axe-core finds nothing on the album pages nor on each album's
// first photo page, best practices included.
//
// Usage: node albums_in_browser.mjs PATH/TO/brindlewick-cli PATH/TO/samples
// CHROMIUM names the browser (default /usr/bin/chromium). Exits non-zero with
// one line per fault.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

import { VIEWPORTS, axeViolations, below, expect, fail, inListOrder, launchBrowser, open, problems } from './checks.mjs';
import { serve } from './serve.mjs';

const TITLE = 'Away & <home>';
const ODD = 'Trips & <more> #1 100%'; // markup, a fragment, an escape and blanks

// Paths relative to the gallery's folder, and the sample each is a copy of.
const FILES = [
    { rel: 'Top photo.jpg', sample: 'sunset.jpg' },
    { rel: '2025/Winter/snow.gif', sample: 'harbour.gif' },
    { rel: '2025/Winter/Ice rink.png', sample: 'tower.png' },
    { rel: '2025/Winter/frost.bmp', sample: 'meadow.bmp' },
    { rel: '2025/Summer/picnic.jpg', sample: 'sunset.jpg' },
    { rel: '2025/Summer/Beach day/sea.jpg', sample: 'sunset.jpg' },
    { rel: '2025/Summer/Beach day/Sand #2.png', sample: 'tower.png' },
    { rel: `${ODD}/harbour.gif`, sample: 'harbour.gif' },
];
const DEEPEST = ['2025', 'Summer', 'Beach day'];

const pageOf = (rel) => rel.replace(/\.[^./]*$/, '') + '.html';
const albumPage = (folder) => (folder ? `${folder}/ShowAll.html` : 'ShowAll.html');
const fold = (name) => Buffer.from(name.replace(/[A-Z]/g, (c) => c.toLowerCase()));

// The albums the gallery should have, by folder ('' the top): name, own
// photos in list order, sub-albums by name, photos in and below it, cover.
function albumsOf(files) {
    const albums = new Map([['', { name: TITLE, trail: [''], photos: [], subs: [] }]]);
    for (const { rel } of inListOrder(files)) {
        const names = rel.split('/').slice(0, -1);
        for (let i = 1; i <= names.length; i += 1) {
            const folder = names.slice(0, i).join('/');
            if (albums.has(folder)) continue;
            const above = names.slice(0, i - 1).join('/');
            albums.set(folder, { name: names[i - 1], trail: [...albums.get(above).trail, folder], photos: [], subs: [] });
            albums.get(above).subs.push(folder);
        }
        albums.get(names.join('/')).photos.push(rel);
    }
    const sumUp = (album) => {
        album.subs.sort((a, b) => Buffer.compare(fold(albums.get(a).name), fold(albums.get(b).name)) || Buffer.compare(Buffer.from(a), Buffer.from(b)));
        album.count = album.photos.length + album.subs.reduce((n, sub) => n + sumUp(albums.get(sub)), 0);
        album.cover = album.photos[0] ?? albums.get(album.subs[0]).cover;
        return album.count;
    };
    sumUp(albums.get(''));
    return albums;
}

function makeGallery(cli, samples, site, config) {
    for (const file of FILES) {
        const target = path.join(site, file.rel);
        fs.mkdirSync(path.dirname(target), { recursive: true });
        fs.copyFileSync(path.join(samples, file.sample), target);
    }
    const run = spawnSync(cli, ['--web-gallery', '--albums', `--title=${TITLE}`, '-c', 'Albums', ...FILES.map((f) => f.rel)], {
        cwd: site,
        env: { ...process.env, XDG_CONFIG_HOME: config },
        encoding: 'utf8',
    });
    if (run.error) fail(`cannot run ${cli}: ${run.error.message}`);
    const said = `Processed ${FILES.length} file(s)\nGallery: ${path.join(site, 'ShowAll.html')}\n5 album page(s) written below it\n`;
    if (run.status !== 0 || run.stdout !== said || run.stderr !== '')
        fail(`${cli} exited with ${run.status}, expected 0 with 6 albums:\n${run.stdout}${run.stderr}`);
}

// What an album page or a photo page shows: its trail, cards, photos'
// thumbnails, the images that did not load, the photo page's links.
function view(page) {
    return page.evaluate(() => {
        const image = (img) => img && { src: img.src, loaded: img.complete && img.naturalWidth > 0 };
        const href = (id) => document.getElementById(id)?.href ?? null;
        return {
            trail: [...document.querySelectorAll('nav[aria-label="Breadcrumb"] li')].map((li) => ({
                text: li.textContent,
                href: li.querySelector('a')?.href ?? null,
                current: li.querySelector('[aria-current]')?.getAttribute('aria-current') ?? null,
            })),
            heading: document.querySelector('h1')?.textContent ?? null,
            cards: [...document.querySelectorAll('ul.albums > li')].map((li) => ({
                href: li.querySelector('a')?.href ?? null,
                name: li.querySelector('a span')?.textContent ?? null,
                count: li.querySelector('p')?.textContent ?? null,
                cover: image(li.querySelector('a img')),
            })),
            photos: [...document.querySelectorAll('main ul:not(.albums) a')].map((a) => ({ href: a.href, thumb: image(a.querySelector('img')) })),
            unloaded: [...document.images].filter((img) => !(img.complete && img.naturalWidth > 0)).map((img) => img.src),
            scrollsSideways: document.documentElement.scrollWidth > window.innerWidth,
            previous: href('previous'),
            next: href('next'),
            album: document.getElementById('gallery') && { text: document.getElementById('gallery').textContent, href: href('gallery') },
        };
    });
}

// The trail names every album from the top to this one, each a link to its
// page but this album's own on its page, which is marked as the current one.
function checkTrail(at, seen, album, albums, base, onAlbumPage) {
    expect(at, 'the trail', seen.trail.map((t) => t.text).join(' / '), album.trail.map((f) => albums.get(f).name).join(' / '));
    for (const [i, folder] of album.trail.entries()) {
        const item = seen.trail[i];
        if (!item) break;
        if (onAlbumPage && i === album.trail.length - 1) {
            expect(at, 'the trail\'s last', `${item.href}, ${item.current}`, 'null, page');
        } else if (item.href === null) {
            problems.push(`${at}: the trail's ${JSON.stringify(item.text)} is no link`);
        } else {
            expect(at, `the trail's ${JSON.stringify(item.text)}`, below(at, 'the trail', item.href, base), albumPage(folder));
        }
    }
}

// An album page reached by a link: trail, heading, cards, own photos. Notes
// each photo's thumbnail and each card's cover.
function checkAlbumPage(at, seen, folder, albums, base, thumbOf, covers) {
    const album = albums.get(folder);
    checkTrail(at, seen, album, albums, base, true);
    expect(at, 'the heading', seen.heading, album.name);
    expect(at, 'the cards', seen.cards.map((c) => c.name).join(' | '), album.subs.map((f) => albums.get(f).name).join(' | '));
    for (const [i, sub] of album.subs.entries()) {
        const card = seen.cards[i];
        if (!card) break;
        const count = albums.get(sub).count;
        expect(`${at}, card ${card.name}`, 'the count', card.count, `${count} photo${count === 1 ? '' : 's'}`);
        expect(`${at}, card ${card.name}`, 'the link', card.href && below(at, 'a card', card.href, base), albumPage(sub));
        const where = `${at}, card ${card.name}`;
        if (card.cover) covers.push({ at: where, src: below(where, 'the cover', card.cover.src, base), wanted: albums.get(sub).cover });
        else problems.push(`${where}: no cover`);
    }
    expect(at, 'the photos', seen.photos.map((p) => below(at, 'a photo link', p.href, base)).join(' | '), album.photos.map(pageOf).join(' | '));
    for (const [i, photo] of seen.photos.entries()) {
        if (photo.thumb && album.photos[i]) thumbOf.set(below(at, 'a thumbnail', photo.thumb.src, base), album.photos[i]);
        else problems.push(`${at}: photo ${i + 1} without a thumbnail`);
    }
    for (const src of seen.unloaded) problems.push(`${at}: the image ${src} did not load`);
    if (seen.scrollsSideways) problems.push(`${at}: scrolls sideways`);
}

// From the album's first photo through Next: each page's trail, album link,
// Previous, photo and width; the last has no Next.
async function walkAlbum(page, at, folder, albums, base, first, axe) {
    const album = albums.get(folder);
    const visited = [];
    const opened = await open(page, first);
    if (opened !== 'ok') problems.push(`${at}: the first photo ${first} opens nothing: ${opened}`);
    // One past the album's photos at most: a Next that leads on is seen.
    while (opened === 'ok' && visited.length <= album.photos.length) {
        const here = below(at, 'a photo page', page.url(), base);
        const i = visited.push(here) - 1;
        const label = `${at}, ${here}`;
        const seen = await view(page);
        checkTrail(label, seen, album, albums, base, false);
        expect(label, 'the album link', seen.album && `${seen.album.text} -> ${below(label, 'the album link', seen.album.href, base)}`,
            `${album.name} -> ${albumPage(folder)}`);
        expect(label, 'Previous', seen.previous && below(label, 'Previous', seen.previous, base), i > 0 ? visited[i - 1] : null);
        if (seen.unloaded.length > 0) problems.push(`${label}: the photo did not load`);
        if (seen.scrollsSideways) problems.push(`${label}: scrolls sideways`);
        if (axe && i === 0) for (const v of await axeViolations(page)) problems.push(`${label}: axe: ${v}`);
        if (!seen.next) break;
        await page.click('#next');
        await page.waitForLoadState('load');
    }
    expect(at, 'Next from the first photo', visited.join(' | '), album.photos.map(pageOf).join(' | '));
}

// By clicks alone: the cards from the top page to the deepest album, its
// first thumbnail, then the trail back up to the top, one album at a time.
async function clickDownAndUp(page, at, top, albums, base) {
    const arrived = async (wanted) => {
        await page.waitForLoadState('load');
        expect(at, 'the click led to', below(at, 'a page', page.url(), base), wanted);
    };
    await open(page, top);
    for (let depth = 1; depth <= DEEPEST.length; depth += 1) {
        await page.locator('ul.albums').getByRole('link', { name: DEEPEST[depth - 1], exact: true }).click();
        await arrived(albumPage(DEEPEST.slice(0, depth).join('/')));
    }
    const deepest = albums.get(DEEPEST.join('/'));
    // The album link leads back to the album, its thumbnail again to the photo.
    await page.locator('main ul:not(.albums) a').first().click();
    await arrived(pageOf(deepest.photos[0]));
    await page.click('#gallery');
    await arrived(albumPage(DEEPEST.join('/')));
    await page.locator('main ul:not(.albums) a').first().click();
    await arrived(pageOf(deepest.photos[0]));
    for (const folder of [...deepest.trail].reverse()) {
        await page.getByRole('navigation', { name: 'Breadcrumb' }).getByRole('link', { name: albums.get(folder).name, exact: true }).click();
        await arrived(albumPage(folder));
    }
}

// Every album page from the top by its cards' links, every album's photos,
// and the clicks down and up, in one window.
async function checkAlbums(browser, how, top, base, viewport, javaScriptEnabled) {
    const at = `${how}, ${viewport.width}x${viewport.height}, JavaScript ${javaScriptEnabled ? 'on' : 'off'}`;
    const before = problems.length;
    const albums = albumsOf(FILES);
    const context = await browser.newContext({ viewport, javaScriptEnabled });
    const page = await context.newPage();
    page.setDefaultTimeout(5000);
    const thumbOf = new Map();
    const covers = [];
    try {
        const pending = [{ folder: '', url: top }];
        while (pending.length > 0) {
            const { folder, url } = pending.shift();
            const label = `${at}, ${albumPage(folder)}`;
            const opened = await open(page, url);
            if (opened !== 'ok') {
                problems.push(`${label}: ${opened}`);
                continue;
            }
            const seen = await view(page);
            checkAlbumPage(label, seen, folder, albums, base, thumbOf, covers);
            if (javaScriptEnabled && how === 'http') for (const v of await axeViolations(page)) problems.push(`${label}: axe: ${v}`);
            for (const [i, sub] of albums.get(folder).subs.entries()) if (seen.cards[i]?.href) pending.push({ folder: sub, url: seen.cards[i].href });
            if (seen.photos.length > 0) await walkAlbum(page, label, folder, albums, base, seen.photos[0].href, javaScriptEnabled && how === 'http');
        }
        // One folder of copies beside the top page.
        for (const cover of covers) expect(cover.at, 'the cover', thumbOf.get(cover.src) ?? cover.src, cover.wanted);
        for (const thumb of thumbOf.keys()) if (!/^thumbs\/[^/]+$/.test(thumb)) problems.push(`${at}: a thumbnail at ${thumb}`);
        await clickDownAndUp(page, at, top, albums, base);
    } catch (e) {
        problems.push(`${at}: ${e.message.split('\n')[0]}`);
    } finally {
        await context.close();
    }
    if (problems.length === before)
        console.log(`ok ${at}: ${albums.size} album pages and ${FILES.length} photo pages reached by links, the trails lead back up`);
}

async function main() {
    const [cli, samples] = process.argv.slice(2);
    if (!cli || !samples) fail('usage: node albums_in_browser.mjs PATH/TO/brindlewick-cli PATH/TO/samples');
    const root = fs.realpathSync(fs.mkdtempSync(path.join(os.tmpdir(), 'brindlewick-albums-')));
    const site = path.join(root, 'site');
    const copy = path.join(root, 'elsewhere', 'copy');
    fs.mkdirSync(site);
    fs.mkdirSync(path.join(root, 'config'));
    makeGallery(path.resolve(cli), path.resolve(samples), site, path.join(root, 'config'));
    // Only the copy is left: an address that reaches outside it fails.
    fs.cpSync(site, copy, { recursive: true });
    fs.rmSync(site, { recursive: true });

    const server = await serve(copy);
    const browser = await launchBrowser();
    try {
        const forms = [
            ['file', pathToFileURL(path.join(copy, 'ShowAll.html')).href, { origin: 'null', folder: `${copy}/` }],
            ['http', `http://127.0.0.1:${server.address().port}/ShowAll.html`, { origin: `http://127.0.0.1:${server.address().port}`, folder: '/' }],
        ];
        for (const [how, top, base] of forms)
            for (const viewport of VIEWPORTS)
                for (const javaScriptEnabled of [true, false]) await checkAlbums(browser, how, top, base, viewport, javaScriptEnabled);
    } finally {
        await browser.close();
        server.close();
    }
    if (problems.length > 0) {
        console.error(problems.join('\n'));
        fail(`${problems.length} fault(s); the gallery is kept in ${copy}`);
    }
    fs.rmSync(root, { recursive: true, force: true });
    console.log('the copied gallery\'s albums work over file:// and HTTP, with and without JavaScript');
}

await main();
