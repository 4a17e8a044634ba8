#!/usr/bin/env python3
"""A small web server for the demo catalog, on 127.0.0.1 only.

It plays the community site for the program started with FX3MM_COMMUNITY_URL=http://127.0.0.1:<port>/:

  /filebase/repos/fx3-v3.json        the built-in repository (examples/repository/fx3-v3.json)
  /external/external.json            a second, external repository (examples/repository/external.json)
  /files/<name>, /files/previews/…   the archives and pictures built by make-demo-archives.sh
  /filebase/entry/<id>/              entry pages of the catalog entries and of the entries in entry-pages.json
  /filebase/entry-download/<id>/…    downloads linked from the pages of entry-pages.json entries, also in the
  /filebase/index.php/EntryDownload/<id>/…   older address form

Everything else is answered with 404. The documents are written for port 8765; on another port the server
replaces "http://127.0.0.1:8765" in the documents and pages it sends by its own address, and changes nothing
else. The files are read anew for every request, so edited documents show on the next catalog refresh.

Usage: serve-demo.py [PORT] [--files FOLDER]   (port 0 picks a free port; the first line printed names it)
"""

import argparse
import html
import json
import re
import sys
import urllib.parse
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

HOST = "127.0.0.1"
DEFAULT_PORT = 8765
WRITTEN_BASE = "http://127.0.0.1:8765"

EXAMPLES = Path(__file__).resolve().parent
DOCUMENTS = {
    "/filebase/repos/fx3-v3.json": EXAMPLES / "repository" / "fx3-v3.json",
    "/external/external.json": EXAMPLES / "repository" / "external.json",
}
ENTRY_PAGES = EXAMPLES / "entry-pages.json"

FILE_PATH = re.compile(r"^/files/(?:(previews)/)?([A-Za-z0-9][A-Za-z0-9._-]*)$")
ENTRY_PAGE_PATH = re.compile(r"^/filebase/entry/(\d+)/?$")
ENTRY_DOWNLOAD_PATH = re.compile(r"^/filebase/(?:entry-download|index\.php/EntryDownload)/(\d+)(?:/.*)?$")

CONTENT_TYPES = {
    ".json": "application/json; charset=utf-8",
    ".zip": "application/zip",
    ".7z": "application/x-7z-compressed",
    ".rar": "application/vnd.rar",
    ".png": "image/png",
}

FILE_KEYS = ("download_url", "download", "downloadUrl")


def entry_download_links(entry):
    """Every download address an entry names, in document order, once each."""
    objects = [entry]
    for member in ("latest_file", "files", "archive_parts", "parts"):
        value = entry.get(member)
        objects.extend(value if isinstance(value, list) else [value])
    for file in list(objects[1:]):
        if isinstance(file, dict) and isinstance(file.get("parts"), list):
            objects.extend(file["parts"])
    links = []
    for item in objects:
        if not isinstance(item, dict):
            continue
        for key in FILE_KEYS:
            link = item.get(key)
            if isinstance(link, str) and link.strip():
                link = link.strip()
                if link not in links:
                    links.append(link)
                break
    return links


class DemoHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TrackhavenDemo/1.0"

    # --- answers ---

    def send_body(self, status, body, content_type, extra_headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra_headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_text(self, status, text, content_type):
        self.send_body(status, self.server.with_own_base(text).encode("utf-8"), content_type)

    def send_not_found(self):
        self.send_text(HTTPStatus.NOT_FOUND, "<!DOCTYPE html><title>404</title><h1>Nicht gefunden</h1>\n",
                       "text/html; charset=utf-8")

    def send_file(self, path, download_name=None):
        if not path.is_file():
            self.send_not_found()
            return
        headers = []
        if download_name:
            headers.append(("Content-Disposition", f'attachment; filename="{download_name}"'))
        content_type = CONTENT_TYPES.get(path.suffix.lower(), "application/octet-stream")
        self.send_body(HTTPStatus.OK, path.read_bytes(), content_type, headers)

    # --- routes ---

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        if "\\" in path or "\0" in path or "/../" in path + "/":
            self.send_not_found()
            return

        if path in ("/", "/index.html"):
            self.send_text(HTTPStatus.OK, self.server.index_page(), "text/html; charset=utf-8")
            return
        if path in DOCUMENTS:
            self.send_text(HTTPStatus.OK, DOCUMENTS[path].read_text(encoding="utf-8"), CONTENT_TYPES[".json"])
            return
        match = FILE_PATH.match(path)
        if match:
            folder = self.server.files / match.group(1) if match.group(1) else self.server.files
            self.send_file(folder / match.group(2))
            return
        match = ENTRY_PAGE_PATH.match(path)
        if match:
            page = self.server.entry_page(match.group(1))
            if page is None:
                self.send_not_found()
            else:
                self.send_text(HTTPStatus.OK, page, "text/html; charset=utf-8")
            return
        match = ENTRY_DOWNLOAD_PATH.match(path)
        if match:
            offered = self.server.page_entries().get(match.group(1))
            if offered is None:
                self.send_not_found()
            else:
                self.send_file(self.server.files / offered["file"], download_name=offered["file"])
            return
        self.send_not_found()

    def log_message(self, format, *args):
        sys.stderr.write("%s %s\n" % (self.log_date_time_string(), format % args))


class DemoServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, files):
        super().__init__((HOST, port), DemoHandler)
        self.files = files
        self.base = f"http://{HOST}:{self.server_address[1]}"

    def handle_error(self, request, client_address):
        # A client that goes away in the middle of a request (the program was closed) is no error of ours.
        if isinstance(sys.exc_info()[1], (ConnectionResetError, BrokenPipeError)):
            return
        super().handle_error(request, client_address)

    def with_own_base(self, text):
        return text if self.base == WRITTEN_BASE else text.replace(WRITTEN_BASE, self.base)

    def page_entries(self):
        return json.loads(ENTRY_PAGES.read_text(encoding="utf-8"))

    def catalog_entries(self):
        document = json.loads(DOCUMENTS["/filebase/repos/fx3-v3.json"].read_text(encoding="utf-8"))
        return {str(entry.get("id")): entry for entry in document.get("files", []) if isinstance(entry, dict)}

    def entry_page(self, entry_id):
        offered = self.page_entries().get(entry_id)
        if offered is not None:
            links = [(offered["download"], f"{offered['file']} herunterladen")]
            return page(offered["name"], offered["author"], offered["version"], html.escape(offered["description"]),
                        links)
        entry = self.catalog_entries().get(entry_id)
        if entry is None:
            return None
        author = entry.get("author") or entry.get("username") or entry.get("creator") or ""
        if isinstance(author, dict):
            author = author.get("name", "")
        links = []
        for link in entry_download_links(entry):
            if not re.match(r"^https?://", link) and not link.startswith("/"):
                link = "/" + link
            links.append((link, link.rsplit("/", 1)[-1]))
        # The descriptions are the demo's own HTML; the page shows them as the file base would.
        description = entry.get("description") or entry.get("summary") or ""
        return page(entry.get("name") or entry.get("title") or entry_id, str(author),
                    str(entry.get("version") or entry.get("version_string") or ""), description, links)

    def index_page(self):
        items = "".join(f'<li><a href="{path}">{path}</a></li>' for path in DOCUMENTS)
        return (f"<!DOCTYPE html><meta charset=\"utf-8\"><title>Trackhaven Demo</title>"
                f"<h1>Trackhaven Demo-Server</h1><ul>{items}</ul>\n")


def page(name, author, version, description_html, links):
    items = "".join(f'<li><a class="download" href="{html.escape(href)}">{html.escape(label)}</a></li>'
                    for href, label in links)
    return (f"<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\"><title>{html.escape(name)}"
            f"</title></head>\n<body><h1>{html.escape(name)}</h1>\n<p>von {html.escape(author)}, Version "
            f"{html.escape(version)}</p>\n<div class=\"description\">{description_html}</div>\n"
            f"<h2>Dateien</h2><ul>{items or '<li>Keine Dateien</li>'}</ul>\n</body></html>\n")


def main():
    parser = argparse.ArgumentParser(description="Serves the demo catalog on 127.0.0.1.")
    parser.add_argument("port", nargs="?", type=int, default=DEFAULT_PORT, help="port (default 8765, 0: any)")
    parser.add_argument("--files", type=Path, default=EXAMPLES / "build" / "files",
                        help="folder of the built archives (default examples/build/files)")
    arguments = parser.parse_args()
    if not 0 <= arguments.port <= 65535:
        parser.error("the port must be between 0 and 65535")
    if not arguments.files.is_dir():
        print(f"serve-demo.py: {arguments.files} is missing; run examples/make-demo-archives.sh first",
              file=sys.stderr)

    try:
        server = DemoServer(arguments.port, arguments.files.resolve())
    except OSError as error:
        sys.exit(f"serve-demo.py: cannot listen on {HOST}:{arguments.port}: {error.strerror}")
    print(f"Serving the demo catalog on {server.base}/", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
