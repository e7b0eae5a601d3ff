"""Headless Chromium driven over its DevTools protocol on a pipe (no web socket, nothing fetched):
open a page, read what it logged and loaded, evaluate in it, take a screenshot, print it.

Debian's chromium, as root: sandbox off, and none of the background connections that this
machine's closed network refuses.
"""

import base64
import json
import os
import queue
import shutil
import subprocess
import tempfile
import threading
import time

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-default-apps", "--mute-audio", "--hide-scrollbars"]


class BrowserError(Exception):
    pass


class Chromium:
    """One browser for the life of the object: `with Chromium() as browser:`."""

    def __init__(self, timeout=30):
        self.timeout = timeout
        self.program = shutil.which("chromium") or shutil.which("chromium-browser")
        if self.program is None:
            raise BrowserError("no chromium: scripts/setup.sh --tests installs it")

    def __enter__(self):
        self.folder = tempfile.mkdtemp(prefix="kes-chromium-")
        commands_read, self.commands = os.pipe()
        self.answers, answers_write = os.pipe()
        # The protocol's pipe is the browser's descriptors 3 (commands) and 4 (answers).
        high_read, high_write = os.dup(commands_read), os.dup(answers_write)
        for fd in (commands_read, answers_write):
            os.close(fd)
        self.process = subprocess.Popen(
            ["bash", "-c", f'exec 3<&{high_read} 4>&{high_write} {high_read}<&- {high_write}>&-; '
             'exec "$@"', "chromium", self.program, *FLAGS,
             f"--user-data-dir={self.folder}", "--remote-debugging-pipe", "about:blank"],
            pass_fds=(high_read, high_write), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(high_read)
        os.close(high_write)
        self.messages = queue.Queue()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self.next_id = 0
        self.events = []
        return self

    def __exit__(self, *failure):
        try:
            self.call("Browser.close")
        except Exception:  # noqa: BLE001 - going anyway
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.commands)
        os.close(self.answers)
        shutil.rmtree(self.folder, ignore_errors=True)

    def _read(self):
        pending = b""
        while True:
            try:
                piece = os.read(self.answers, 1 << 16)
            except OSError:
                piece = b""
            if not piece:
                self.messages.put(None)
                return
            pending += piece
            while b"\0" in pending:
                message, pending = pending.split(b"\0", 1)
                self.messages.put(json.loads(message))

    def _next(self, deadline):
        try:
            message = self.messages.get(timeout=max(0.01, deadline - time.monotonic()))
        except queue.Empty:
            raise BrowserError("chromium did not answer in time") from None
        if message is None:
            raise BrowserError("chromium ended")
        return message

    def call(self, method, params=None, session=None):
        self.next_id += 1
        command = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            command["sessionId"] = session
        os.write(self.commands, json.dumps(command).encode() + b"\0")
        deadline = time.monotonic() + self.timeout
        while True:
            message = self._next(deadline)
            if message.get("id") != self.next_id:
                self.events.append(message)
                continue
            if "error" in message:
                raise BrowserError(f"{method}: {message['error']}")
            return message.get("result", {})

    def wait_for(self, method, session, since=0):
        deadline = time.monotonic() + self.timeout
        seen = since
        while True:
            for event in self.events[seen:]:
                if event.get("method") == method and event.get("sessionId") == session:
                    return event
            seen = len(self.events)
            self.events.append(self._next(deadline))

    def open(self, url, width=1200, height=900, mobile=False):
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = self.call("Target.attachToTarget",
                            {"targetId": target, "flatten": True})["sessionId"]
        page = Page(self, session, url)
        for domain in ("Page", "Runtime", "Log", "Network"):
            self.call(f"{domain}.enable", session=session)
        page.resize(width, height, mobile)
        since = len(self.events)
        self.call("Page.navigate", {"url": url}, session)
        self.wait_for("Page.loadEventFired", session, since)
        page.since = since
        return page


class Page:
    """One page in the browser: what it logged and loaded, and what can be done with it."""

    def __init__(self, browser, session, url):
        self.browser, self.session, self.url, self.since = browser, session, url, 0

    def call(self, method, params=None):
        return self.browser.call(method, params, self.session)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": True})
        if "exceptionDetails" in result:
            raise BrowserError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def _events(self):
        return [event for event in self.browser.events[self.since:]
                if event.get("sessionId") == self.session]

    def problems(self):
        """Every error or warning the page logged, and every exception it threw."""
        found = []
        for event in self._events():
            method, params = event.get("method"), event.get("params", {})
            if method == "Runtime.exceptionThrown":
                found.append(f"exception: {params['exceptionDetails'].get('text')}")
            elif method == "Runtime.consoleAPICalled" and params["type"] in (
                    "error", "warning", "assert"):
                found.append(f"console {params['type']}: {params['args']}")
            elif method == "Log.entryAdded" and params["entry"]["level"] in ("error", "warning"):
                found.append(f"log {params['entry']['level']}: {params['entry']['text']}")
        return found

    def requests(self):
        """Every URL the page asked for but its own."""
        return [event["params"]["request"]["url"] for event in self._events()
                if event.get("method") == "Network.requestWillBeSent"
                and event["params"]["request"]["url"] != self.url]

    def resize(self, width, height, mobile=False):
        self.width, self.mobile = width, mobile
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 2 if mobile else 1,
                   "mobile": mobile})

    def screenshot(self, path, whole=True):
        if whole:
            size = self.call("Page.getLayoutMetrics")["cssContentSize"]
            self.resize(self.width, int(size["height"]) + 1, self.mobile)
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))

    def print_to(self, path):
        data = self.call("Page.printToPDF", {"printBackground": True})["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))
