#!/usr/bin/env python3
"""The live preview in a real browser (Debian's chromium through
chromium-driver and python3-selenium, headless, no network): a page opened
through `pellandrix-cli serve` shows each save by itself, a run's parse
error as an overlay with path and line, and the overlay goes with the fix;
a page its first run did not write shows why, then itself once written.
Usage: serve_browser_test.py PELLANDRIX_CLI"""

import os
import shutil
import sys
import tempfile
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait

from serve_fixture import SITE, free_port, served_site

CLI = None
# What the page may take from a save to showing it.
BOUND_SECONDS = 2


def start_browser(profile):
    options = Options()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--no-first-run", "--disable-dev-shm-usage",
                     "--user-data-dir=" + profile):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


class ServeInBrowser(unittest.TestCase):
    def setUp(self):
        self.s = served_site(CLI)
        self.profile = tempfile.mkdtemp(prefix="pellandrix-chromium-")
        self.browser = start_browser(self.profile)

    def tearDown(self):
        self.browser.quit()
        shutil.rmtree(self.profile, ignore_errors=True)
        self.s.close()

    def shows(self, predicate):
        return WebDriverWait(self.browser, BOUND_SECONDS, poll_frequency=0.02).until(predicate)

    def shown(self, element_id):
        """The text of the element, read in one step (a page reloading in
        between leaves no stale reference); None without it."""
        return self.browser.execute_script(
            "var e = document.getElementById(arguments[0]);"
            "return e ? e.textContent : null;", element_id)

    def text(self):
        return self.shown("text")

    def overlay(self):
        return self.shown("pellandrix-meldungen")

    def open(self, page):
        self.s.start("--port", str(free_port()))
        self.browser.get(self.s.address + page)

    def test_saves_show_by_themselves_and_a_parse_error_as_an_overlay_until_fixed(self):
        self.open("index.html")
        self.assertEqual(self.text(), "Teil eins")
        # Gone with a reload; the test never reloads.
        self.browser.execute_script("window.unreloaded = true;")

        self.s.save("src/part.tpl", '<p id="text">Teil zwei</p>\n')
        self.shows(lambda _: self.text() == "Teil zwei")
        self.assertIsNone(self.browser.execute_script("return window.unreloaded;"))
        self.assertIsNone(self.overlay())

        self.s.save("src/part.tpl", '<p id="text">Teil drei</p>\n#ifdef OFFEN\n')
        overlay = self.shows(lambda _: self.overlay())
        self.assertIn("src/part.tpl:2: Parse-Fehler in Datei part.tpl", overlay)
        self.assertIn("eingebunden von src/index.tpl:3", overlay)

        self.s.save("src/part.tpl", '<p id="text">Teil vier</p>\n')
        self.shows(lambda _: self.text() == "Teil vier" and self.overlay() is None)

    def test_a_page_its_first_run_did_not_write_shows_why_then_itself(self):
        os.remove(os.path.join(self.s.dir, "src/index.tpl"))
        self.open("index.html")
        self.assertEqual(self.browser.title, "Seite nicht gefunden")
        self.assertIn("index.tpl kann nicht gelesen werden", self.shows(lambda _: self.overlay()))

        self.s.save("src/index.tpl", SITE["src/index.tpl"])
        self.shows(lambda _: self.text() == "Teil eins" and self.overlay() is None)


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    unittest.main()
