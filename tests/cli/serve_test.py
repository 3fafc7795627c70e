#!/usr/bin/env python3
"""pellandrix-cli serve as a process, asked by a real HTTP client: content
types, 304s, 404 for every way out of the target folders, loopback only,
events that reach many open pages while a slow client hangs, and the exit
of watch. Usage: serve_test.py PELLANDRIX_CLI"""

import http.client
import os
import shutil
import socket
import stat
import subprocess
import sys
import unittest

from serve_fixture import Served, eventually, free_port, served_site

CLI = None


def raw_get(port, path, headers_host="127.0.0.1"):
    """Status, head and body of the answer to a GET sent byte for byte as
    written (no client tidies the path up)."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        s.sendall(f"GET {path} HTTP/1.1\r\nHost: {headers_host}\r\n"
                  "Connection: close\r\n\r\n".encode("latin-1"))
        answer = b""
        while chunk := s.recv(65536):
            answer += chunk
    head, _, body = answer.partition(b"\r\n\r\n")
    return int(head.split(b" ")[1]), head.decode("latin-1"), body


class Event:
    """A page's event stream, read line by line from a raw socket."""

    def __init__(self, port, since):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.sock.sendall(f"GET /.pellandrix/events?since={since} HTTP/1.1\r\n"
                          "Host: 127.0.0.1\r\n\r\n".encode())
        self.file = self.sock.makefile("rb")

    def next_data(self):
        """The data line of the next event (keep-alive comments skipped)."""
        while True:
            line = self.file.readline()
            if not line:
                return None
            if line.startswith(b"data: "):
                return line[6:].decode()

    def close(self):
        self.file.close()
        self.sock.close()


