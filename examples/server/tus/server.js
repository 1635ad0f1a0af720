// A tus 1.0.0 receiving server for Fotoloft uploads ("Protocol": "tus"), on Node.js with
// @tus/server and its file store: each upload's bytes go to a file as they arrive and its
// length and metadata to <id>.json beside it, so an upload cut short goes on from what was
// stored, across restarts of the server too.
//
//   npm ci
//   node server.js --port 1080 --folder uploads
//
// Options: --host (127.0.0.1), --port (1080; 0 picks a free one), --folder (uploads), --path
// (/files), --max-bytes (the largest upload, 0: no limit), --json-reply (the last PATCH of an
// upload is answered 200 with {"success":1,"id":...,"size":...,"metadata":{...}} instead of
// the protocol's empty 204). Prints "listening on http://HOST:PORT/PATH" once it accepts
// connections.
import { Server, EVENTS } from '@tus/server';
import { FileStore } from '@tus/file-store';
import path from 'node:path';
import fs from 'node:fs';

function options(argv) {
  const o = { host: '127.0.0.1', port: 1080, folder: 'uploads', path: '/files', maxBytes: 0, jsonReply: false };
  for (let i = 2; i < argv.length; i++) {
    const key = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) throw new Error(`${key} needs a value`);
      return argv[++i];
    };
    switch (key) {
      case '--host': o.host = value(); break;
      case '--port': o.port = Number(value()); break;
      case '--folder': o.folder = value(); break;
      case '--path': o.path = value(); break;
      case '--max-bytes': o.maxBytes = Number(value()); break;
      case '--json-reply': o.jsonReply = true; break;
      default: throw new Error(`unknown option ${key}`);
    }
  }
  if (!Number.isInteger(o.port) || o.port < 0 || o.port > 65535) throw new Error('bad --port');
  if (!Number.isInteger(o.maxBytes) || o.maxBytes < 0) throw new Error('bad --max-bytes');
  return o;
}

let o;
try {
  o = options(process.argv);
} catch (e) {
  console.error(`server.js: ${e.message}`);
  process.exit(2);
}
fs.mkdirSync(o.folder, { recursive: true });

const server = new Server({
  path: o.path,
  datastore: new FileStore({ directory: path.resolve(o.folder) }),
  ...(o.maxBytes > 0 ? { maxSize: o.maxBytes } : {}),
  async onUploadFinish(req, upload) {
    console.log(`finished ${upload.id} ${upload.size} bytes ${JSON.stringify(upload.metadata || {})}`);
    if (!o.jsonReply) return {};
    const body = JSON.stringify({ success: 1, id: upload.id, size: upload.size, metadata: upload.metadata || {} });
    return { status_code: 200, headers: { 'Content-Type': 'application/json' }, body };
  },
});
server.on(EVENTS.POST_CREATE, (req, upload) => console.log(`created ${upload.id} ${upload.size} bytes`));
server.on(EVENTS.POST_TERMINATE, (req, res, id) => console.log(`terminated ${id}`));

const listener = server.listen({ host: o.host, port: o.port }, () => {
  const { address, port } = listener.address();
  console.log(`listening on http://${address}:${port}${o.path}`);
});
for (const signal of ['SIGINT', 'SIGTERM']) process.on(signal, () => listener.close(() => process.exit(0)));
