#!/usr/bin/env python3
"""The run's page (MDPROVIDER_HTML) as a person gets it: written by real runs of the client, opened
from file:// in headless Chromium with no network, and parsed by a strict HTML5 parser (html5lib).

    page_browser_test.py CLIENT STAND_IN PAGE_SAMPLE OUTPUT_FOLDER

Screenshots of the demo's page (desktop and phone width), its print and the made-up baseline page
are left in OUTPUT_FOLDER (build/) for a person to look at.
"""

import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

import html5lib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page_browser import Chromium  # noqa: E402

CLIENT = STAND_IN = SAMPLE = OUTPUT = None
EXAMPLES = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "examples")
PASSWORD = "s3cret"

# What a hostile provider answers: markup, script, links, controls (C0 and C1), bytes that are
# not UTF-8, and the run's password.
HOSTILE = ("<error><script>window.__pwned='script'</script>"
           "</textarea></pre><img src=x onerror=\"window.__pwned='img'\">"
           "]]> <a href=\"javascript:window.__pwned='link'\">click</a>"
           "<svg onload=\"window.__pwned='svg'\"><style>body{display:none}</style>"
           f" {PASSWORD} ").encode() + b"C0 \x00\x01\x1b[31m\x7f C1 \xc2\x85\xc2\x9f bytes \xff\xfe</error>"


class Provider:
    """A provider on a free loopback port that answers as `answer(body)` says."""

    def __init__(self, answer):
        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):  # noqa: N802 - the server's name
                body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
                status, content = answer(body)
                self.send_response(status)
                self.send_header("Content-Type", "application/xml")
                self.send_header("Content-Length", str(len(content)))
                self.end_headers()
                self.wfile.write(content)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.address = f"http://127.0.0.1:{self.server.server_address[1]}/mdprovider"

    def __enter__(self):
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *failure):
        self.server.shutdown()
        self.server.server_close()