class ServeHttp(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.s = served_site(CLI)
        out = os.path.join(cls.s.dir, "out")
        for name, data in (("pic.png", b"\x89PNG\r\n\x1a\n"), ("font.woff2", b"wOF2"),
                           ("data.xml", b"<a/>"), ("note.txt", b"Notiz"),
                           ("app.js", b"1;"), ("pic.svg", b"<svg/>"),
                           ("sub/index.html", b"<p>Unterseite</p>"), ("list/a.txt", b"a"),
                           ("list/.secret", b"geheim"), (".hidden.html", b"versteckt"),
                           ("big.bin", b"x" * (16 << 20))):
            os.makedirs(os.path.dirname(os.path.join(out, name)), exist_ok=True)
            with open(os.path.join(out, name), "wb") as f:
                f.write(data)
        cls.s.write("secret.txt", "außerhalb")
        os.symlink("../secret.txt", os.path.join(out, "link-out.txt"))
        os.symlink("..", os.path.join(out, "updir"))
        os.symlink("note.txt", os.path.join(out, "link-in.txt"))
        os.symlink("../fehlt.html", os.path.join(out, "dangling.html"))
        cls.s.start("--port", str(free_port()))

    @classmethod
    def tearDownClass(cls):
        cls.s.close()

    def get(self, path, headers=None, method="GET"):
        connection = http.client.HTTPConnection("127.0.0.1", self.s.port, timeout=10)
        connection.request(method, path, headers=headers or {})
        response = connection.getresponse()
        body = response.read()
        connection.close()
        return response, body

    def test_content_types_and_the_script_only_in_what_is_served(self):
        for path, expected in (("/index.html", "text/html"), ("/style.css", "text/css"),
                               ("/app.js", "text/javascript"), ("/pic.svg", "image/svg+xml"),
                               ("/pic.png", "image/png"), ("/font.woff2", "font/woff2"),
                               ("/note.txt", "text/plain"), ("/data.xml", "application/xml"),
                               ("/link-in.txt", "text/plain"), ("/big.bin",
                                                                 "application/octet-stream")):
            response, _ = self.get(path, method="HEAD")
            self.assertEqual((path, response.status, response.getheader("Content-Type")),
                             (path, 200, expected))
        _, page = self.get("/index.html")
        self.assertIn(b'<script src="/.pellandrix/live.js" data-page="/index.html"', page)
        self.assertTrue(page.endswith(b"></script></BODY></html>\r\n"), page)
        with open(os.path.join(self.s.dir, "out/index.html"), "rb") as f:
            self.assertNotIn(b"pellandrix", f.read())
        response, body = self.get("/.pellandrix/live.js")
        self.assertEqual(response.getheader("Content-Type"), "text/javascript")
        self.assertIn(b"EventSource", body)

    def test_unchanged_files_answer_304(self):
        response, _ = self.get("/note.txt")
        etag, modified = response.getheader("ETag"), response.getheader("Last-Modified")
        self.assertEqual(self.get("/note.txt", {"If-None-Match": etag})[0].status, 304)
        self.assertEqual(self.get("/note.txt", {"If-Modified-Since": modified})[0].status, 304)
        self.assertEqual(self.get("/note.txt", {"If-None-Match": '"anders"'})[0].status, 200)
        page_etag = self.get("/index.html")[0].getheader("ETag")
        self.assertEqual(self.get("/index.html", {"If-None-Match": page_etag})[0].status, 304)
        runs = self.s.output().count("\tindex.tpl\n")
        self.s.save("src/part.tpl", '<p id="text">Teil zwei</p>\n')
        self.assertTrue(self.s.runs_ended(runs + 1))
        response, body = self.get("/index.html", {"If-None-Match": page_etag})
        self.assertEqual(response.status, 200)
        self.assertIn(b"Teil zwei", body)

    def test_every_way_out_of_the_target_folders_is_404(self):
        for path in ("/../secret.txt", "/%2e%2e/secret.txt", "/%2E%2E/secret.txt",
                     "/..%2fsecret.txt", "/%2e%2e%2fsecret.txt", "/%252e%252e/secret.txt",
                     "/%25%32%65%25%32%65/secret.txt", "/..\\secret.txt", "/%2e%2e%5csecret.txt",
                     "/sub/../../secret.txt", "/sub/%2e%2e/%2e%2e/secret.txt", "//secret.txt",
                     "/link-out.txt", "/updir/secret.txt", "/updir/", "/.hidden.html",
                     "/list/.secret", "/list/%2esecret", "/note.txt%00.html", "/./note.txt",
                     "/updir/neu.html", "/dangling.html", "/.neu.html", "secret.txt",
                     "/%c0%ae%c0%ae/secret.txt", "/.pellandrix/", "/index.html/"):
            status, _, body = raw_get(self.s.port, path)
            self.assertEqual((path, status), (path, 404))
            self.assertNotIn("außerhalb".encode(), body)
            self.assertNotIn(b"<script", body)

    def test_a_page_no_run_has_written_yet_is_a_404_that_waits_for_it(self):
        for path, page in (("/neu%3Cb%3E.html", "/neu&lt;b&gt;.html"),
                           ("/fehlt/", "/fehlt/index.html")):
            status, head, body = raw_get(self.s.port, path)
            self.assertEqual((path, status), (path, 404))
            self.assertIn("text/html", head)
            self.assertIn(b"Seite nicht gefunden", body)
            self.assertNotIn(b"<b>", body)
            self.assertIn(f'<script src="/.pellandrix/live.js" data-page="{page}"'.encode(), body)
        self.assertNotIn(b"<script", raw_get(self.s.port, "/fehlt.png")[2])

    def test_folders_redirect_show_their_index_or_a_listing(self):
        status, head, _ = raw_get(self.s.port, "/sub")
        self.assertEqual(status, 301)
        self.assertIn("Location: /sub/", head)
        self.assertIn(b"Unterseite", self.get("/sub/")[1])
        response, listing = self.get("/list/")
        self.assertEqual(response.status, 200)
        self.assertIn(b'href="a.txt"', listing)
        self.assertNotIn(b"secret", listing)

    def test_a_name_other_than_the_loopback_is_refused(self):
        # A page elsewhere may have its own name point at 127.0.0.1.
        for host in ("127.0.0.1", "localhost:%d" % self.s.port):
            self.assertEqual(raw_get(self.s.port, "/note.txt",
                                     headers_host=host)[0], 200)
        for host in ("boese.example:%d" % self.s.port, "127.0.0.1.boese.example", ""):
            self.assertEqual(raw_get(self.s.port, "/note.txt", headers_host=host)[0], 421)

    def test_head_has_no_body_and_other_methods_are_refused(self):
        response, body = self.get("/note.txt", method="HEAD")
        self.assertEqual((response.status, body, response.getheader("Content-Length")),
                         (200, b"", "5"))
        self.assertEqual(self.get("/note.txt", method="POST")[0].status, 405)

    def test_it_listens_on_the_loopback_address_only(self):
        listening = []
        for table in ("/proc/net/tcp", "/proc/net/tcp6"):
            with open(table) as f:
                for line in f.readlines()[1:]:
                    local, state = line.split()[1], line.split()[3]
                    if state == "0A" and int(local.split(":")[1], 16) == self.s.port:
                        listening.append(local.split(":")[0])
        self.assertEqual(listening, ["0100007F"])
        # The machine's other addresses are answered by nothing.
        addresses = {"::1", "127.0.0.2"}
        for _, _, _, _, address in socket.getaddrinfo(socket.gethostname(), None):
            addresses.add(address[0])
        if shutil.which("hostname"):
            addresses.update(subprocess.run(["hostname", "-I"], capture_output=True,
                                            text=True).stdout.split())
        addresses.discard("127.0.0.1")
        for address in sorted(addresses):
            with self.subTest(address=address):
                with self.assertRaises(OSError):
                    socket.create_connection((address, self.s.port), timeout=2).close()

    def mark(self):
        return self.get("/index.html")[1].split(b'data-run="')[1].split(b'"')[0].decode()

    def test_a_page_that_listens_only_after_its_run_ended_still_reloads(self):
        since = self.mark()
        runs = self.s.output().count("\tindex.tpl\n")
        self.s.save("src/part.tpl", '<p id="text">Teil spät</p>\n')
        self.assertTrue(self.s.runs_ended(runs + 1))
        late = Event(self.s.port, since)
        try:
            self.assertIn('"/index.html"', late.next_data())
        finally:
            late.close()
        current = Event(self.s.port, self.mark())
        try:
            self.assertIn('"changed":[]', current.next_data())
        finally:
            current.close()

    def test_many_open_pages_and_a_slow_client_hold_up_no_run(self):
        since = self.mark()
        pages = [Event(self.s.port, since) for _ in range(40)]
        try:
            for page in pages:
                self.assertIn('"messages":[]', page.next_data())
            # A client that asks for a large file and never reads it.
            slow = socket.create_connection(("127.0.0.1", self.s.port))
            slow.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            slow.sendall(b"GET /big.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
            runs = self.s.output().count("\tindex.tpl\n")
            self.s.save("src/part.tpl", '<p id="text">Teil viele</p>\n')
            self.assertTrue(self.s.runs_ended(runs + 1))
            for page in pages:
                self.assertIn('"/index.html"', page.next_data())
            slow.close()
        finally:
            for page in pages:
                page.close()


class ServeProcess(unittest.TestCase):
    def test_a_taken_port_moves_on_open_starts_the_browser_and_sigterm_ends_with_0(self):
        s = served_site(CLI)
        taken = socket.socket()
        try:
            taken.bind(("127.0.0.1", 0))
            taken.listen()
            port = taken.getsockname()[1]
            recorder = os.path.join(s.dir, "browser.sh")
            with open(recorder, "w") as f:
                f.write('#!/bin/sh\nprintf "%s" "$1" > "$0.url"\n')
            os.chmod(recorder, stat.S_IRWXU)
            s.start("--port", str(port), "--open", env=dict(os.environ, BROWSER=recorder))
            self.assertNotEqual(s.port, port)
            def opened():
                if os.path.exists(recorder + ".url"):
                    with open(recorder + ".url") as f:
                        return f.read()
            self.assertEqual(eventually(opened), s.address)
            self.assertTrue(s.output().startswith("Lauf 1 beginnt "))
            self.assertEqual(s.stop(), 0)
        finally:
            taken.close()
            s.close()

    def test_a_refused_port_is_a_usage_error(self):
        result = subprocess.run([CLI, "serve", "W", "--port", "70000"], capture_output=True)
        self.assertEqual(result.returncode, 2)


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    unittest.main()
