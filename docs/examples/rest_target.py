#!/usr/bin/env python3
"""A small REST service to put behind the tunnel (docs/remote.md, "Putting an HTTP API
behind the tunnel"): items under /qel/items/NAME, kept in memory.

  GET    /qel/items/NAME   200 with the item (JSON) and its ETag; 304 when If-None-Match
                           names that ETag; 404 when there is none
  PUT    /qel/items/NAME   stores the body: 201 when new, 204 when replaced
  DELETE /qel/items/NAME   204, or 404
  GET    /qel/items        200 with the names (JSON), ?prefix=P to filter

    python3 rest_target.py 8080
"""
import hashlib
import json
import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

ITEMS = {}
PREFIX = "/qel/items"


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def reply(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if status not in (204, 304):
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if body and self.command != "HEAD" and status not in (204, 304):
            self.wfile.write(body)

    def name(self):
        path = urlsplit(self.path).path
        return path[len(PREFIX) + 1:] if path.startswith(PREFIX + "/") else None

    def do_GET(self):
        url = urlsplit(self.path)
        if url.path == PREFIX:
            prefix = parse_qs(url.query).get("prefix", [""])[0]
            names = sorted(n for n in ITEMS if n.startswith(prefix))
            return self.reply(200, json.dumps(names).encode(), [("Content-Type", "application/json")])
        name = self.name()
        if name not in ITEMS:
            return self.reply(404, b"no such item\n", [("Content-Type", "text/plain")])
        body = ITEMS[name]
        etag = '"%s"' % hashlib.sha256(body).hexdigest()[:16]
        headers = [("ETag", etag), ("Cache-Control", "no-cache")]
        if self.headers.get("If-None-Match") == etag:
            return self.reply(304, headers=headers)
        self.reply(200, body, headers + [("Content-Type", "application/json")])

    do_HEAD = do_GET

    def do_PUT(self):
        name = self.name()
        if not name:
            return self.reply(405, b"PUT /qel/items/NAME\n", [("Content-Type", "text/plain")])
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        status = 204 if name in ITEMS else 201
        ITEMS[name] = body
        self.reply(status, headers=[("Location", PREFIX + "/" + name)] if status == 201 else ())

    def do_DELETE(self):
        name = self.name()
        if ITEMS.pop(name, None) is None:
            return self.reply(404, b"no such item\n", [("Content-Type", "text/plain")])
        self.reply(204)


if __name__ == "__main__":
    port = int(sys.argv[1]) if len(sys.argv) > 1 else 8080
    ThreadingHTTPServer(("127.0.0.1", port), Handler).serve_forever()