class StandIn:
    """The stand-in provider with these flags, stopped on every way out."""

    def __init__(self, *flags):
        self.process = subprocess.Popen([STAND_IN, "--watch-stdin", *flags], text=True,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        line = self.process.stdout.readline()
        if not line.startswith("listening on "):
            self.__exit__()
            raise RuntimeError(f"the stand-in did not start: {line!r}")
        self.address = f"http://{line.split()[2]}/mdprovider"

    def __enter__(self):
        return self

    def __exit__(self, *failure):
        self.process.stdin.close()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="kes-page-")
        shutil.copy(CLIENT, cls.folder)
        for name in ("action_log.xml", "baseline_rules.txt"):
            shutil.copy(os.path.join(EXAMPLES, name), cls.folder)
        cls.browser = Chromium().__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.browser.__exit__(None, None, None)
        shutil.rmtree(cls.folder, ignore_errors=True)

    def run_client(self, words, **env):
        """Runs the client in the test's folder; returns its exit status."""
        run_env = {key: value for key, value in os.environ.items()
                   if not key.startswith("MDPROVIDER_")}
        run_env.update(env)
        program = os.path.join(self.folder, os.path.basename(CLIENT))
        return subprocess.run([program, *words], env=run_env, cwd=self.folder,
                              stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=120).returncode

    def page(self, name, **size):
        """The page written to `name`: strictly valid HTML, opened clean in the browser."""
        path = os.path.join(self.folder, name)
        with open(path, "rb") as written:
            content = written.read()
        self.assertNotIn(PASSWORD.encode(), content)
        # Raises on the first parse error, a character HTML does not allow included.
        html5lib.HTMLParser(strict=True).parse(content)
        page = self.browser.open("file://" + path, **size)
        self.addCleanup(lambda: self.assertEqual(page.problems(), []))
        self.addCleanup(lambda: self.assertEqual(page.requests(), []))
        self.assertIsNone(page.evaluate("window.__pwned"))
        self.assertEqual(page.evaluate("document.scripts.length"), 1)
        self.assertEqual(page.evaluate(
            "document.querySelectorAll('img, iframe, object, embed, link, base').length"), 0)
        self.assertEqual(page.evaluate(
            "[...document.links].filter(a => !a.getAttribute('href').startsWith('#')).length"), 0)
        return page

    def text(self, page, selector):
        return page.evaluate(f"document.querySelector({selector!r}).textContent")

    def test_the_demos_page_shows_the_run_and_its_difference(self):
        with StandIn() as recorded:
            self.assertEqual(self.run_client(["-t", "AC", "-c", "Recorded", "-s", "action_log.xml"],
                                             MDPROVIDER_DELIVER=recorded.address,
                                             MDPROVIDER_RECORD="demo.baseline"), 0)
        with StandIn("--differ", "3") as changed:
            status = self.run_client(["-t", "AC", "-c", "Changed", "-s", "action_log.xml"],
                                     MDPROVIDER_DELIVER=changed.address,
                                     MDPROVIDER_BASELINE="demo.baseline",
                                     MDPROVIDER_BASELINE_RULES="baseline_rules.txt",
                                     MDPROVIDER_REPORT="demo-report.xml",
                                     MDPROVIDER_HTML="demo-page.html")
        self.assertEqual(status, 1)
        page = self.page("demo-page.html")
        self.assertEqual(self.text(page, "#verdict"), "failed")
        self.assertEqual(self.text(page, "#why"), "1 answer differs from the baseline")
        for figure, value in (("requests", "7"), ("accepted", "7"), ("rejected", "0"),
                              ("failed", "0"), ("differing", "1"), ("unreached", "0")):
            self.assertEqual(self.text(page, f"#count-{figure}"), value, figure)
        self.assertEqual(self.text(page, "#time-count"), "7")
        self.assertEqual(page.evaluate("document.querySelectorAll('#slowest-table tbody tr')"
                                       ".length"), 7)
        summary = self.text(page, "#differing summary")
        self.assertTrue(summary.startswith("transaction 2: "), summary)
        self.assertIn('"Sales region (changed)" where the baseline has "Sales region"', summary)
        # Folded until asked; the page's own script unfolds it.
        self.assertFalse(page.evaluate("document.querySelector('#differing details').open"))
        page.evaluate("document.querySelector('.tools button').click()")
        self.assertTrue(page.evaluate("document.querySelector('#differing details').open"))
        page.screenshot(os.path.join(OUTPUT, "run_page_demo.png"))
        page.print_to(os.path.join(OUTPUT, "run_page_demo.pdf"))
        with open(os.path.join(OUTPUT, "run_page_demo.pdf"), "rb") as printed:
            self.assertEqual(printed.read(5), b"%PDF-")

        phone = self.page("demo-page.html", width=390, height=844, mobile=True)
        self.assertLessEqual(phone.evaluate("document.documentElement.scrollWidth"), 390)
        phone.screenshot(os.path.join(OUTPUT, "run_page_phone.png"))

    def test_hostile_answers_show_as_text_and_run_nothing(self):
        with Provider(lambda body: (500, HOSTILE)) as provider:
            self.assertEqual(self.run_client(
                ["-t", "AC", "-c", "<script>window.__pwned='project'</script>", "-s",
                 "action_log.xml", "-u", "alice", "-p", PASSWORD, "-x", "Basic"],
                MDPROVIDER_DELIVER=provider.address, MDPROVIDER_HTML="hostile.html"), 1)
        page = self.page("hostile.html")
        self.assertEqual(self.text(page, "#count-rejected"), "3")
        shown = self.text(page, "#problems-table")
        for text in ("<script>window.__pwned='script'</script>", "</textarea></pre><img src=x",
                     "]]> <a href=\"javascript:", "C0 \u2400\u2401\u241b[31m\u2421 C1 \ufffd\ufffd",
                     "bytes \ufffd\ufffd", "***"):
            self.assertIn(text, shown)
        self.assertIn("<script>window.__pwned='project'</script>", self.text(page, "h1"))

        # Differences whose lines and diff carry what the answers hold.
        def plain(body):
            return 200, b"<answer status='ok'><p>plain</p></answer>"

        def changed(body):
            if b'action="create"' in body:
                return 200, ("<answer status='ok'><p>&lt;script&gt;window.__pwned='diff'"
                             "&lt;/script&gt;]]&gt;&#x85;&#x7f;</p></answer>").encode()
            return 200, b"\xff\xfe<script>window.__pwned='bytes'</script>\x01"

        with Provider(plain) as provider:
            self.run_client(["-t", "AC", "-c", "P", "-s", "action_log.xml"],
                            MDPROVIDER_DELIVER=provider.address, MDPROVIDER_RECORD="h.baseline")
        with Provider(changed) as provider:
            self.assertEqual(self.run_client(
                ["-t", "AC", "-c", "P", "-s", "action_log.xml"],
                MDPROVIDER_DELIVER=provider.address, MDPROVIDER_BASELINE="h.baseline",
                MDPROVIDER_HTML="hostile-diff.html"), 1)
        page = self.page("hostile-diff.html")
        self.assertEqual(self.text(page, "#count-differing"), "7")
        self.assertIn("<script>window.__pwned='diff'</script>]]>",
                      self.text(page, "#differing"))

    def test_the_baseline_part_shows_what_it_is_fed(self):
        sample = os.path.join(self.folder, "sample.html")
        subprocess.run([SAMPLE, sample], check=True, timeout=60)
        page = self.page("sample.html")
        shutil.copy(sample, os.path.join(OUTPUT, "run_page_sample.html"))
        self.assertEqual(self.text(page, "#count-differing"), "12")
        self.assertEqual(page.evaluate("document.querySelectorAll('#digest-table tbody tr')"
                                       ".length"), 8)
        self.assertEqual(page.evaluate("document.querySelectorAll('#differing tr.changed')"
                                       ".length"), 12)
        self.assertEqual(page.evaluate("document.querySelectorAll('#differing tr.added')"
                                       ".length"), 12)
        self.assertEqual(page.evaluate("document.querySelectorAll('#grown-table tbody tr')"
                                       ".length"), 20)
        self.assertIn("Sales <script>", self.text(page, "h1"))
        # The filter keeps the requests that hold the words typed.
        page.evaluate("const box = document.querySelector('#baseline input.filter');"
                      "box.value = 'transaction 132'; box.dispatchEvent(new Event('input'))")
        self.assertEqual(page.evaluate(
            "[...document.querySelectorAll('#differing details')].filter(d => !d.hidden).length"),
            1)
        page.evaluate("document.querySelectorAll('#differing details')"
                      ".forEach(d => { d.hidden = false; d.open = true; })")
        page.screenshot(os.path.join(OUTPUT, "run_page_sample.png"))

    def test_runs_that_deliver_nothing_or_fail(self):
        with open(os.path.join(self.folder, "bad.xml"), "w") as bad:
            bad.write("<log><transaction>")
        self.assertEqual(self.run_client(["-t", "AC", "-c", "P", "-s", "action_log.xml", "-b2"],
                                         MDPROVIDER_HTML="nowhere.html"), 0)
        page = self.page("nowhere.html")
        self.assertEqual(self.text(page, "#count-requests"), "6")
        self.assertIn("sent nowhere", self.text(page, "#no-times"))
        self.assertEqual(self.run_client(["-t", "AC", "-c", "P", "-s", "bad.xml"],
                                         MDPROVIDER_HTML="failed.html"), 1)
        page = self.page("failed.html")
        self.assertEqual(self.text(page, "#verdict"), "failed")
        self.assertIn("Failed to parse", self.text(page, "#why"))


if __name__ == "__main__":
    CLIENT, STAND_IN, SAMPLE, OUTPUT = (os.path.abspath(word) for word in sys.argv[1:5])
    del sys.argv[1:5]
    unittest.main(verbosity=2)
