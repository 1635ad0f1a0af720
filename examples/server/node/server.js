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
//                  [--max-bytes 20971520] [--timeout 60] [--max-fields 100] [--max-field-bytes 8192]
//
// A stored picture is never replaced: another body under an id already stored is refused, the
// same bytes again (a retry whose reply was lost) get the stored file's reply. The fields are
// held to what the control sends (a few short ones), and a body cut short leaves nothing behind.
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
  const config = {
    host: '127.0.0.1', port: 8080, folder: 'uploads', field: 'file', maxBytes: 20 * 1024 * 1024,
    timeout: 60, maxFields: 100, maxFieldBytes: 8 * 1024,
  };
  const names = {
    '--host': 'host', '--port': 'port', '--folder': 'folder', '--field': 'field', '--max-bytes': 'maxBytes',
    '--timeout': 'timeout', '--max-fields': 'maxFields', '--max-field-bytes': 'maxFieldBytes',
  };
  const numbers = new Set(['port', 'maxBytes', 'timeout', 'maxFields', 'maxFieldBytes']);
  for (let i = 0; i < argv.length; i += 2) {
    const key = names[argv[i]];
    const value = numbers.has(key) ? Number(argv[i + 1]) : argv[i + 1];
    if (!key || i + 1 >= argv.length || (numbers.has(key) && !(value >= 0 && Number.isFinite(value)))) {
      console.error('usage: node server.js [--host H] [--port P] [--folder DIR] [--field NAME] [--max-bytes N]\n' +
                    '                      [--timeout SECONDS] [--max-fields N] [--max-field-bytes N]');
      process.exit(2);
    }
    config[key] = value;
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

// Resolves once the file is gone (or was never there).
function removeQuietly(file) {
  return fs.promises.unlink(file).catch(() => {});
}

function hashFile(file) {
  return new Promise((resolve, reject) => {
    const hash = crypto.createHash('sha256');
    fs.createReadStream(file)
      .on('data', (chunk) => hash.update(chunk))
      .on('end', () => resolve(hash.digest('hex')))
      .on('error', reject);
  });
}

// The name of the file stored under stem (whatever its extension), or null.
function storedUnder(folder, stem) {
  for (const ext of [...EXTENSIONS, '.bin']) {
    if (fs.existsSync(path.join(folder, stem + ext))) return stem + ext;
  }
  return null;
}

// Moves the finished temporary file to stem + ext unless a file is stored under stem already
// (then the bytes must be the same). The check and the link run in one turn of the event loop,
// so two uploads of one id cannot both pass it, and a link never replaces a file. Resolves to
// {stored, size} or a refusal {status, msg}.
async function store(folder, temp, stem, ext, digest) {
  let existing;
  try {
    existing = storedUnder(folder, stem);
    if (!existing) fs.linkSync(temp, path.join(folder, stem + ext));
  } catch (error) {
    existing = error.code === 'EEXIST' ? stem + ext : undefined;
    if (!existing) {
      await removeQuietly(temp);
      return { status: 500, msg: 'could not store the file' };
    }
  }
  await removeQuietly(temp);
  if (!existing) return { stored: stem + ext };
  try {
    if (await hashFile(path.join(folder, existing)) === digest) return { stored: existing };
  } catch (error) {
    return { status: 500, msg: 'could not read the stored file' };
  }
  return { status: 409, msg: 'id already stored' };
}

function handleUpload(config, req, res) {
  let parser;
  try {
    parser = busboy({
      headers: req.headers,
      defParamCharset: 'utf8',
      limits: {
        fileSize: config.maxBytes, files: MAX_FILE_PARTS, fields: config.maxFields,
        // busboy counts a value that reaches its limit as cut off: one byte more lets a value
        // of exactly maxFieldBytes through.
        fieldSize: config.maxFieldBytes + 1, parts: config.maxFields + MAX_FILE_PARTS,
      },
    });
  } catch (error) {
    return answer(res, 400, { success: 0, msg: 'bad request: ' + error.message });
  }
  const fields = Object.create(null);
  const files = [];  // {field, filename, temp, out, closed: Promise, size, hash, tooLarge, failed}
  let settled = false;
  let aborted = false;

  parser.on('field', (name, value, info) => {
    if (info.nameTruncated || info.valueTruncated) return settle({ status: 413, msg: 'field too large' });
    fields[name] = value;
  });
  parser.on('fieldsLimit', () => settle({ status: 413, msg: 'too many fields' }));
  parser.on('partsLimit', () => settle({ status: 413, msg: 'too many fields' }));
  parser.on('file', (field, stream, info) => {
    const part = {
      field, filename: info.filename || '', size: 0, tooLarge: false, failed: false,
      temp: path.join(config.folder, '.part-' + crypto.randomBytes(12).toString('hex')),
      hash: crypto.createHash('sha256'),
    };
    files.push(part);
    part.out = fs.createWriteStream(part.temp, { flags: 'wx' });
    // 'close' comes after the last write, after an error and after a destroy alike: the
    // descriptor is closed by then.
    part.closed = new Promise((resolve) => part.out.on('close', resolve));
    part.out.on('error', () => { part.failed = true; });
    stream.on('error', () => { part.failed = true; part.out.destroy(); });  // the part was cut short
    stream.on('data', (chunk) => { part.size += chunk.length; part.hash.update(chunk); });
    stream.on('limit', () => { part.tooLarge = true; });  // busboy drops the rest of the part
    stream.pipe(part.out);
    if (settled) part.out.destroy();
  });
  parser.on('error', (error) => settle({ status: 400, msg: 'bad request: ' + error.message }));
  parser.on('close', () => settle(null));
  // A body cut short (the client cancelled, or the connection timed out): nothing is kept.
  req.on('close', () => {
    if (req.complete) return;
    aborted = true;
    settle({ status: 400, msg: 'body cut short' });
  });
  req.pipe(parser);

  // Ends the upload once: refusal null when the body parsed to its end.
  function settle(refusal) {
    if (settled) return;
    settled = true;
    if (refusal) {
      req.unpipe(parser);
      parser.destroy();
      for (const f of files) f.out.destroy();
      if (!aborted) req.resume();  // read the rest of the body so that the reply reaches the client
    }
    finish(refusal).catch(() => answer(res, 500, { success: 0, msg: 'could not store the file' }));
  }

  async function finish(refusal) {
    await Promise.all(files.map((f) => f.closed));
    const chosen = refusal ? null : files.find((f) => f.field === config.field) || files[0];
    await Promise.all(files.filter((f) => f !== chosen).map((f) => removeQuietly(f.temp)));
    if (aborted) return;
    if (refusal) return answer(res, refusal.status, { success: 0, msg: refusal.msg });
    if (!chosen) return answer(res, 400, { success: 0, msg: 'no file' });
    if (chosen.tooLarge || chosen.failed) {
      await removeQuietly(chosen.temp);
      if (chosen.tooLarge) return answer(res, 413, { success: 0, msg: 'file too large' });
      return answer(res, 500, { success: 0, msg: 'could not store the file' });
    }
    const id = typeof fields.id === 'string' ? fields.id : '';
    const digest = chosen.hash.digest('hex');
    const name = decodeName(chosen.filename);
    // The stored name is ours: the id when it is one, else the content's hash.
    const stem = SAFE_ID.test(id) ? id : digest.slice(0, 32);
    const outcome = await store(config.folder, chosen.temp, stem, safeExtension(name), digest);
    if (!outcome.stored) return answer(res, outcome.status, { success: 0, msg: outcome.msg });
    answer(res, 200, { success: 1, id, file: outcome.stored, name, size: chosen.size, sha256: digest, fields });
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
  // A connection silent for this long is closed (its upload, if any, is dropped).
  server.setTimeout(config.timeout * 1000);
  server.listen(config.port, config.host, () => {
    const address = server.address();
    console.log('listening on http://' + address.address + ':' + address.port + '/upload');
  });
}

main();
