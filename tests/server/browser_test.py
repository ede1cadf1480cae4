#!/usr/bin/python3
"""The rankings page in a real browser.

    browser_test.py SERVER FILL SCREENSHOT_DIR

Starts the highscore service SERVER on 127.0.0.1 with a fresh SQLite
database, fills it through the game's own client (FILL, see
game_client_fill.cpp), checks every page kind with tidy, then drives headless
Chromium through the tabs and pages and takes screenshots at 360 and 1920
pixels wide into SCREENSHOT_DIR.
"""

import os
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

SERVER, FILL, SCREENSHOTS = sys.argv[1:4]
WAIT_SECONDS = 20

# Turbo Mittel (ranking 4) gets three pages, with names that are markup.
TURBO_MITTEL = ["<script>alert(1", '"&\'', "<b>fett</b>", "O'Neil & Co", "Anna", "Bernd", "Carla",
                "Dieter", "Emil", "Frieda", "Gustav", "Hanna", "Ingo", "Jana", "Klaus", "Lotte",
                "Max Mustermann", "Nina", "Otto", "Paula", "Quentin", "Rosa"]
GAMES = ["1 1 %d %s" % (9000 - 100 * i, name) for i, name in enumerate(TURBO_MITTEL)]
GAMES += ["2 0 123456 Level-Larry", "2 0 4711 Zoe", "0 0 500 Erster Versuch"]
OLD_ENTRY = "Altmeister"


def wait_for(condition, what):
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.02)
    raise AssertionError("timed out waiting for " + what)


def fetch(url):
    try:
        with urllib.request.urlopen(url) as reply:
            return reply.status, reply.read()
    except urllib.error.HTTPError as error:
        return error.code, error.read()


class RankingsInABrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        database = os.path.join(cls.dir.name, "highscores.sqlite")
        cls.log = open(os.path.join(cls.dir.name, "server.log"), "w+")
        # The games below come without recordings: listed, marked unverified.
        cls.server = subprocess.Popen([SERVER, "--listen", "127.0.0.1:0", "--db", "sqlite:" + database,
                                       "--rate-limit", "0", "--accept-unverified"], stderr=cls.log)

        def port():
            cls.log.seek(0)
            found = re.search(r"listening on 127\.0\.0\.1:(\d+)", cls.log.read())
            return found and int(found.group(1))

        cls.base = "http://127.0.0.1:%d" % wait_for(port, "the service")
        subprocess.run([FILL, cls.base[len("http://"):]], input="\n".join(GAMES) + "\n", text=True,
                       check=True, timeout=120)
        # An entry from long ago, which is not marked as new.
        with sqlite3.connect(database) as db:
            db.execute("INSERT INTO scores (mode, name, points, created_at) VALUES (4, ?, 9999, 1000)",
                       (OLD_ENTRY,))

        os.makedirs(SCREENSHOTS, exist_ok=True)
        cls.browser = cls.start_browser("de-DE,de")
        cls.english_browser = None
        cls.french_browser = None

    @classmethod
    def start_browser(cls, languages):
        """Headless Chromium whose requests carry Accept-Language for these languages."""
        options = webdriver.ChromeOptions()
        profile = os.path.join(cls.dir.name, "profile-" + languages.split(",")[0])
        for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--hide-scrollbars", "--user-data-dir=" + profile, "--lang=" + languages.split(",")[0],
                     "--accept-lang=" + languages]:
            options.add_argument(flag)
        options.add_experimental_option("prefs", {"intl.accept_languages": languages})
        options.binary_location = "/usr/bin/chromium"
        return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        if cls.english_browser:
            cls.english_browser.quit()
        if cls.french_browser:
            cls.french_browser.quit()
        cls.server.send_signal(signal.SIGTERM)
        cls.server.wait(timeout=10)
        cls.log.close()
        cls.dir.cleanup()

    def test_every_kind_of_page_is_valid_html(self):
        for path in ["/quarzello/?mode=4&page=2", "/quarzello/?mode=6", "/?mode=2", "/quarzello/?mode=9",
                     "/quarzello/?mode=4&page=9", "/quarzello/?mode=4&page=2&lang=en", "/?mode=9&lang=en"]:
            status, body = fetch(self.base + path)
            checked = subprocess.run(["tidy", "-q", "-e", "-utf8"], input=body, capture_output=True)
            self.assertEqual(checked.returncode, 0, "%s (%d): %s" % (path, status, checked.stderr.decode()))

    def show(self, width, height):
        self.browser.set_window_size(width, height)
        self.browser.get(self.base + "/quarzello/")
        self.wait_heading("Classic Leicht")

    def wait_heading(self, text):
        wait_for(lambda: self.browser.find_element(By.TAG_NAME, "h2").text == text, "heading " + text)

    def rows(self):
        """(place, name, points, new) of every row, the name as its text node."""
        result = []
        for row in self.browser.find_elements(By.CSS_SELECTOR, "tbody tr"):
            cells = row.find_elements(By.TAG_NAME, "td")
            if len(cells) == 1:
                result.append(cells[0].text)
                continue
            name = self.browser.execute_script("return arguments[0].firstChild.nodeValue", cells[1])
            result.append((cells[0].text, name, cells[2].text, row.get_attribute("class") == "new"))
        return result

    def click(self, selector):
        self.browser.find_element(By.CSS_SELECTOR, selector).click()

    def page_line(self):
        return self.browser.find_element(By.CSS_SELECTOR, ".pages span:not(.arrow)").text

    def test_tabs_and_pages_show_the_whole_ranking_with_names_as_typed(self):
        self.show(1920, 1080)
        self.assertEqual(self.rows(), [("1.", "Erster Versuch", "500", True)])
        self.assertGreater(self.browser.execute_script(
            "return document.querySelector('h1 img').naturalWidth"), 0, "the title picture loads")

        self.click("a[title='Turbo Mittel']")
        self.wait_heading("Turbo Mittel")
        self.assertEqual(self.page_line(), "Seite 1 von 3")
        rows = self.rows()
        self.assertEqual(rows[0], ("1.", OLD_ENTRY, "9999", False))
        self.assertEqual(rows[1:5], [("2.", "<script>alert(1", "9000", True), ("3.", '"&\'', "8900", True),
                                     ("4.", "<b>fett</b>", "8800", True), ("5.", "O'Neil & Co", "8700", True)])
        self.assertEqual(len(rows), 10)
        self.assertEqual(self.browser.find_elements(By.CSS_SELECTOR, "script, tbody b"), [])
        self.assertEqual(len(self.browser.find_elements(By.CSS_SELECTOR, ".new-mark")), 10, "nine rows and the key")
        self.browser.save_screenshot(os.path.join(SCREENSHOTS, "rankings-1920.png"))

        self.click("a[rel='next']")
        wait_for(lambda: self.page_line() == "Seite 2 von 3", "page 2")
        self.assertEqual([row[0] for row in self.rows()], ["%d." % place for place in range(11, 21)])
        self.click("a[rel='next']")
        wait_for(lambda: self.page_line() == "Seite 3 von 3", "page 3")
        self.assertEqual(self.rows(), [("21.", "Paula", "7100", True), ("22.", "Quentin", "7000", True),
                                       ("23.", "Rosa", "6900", True)])
        self.assertEqual(self.browser.find_elements(By.CSS_SELECTOR, "a[rel='next']"), [], "no way past the end")
        self.click("a[rel='prev']")
        wait_for(lambda: self.page_line() == "Seite 2 von 3", "back to page 2")

        self.click("a[title='Level']")
        self.wait_heading("Level")
        self.assertEqual([row[1] for row in self.rows()], ["Level-Larry", "Zoe"])
        self.click("a[title='Classic Schwer']")
        self.wait_heading("Classic Schwer")
        self.assertEqual(self.rows(), ["Kein Einträge"])
        self.assertEqual(self.page_line(), "Seite 1 von 1")

    def test_the_page_follows_the_browsers_language_and_the_address_overrides_it(self):
        type(self).english_browser = english = self.start_browser("en-GB,en")
        english.get(self.base + "/quarzello/?mode=4")
        wait_for(lambda: english.find_element(By.TAG_NAME, "h2").text == "Turbo Medium", "the English page")
        self.assertEqual(english.find_element(By.CSS_SELECTOR, ".pages span:not(.arrow)").text, "Page 1 of 3")
        self.assertEqual(english.find_element(By.TAG_NAME, "html").get_attribute("lang"), "en")
        self.assertEqual(english.find_element(By.CSS_SELECTOR, "th.points").text, "Points")
        english.save_screenshot(os.path.join(SCREENSHOTS, "rankings-english.png"))
        english.get(self.base + "/quarzello/?mode=4&lang=de")
        wait_for(lambda: english.find_element(By.TAG_NAME, "h2").text == "Turbo Mittel", "German asked for")
        english.find_element(By.CSS_SELECTOR, "a[rel='next']").click()
        wait_for(lambda: english.find_element(By.CSS_SELECTOR, ".pages span:not(.arrow)").text == "Seite 2 von 3",
                 "German kept on the next page")

        self.browser.get(self.base + "/quarzello/?mode=4")
        self.wait_heading("Turbo Mittel")
        self.assertEqual(self.page_line(), "Seite 1 von 3")
        self.browser.get(self.base + "/quarzello/?mode=4&lang=en")
        self.wait_heading("Turbo Medium")
        self.click("a[title='Classic Hard']")
        self.wait_heading("Classic Hard")
        self.assertEqual(self.rows(), ["No entries yet"])

    def test_a_french_browser_gets_french_weighed_by_its_q_values(self):
        # Set up for English, the browser sends this header instead: only its weights make the page French.
        type(self).french_browser = french = self.start_browser("en-US,en")
        french.execute_cdp_cmd("Network.enable", {})
        french.execute_cdp_cmd("Network.setExtraHTTPHeaders", {"headers": {"Accept-Language": "fr;q=0.9, en;q=0.8"}})
        french.get(self.base + "/quarzello/?mode=4")
        wait_for(lambda: french.find_element(By.TAG_NAME, "h2").text == "Turbo Moyen", "the French page")
        self.assertEqual(french.find_element(By.TAG_NAME, "html").get_attribute("lang"), "fr")
        self.assertEqual(french.find_element(By.CSS_SELECTOR, ".pages span:not(.arrow)").text, "Page 1 sur 3")
        self.assertEqual(french.find_element(By.CSS_SELECTOR, "th.points").text, "Points")
        self.assertEqual(french.find_element(By.CSS_SELECTOR, "th.place").text, "Rang")
        french.save_screenshot(os.path.join(SCREENSHOTS, "rankings-french.png"))
        french.get(self.base + "/quarzello/?mode=4&lang=de")
        wait_for(lambda: french.find_element(By.TAG_NAME, "h2").text == "Turbo Mittel", "German asked for")
        self.assertEqual(french.find_element(By.TAG_NAME, "html").get_attribute("lang"), "de")

    def test_readable_on_a_phone(self):
        self.show(360, 1000)
        self.click("a[title='Turbo Mittel']")
        self.wait_heading("Turbo Mittel")
        self.assertLessEqual(self.browser.execute_script("return document.documentElement.scrollWidth"), 360,
                             "nothing sticks out sideways")
        # Every name fits beside its place and points, none is cut.
        for cell in self.browser.find_elements(By.CSS_SELECTOR, "td.name"):
            self.assertLessEqual(self.browser.execute_script(
                "return arguments[0].scrollWidth - arguments[0].clientWidth", cell), 0, cell.text)
        self.browser.save_screenshot(os.path.join(SCREENSHOTS, "rankings-360.png"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
