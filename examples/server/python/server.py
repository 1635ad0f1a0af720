#!/usr/bin/env python3
"""A receiving server for Fotoloft uploads, on Python's standard library alone.

Each upload is one multipart/form-data POST carrying the picture (in the field the page
named with "FileFieldName", "file" by default), its "id", "width", "height", the caption
and the page's own fields. The server stores the picture under a safe name of its own and
answers the JSON the control judges: {"success":1,...} when the file was stored,
{"success":0,"msg":...} when it was refused.

    server.py [--host 127.0.0.1] [--port 8080] [--folder uploads] [--max-bytes 20971520]

It prints "listening on http://HOST:PORT/upload" once it accepts connections.
"""
import argparse
import email.parser
import email.policy
import hashlib
import http.server
import json
import os
import re
import sys
import threading
import urllib.parse

SAFE_ID = re.compile(r"^[0-9a-f]{32}$")
EXTENSIONS = {".jpg", ".jpeg", ".png", ".gif", ".bmp", ".tif", ".tiff"}
ENVELOPE_BYTES = 1024 * 1024  # room for the fields and part headers around the file


def decode_name(filename):
    """The client's file name: the control URL-encodes it (a space as "+") when the page's
    encoding is UTF-8."""
    # A name in another encoding arrives as undecodable bytes: they become U+FFFD.
    return urllib.parse.unquote_plus(filename or "").encode("utf-8", "replace").decode("utf-8")


def safe_extension(name):
    """The file's extension when it is a picture's, else ".bin"; never a path."""
    base = os.path.basename(name.replace("\\", "/"))
    ext = os.path.splitext(base)[1].lower()
    return ext if ext in EXTENSIONS else ".bin"


def parse_multipart(content_type, body):
    """(fields, files) of a multipart/form-data body; files map a field to (filename, bytes)."""
    head = f"Content-Type: {content_type}\r\nMIME-Version: 1.0\r\n\r\n".encode("latin-1")
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(head + body)
    if not message.is_multipart():
        raise ValueError("not a multipart body")
    fields, files = {}, {}
    for part in message.iter_parts():
        name = part.get_param("name", header="content-disposition")
        if not name:
            continue
        data = part.get_payload(decode=True) or b""
        filename = part.get_param("filename", header="content-disposition")
        if filename is not None:
            files[name] = (filename, data)
        else:
            fields[name] = data.decode("utf-8", errors="replace")
    return fields, files


class UploadHandler(http.server.BaseHTTPRequestHandler):
    server_version = "FotoloftSample/1"

    def log_message(self, fmt, *args):
        sys.stderr.write("%s %s\n" % (self.address_string(), fmt % args))

    def answer(self, status, reply):
        data = json.dumps(reply).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        self.answer(405, {"success": 0, "msg": "method not allowed"})

    def do_POST(self):
        config = self.server.config
        try:
            length = int(self.headers.get("Content-Length", ""))
        except ValueError:
            return self.answer(411, {"success": 0, "msg": "length required"})
        if length < 0:
            return self.answer(400, {"success": 0, "msg": "bad request: negative length"})
        if length > config.max_bytes + ENVELOPE_BYTES:
            # Read and drop the body, so that the client gets to read the refusal.
            self.discard(length)
            return self.answer(413, {"success": 0, "msg": "file too large"})
        body = self.rfile.read(length)
        try:
            fields, files = parse_multipart(self.headers.get("Content-Type", ""), body)
        except Exception as error:  # a malformed body is refused, never a crash
            return self.answer(400, {"success": 0, "msg": "bad request: %s" % error})
        field = config.field if config.field in files else next(iter(files), None)
        if field is None:
            return self.answer(400, {"success": 0, "msg": "no file"})
        filename, data = files[field]
        if len(data) > config.max_bytes:
            return self.answer(413, {"success": 0, "msg": "file too large"})
        file_id = fields.get("id", "")
        digest = hashlib.sha256(data).hexdigest()
        name = decode_name(filename)
        # The stored name is ours: the id when it is one, else the content's hash.
        stem = file_id if SAFE_ID.fullmatch(file_id) else digest[:32]
        stored = stem + safe_extension(name)
        with self.server.lock:
            with open(os.path.join(config.folder, stored), "wb") as out:
                out.write(data)
        self.answer(200, {"success": 1, "id": file_id, "file": stored, "name": name, "size": len(data),
                          "sha256": digest, "fields": fields})

    def discard(self, length):
        left = length
        while left > 0:
            chunk = self.rfile.read(min(left, 1 << 16))
            if not chunk:
                break
            left -= len(chunk)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=8080)
    parser.add_argument("--folder", default="uploads")
    parser.add_argument("--field", default="file", help='the page\'s "FileFieldName"')
    parser.add_argument("--max-bytes", type=int, default=20 * 1024 * 1024)
    config = parser.parse_args()
    os.makedirs(config.folder, exist_ok=True)
    server = http.server.ThreadingHTTPServer((config.host, config.port), UploadHandler)
    server.config = config
    server.lock = threading.Lock()
    print("listening on http://%s:%d/upload" % server.server_address[:2], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
