// The reference tus client (tus-js-client) uploading one file, for bench/upload/tus_bench.py.
//   node tus_client.js ENDPOINT FILE CHUNK_SIZE RETRY_DELAYS_JSON
// Prints {"ok":true,"url":...} and exits 0 when the upload is complete; exits 1 on failure.
const fs = require('fs');
const path = require('path');
const tus = require('tus-js-client');

const [endpoint, file, chunk, delays] = process.argv.slice(2);
const data = fs.readFileSync(file);
const upload = new tus.Upload(data, {
  endpoint,
  chunkSize: Number(chunk),
  retryDelays: JSON.parse(delays),
  metadata: { filename: path.basename(file) },
  onError(error) {
    console.error(String(error));
    process.exit(1);
  },
  onSuccess() {
    console.log(JSON.stringify({ ok: true, url: upload.url }));
    process.exit(0);
  },
});
upload.start();
