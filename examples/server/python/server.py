#!/usr/bin/env python3
"""A receiving server for Fotoloft uploads, on Python's standard library alone.

Each upload is one multipart/form-data POST carrying the picture (in the field the page
named with "FileFieldName", "file" by default), its "id", "width", "height", the caption
and the page's own fields. The server stores the picture under a safe name of its own and
answers the JSON the control judges: {"success":1,...} when the file was stored,
{"success":0,"msg":...} when it was refused. A stored picture is never replaced: another body
under an id already stored is refused, the same bytes again (a retry whose reply was lost) get
the stored file's reply.

    server.py [--host 127.0.0.1] [--port 8080] [--folder uploads] [--max-bytes 20971520]
              [--timeout 60] [--max-connections 32]

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
import socket
import threading
import urllib.parse

SAFE_ID = re.compile(r"^[0-9a-f]{32}$")
EXTENSIONS = {".jpg", ".jpeg", ".png", ".gif", ".bmp", ".tif", ".tiff"}
ENVELOPE_BYTES = 1024 * 1024  # room for the fields and part headers around the file
# The control sends "id", "width", "height", "remark" and the page's own fields, each short.
MAX_FIELDS = 100
MAX_FIELD_BYTES = 8 * 1024


class Refused(Exception):
    """An upload answered with {"success":0,"msg":...} and this status."""

    def __init__(self, status, msg):
        super().__init__(msg)
        self.status = status
        self.msg = msg


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
            continue
        if len(fields) >= MAX_FIELDS:
            raise Refused(413, "too many fields")
        if len(data) > MAX_FIELD_BYTES:
            raise Refused(413, "field too large")
        fields[name] = data.decode("utf-8", errors="replace")
    return fields, files


def file_sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def stored_under(folder, stem):
    """The name of the file stored under stem (whatever its extension), or None."""
    for ext in sorted(EXTENSIONS | {".bin"}):
        if os.path.isfile(os.path.join(folder, stem + ext)):
            return stem + ext
    return None


def store(folder, stem, ext, data, digest):
    """Stores data as stem + ext unless a file is stored under stem already; then the bytes
    must be the same. Returns the stored file's name; call under the server's lock."""
    existing = stored_under(folder, stem)
    if existing is None:
        # Written whole under a name of its own first, so that the stored name never shows a
        # partial file; the link never replaces one.
        part = os.path.join(folder, ".part-" + os.urandom(12).hex())
        try:
            with open(part, "xb") as out:
                out.write(data)
            os.link(part, os.path.join(folder, stem + ext))
            return stem + ext
        finally:
            os.unlink(part)
    if file_sha256(os.path.join(folder, existing)) != digest:
        raise Refused(409, "id already stored")
    return existing


class UploadHandler(http.server.BaseHTTPRequestHandler):
    server_version = "FotoloftSample/1"

    def log_message(self, fmt, *args):
        sys.stderr.write("%s %s\n" % (self.address_string(), fmt % args))

    def answer(self, status, reply):
        data = json.dumps(reply).encode()
        try:
            self.send_response(status)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)
        except (TimeoutError, ConnectionError) as error:  # the client went away
            self.log_message("reply not sent: %s", error)
            self.close_connection = True

    def setup(self):
        self.timeout = self.server.config.timeout  # every read and write of the connection
        super().setup()

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
        try:
            if length > config.max_bytes + ENVELOPE_BYTES:
                # Read and drop the body, so that the client gets to read the refusal.
                self.discard(length)
                return self.answer(413, {"success": 0, "msg": "file too large"})
            body = self.rfile.read(length)
        except (TimeoutError, ConnectionError) as error:
            # A client that stopped sending: the connection is closed, nothing is kept.
            self.log_message("body not received: %s", error)
            self.close_connection = True
            return
        if len(body) < length:
            self.close_connection = True
            return
        try:
            fields, files = parse_multipart(self.headers.get("Content-Type", ""), body)
        except Refused as refusal:
            return self.answer(refusal.status, {"success": 0, "msg": refusal.msg})
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
        try:
            with self.server.lock:
                stored = store(config.folder, stem, safe_extension(name), data, digest)
        except Refused as refusal:
            return self.answer(refusal.status, {"success": 0, "msg": refusal.msg})
        except OSError:
            return self.answer(500, {"success": 0, "msg": "could not store the file"})
        self.answer(200, {"success": 1, "id": file_id, "file": stored, "name": name, "size": len(data),
                          "sha256": digest, "fields": fields})

    def discard(self, length):
        left = length
        while left > 0:
            chunk = self.rfile.read(min(left, 1 << 16))
            if not chunk:
                break
            left -= len(chunk)


class UploadServer(http.server.ThreadingHTTPServer):
    """One thread per connection, at most max_connections of them: a connection beyond that
    is answered "server busy" at once and closed, so that clients that send slowly (or not
    at all) hold a bounded number of threads, each until its time-out."""

    request_queue_size = 64

    def __init__(self, address, handler, config):
        self.config = config
        self.lock = threading.Lock()
        self.slots = threading.BoundedSemaphore(config.max_connections)
        super().__init__(address, handler)

    def process_request(self, request, client_address):
        if not self.slots.acquire(blocking=False):
            self.refuse_busy(request)
            return
        try:
            super().process_request(request, client_address)
        except BaseException:
            self.slots.release()
            raise

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            self.slots.release()

    def refuse_busy(self, request):
        data = json.dumps({"success": 0, "msg": "server busy"}).encode()
        head = ("HTTP/1.0 503 Service Unavailable\r\nContent-Type: application/json\r\n"
                "Content-Length: %d\r\nConnection: close\r\n\r\n" % len(data)).encode()
        try:
            request.setblocking(False)
            try:
                while request.recv(1 << 16):  # what already arrived, so that closing sends no reset
                    pass
            except OSError:
                pass
            request.send(head + data)  # a fresh socket's buffer takes it whole
            request.shutdown(socket.SHUT_WR)
        except OSError:
            pass
        self.shutdown_request(request)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=8080)
    parser.add_argument("--folder", default="uploads")
    parser.add_argument("--field", default="file", help='the page\'s "FileFieldName"')
    parser.add_argument("--max-bytes", type=int, default=20 * 1024 * 1024)
    parser.add_argument("--timeout", type=float, default=60.0,
                        help="seconds a connection may stay silent before it is closed")
    parser.add_argument("--max-connections", type=int, default=32,
                        help="connections served at once; more are answered \"server busy\"")
    config = parser.parse_args()
    if config.timeout <= 0 or config.max_connections < 1:
        parser.error("--timeout and --max-connections must be positive")
    os.makedirs(config.folder, exist_ok=True)
    server = UploadServer((config.host, config.port), UploadHandler, config)
    print("listening on http://%s:%d/upload" % server.server_address[:2], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
