#!/usr/bin/env node
// A receiving server for Fotoloft uploads on Node.js, with busboy parsing the multipart body.
//
// Each upload is one multipart/form-data POST carrying the picture (in the field the page
// named with "FileFieldName", "file" by default), its "id", "width", "height", the caption
// ("remark") and the page's own fields. The server streams the picture to disk under a safe
// name of its own and answers the JSON the control judges: {"success":1,...} when the file
// was stored, {"success":0,"msg":...} when it was refused.
//
//   node server.js [--host 127.0.0.1] [--port 8080] [--folder uploads] [--field file]
//                  [--max-bytes 20971520]
//
// It prints "listening on http://HOST:PORT/upload" once it accepts connections.
'use strict';

const crypto = require('crypto');
const fs = require('fs');
const http = require('http');
const path = require('path');
const busboy = require('busboy');

const SAFE_ID = /^[0-9a-f]{32}$/;
const EXTENSIONS = new Set(['.jpg', '.jpeg', '.png', '.gif', '.bmp', '.tif', '.tiff']);
const MAX_FILE_PARTS = 4;

function parseArguments(argv) {
  const config = { host: '127.0.0.1', port: 8080, folder: 'uploads', field: 'file', maxBytes: 20 * 1024 * 1024 };
  const names = { '--host': 'host', '--port': 'port', '--folder': 'folder', '--field': 'field', '--max-bytes': 'maxBytes' };
  for (let i = 0; i < argv.length; i += 2) {
    const key = names[argv[i]];
    if (!key || i + 1 >= argv.length) {
      console.error('usage: node server.js [--host H] [--port P] [--folder DIR] [--field NAME] [--max-bytes N]');
      process.exit(2);
    }
    config[key] = key === 'port' || key === 'maxBytes' ? Number(argv[i + 1]) : argv[i + 1];
  }
  return config;
}

// The control URL-encodes the name it sends when the page's encoding is UTF-8 ("My+a%2Ejpg").
function decodeName(filename) {
  try {
    return decodeURIComponent((filename || '').replace(/\+/g, ' '));
  } catch (e) {
    return filename || '';
  }
}

// The file's extension when it is a picture's, else ".bin"; never a path.
function safeExtension(name) {
  const base = path.posix.basename(name.replace(/\\/g, '/'));
  const ext = path.posix.extname(base).toLowerCase();
  return EXTENSIONS.has(ext) ? ext : '.bin';
}

function answer(res, status, reply) {
  if (res.headersSent) return;
  const data = Buffer.from(JSON.stringify(reply));
  res.writeHead(status, { 'Content-Type': 'application/json', 'Content-Length': data.length });
  res.end(data);
}

function removeQuietly(file) {
  fs.unlink(file, () => {});
}

function handleUpload(config, req, res) {
  let parser;
  try {
    parser = busboy({
      headers: req.headers,
      defParamCharset: 'utf8',
      limits: { fileSize: config.maxBytes, files: MAX_FILE_PARTS, fields: 1000, fieldSize: 1024 * 1024 },
    });
  } catch (error) {
    return answer(res, 400, { success: 0, msg: 'bad request: ' + error.message });
  }
  const fields = Object.create(null);
  const files = [];  // {field, filename, temp, size, hash, tooLarge, written: Promise}
  let failed = null;

  parser.on('field', (name, value) => { fields[name] = value; });
  parser.on('file', (field, stream, info) => {
    const part = {
      field, filename: info.filename || '', size: 0, tooLarge: false,
      temp: path.join(config.folder, '.part-' + crypto.randomBytes(12).toString('hex')),
      hash: crypto.createHash('sha256'),
    };
    files.push(part);
    const out = fs.createWriteStream(part.temp);
    part.written = new Promise((resolve) => {
      out.on('finish', resolve);
      out.on('error', (error) => { failed = failed || error; resolve(); });
    });
    stream.on('data', (chunk) => { part.size += chunk.length; part.hash.update(chunk); });
    stream.on('limit', () => { part.tooLarge = true; });  // busboy drops the rest of the part
    stream.pipe(out);
  });
  parser.on('error', (error) => {
    failed = failed || error;
    req.unpipe(parser);
    req.resume();  // read the rest of the body so that the reply reaches the client
    finish();
  });
  parser.on('close', finish);
  req.pipe(parser);

  let finished = false;
  async function finish() {
    if (finished) return;
    finished = true;
    await Promise.all(files.map((f) => f.written));
    const chosen = files.find((f) => f.field === config.field) || files[0];
    const keep = (f) => f === chosen && !failed && !f.tooLarge;
    for (const f of files) if (!keep(f)) removeQuietly(f.temp);
    if (failed) return answer(res, 400, { success: 0, msg: 'bad request: ' + failed.message });
    if (!chosen) return answer(res, 400, { success: 0, msg: 'no file' });
    if (chosen.tooLarge) return answer(res, 413, { success: 0, msg: 'file too large' });
    const id = typeof fields.id === 'string' ? fields.id : '';
    const digest = chosen.hash.digest('hex');
    const name = decodeName(chosen.filename);
    // The stored name is ours: the id when it is one, else the content's hash.
    const stored = (SAFE_ID.test(id) ? id : digest.slice(0, 32)) + safeExtension(name);
    fs.rename(chosen.temp, path.join(config.folder, stored), (error) => {
      if (error) {
        removeQuietly(chosen.temp);
        return answer(res, 500, { success: 0, msg: 'could not store the file' });
      }
      answer(res, 200, { success: 1, id, file: stored, name, size: chosen.size, sha256: digest, fields });
    });
  }
}

function main() {
  const config = parseArguments(process.argv.slice(2));
  fs.mkdirSync(config.folder, { recursive: true });
  const server = http.createServer((req, res) => {
    req.on('error', () => {});
    if (req.method !== 'POST') return answer(res, 405, { success: 0, msg: 'method not allowed' });
    handleUpload(config, req, res);
  });
  server.listen(config.port, config.host, () => {
    const address = server.address();
    console.log('listening on http://' + address.address + ':' + address.port + '/upload');
  });
}

main();
