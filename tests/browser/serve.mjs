// What the browser tests share: the file a URL path names, and a plain web
// server on 127.0.0.1 that maps request paths to files that way.

import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

// The bytes a URL path names once percent escapes are undone, as a file:// URL
// is opened or a web server maps a request to a file.
export function pathBytes(pathname) {
    const out = [];
    for (let i = 0; i < pathname.length; i += 1) {
        const escape = pathname.slice(i + 1, i + 3);
        if (pathname[i] === '%' && /^[0-9A-Fa-f]{2}$/.test(escape)) {
            out.push(parseInt(escape, 16));
            i += 2;
        } else {
            out.push(...Buffer.from(pathname[i]));
        }
    }
    return Buffer.from(out);
}

// Serves a folder on 127.0.0.1 the way a plain web server would: the
// request path with its escapes undone names the file, byte for byte.
export function serve(root) {
    const types = { '.html': 'text/html', '.gif': 'image/gif', '.jpg': 'image/jpeg', '.bmp': 'image/bmp', '.png': 'image/png' };
    const server = http.createServer((req, res) => {
        const rel = pathBytes(new URL(req.url, 'http://127.0.0.1').pathname);
        if (rel.toString('latin1').split('/').includes('..')) {
            res.writeHead(400).end();
            return;
        }
        fs.readFile(Buffer.concat([Buffer.from(root), rel]), (err, data) => {
            if (err) {
                res.writeHead(404).end();
                return;
            }
            const type = types[path.extname(rel.toString('latin1')).toLowerCase()] ?? 'application/octet-stream';
            res.writeHead(200, { 'Content-Type': type }).end(data);
        });
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}
