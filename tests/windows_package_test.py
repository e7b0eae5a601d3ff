#!/usr/bin/env python3
"""The Windows package as a tester gets it: the zip unpacked, every command of its Windows README
(README.txt) run as written under wine at a command prompt in the unpacked folder, each compared
with the Linux run of the same command in a copy of the folder that holds the Linux programs,
and demo.cmd; a stand-in of the tester's own, started elsewhere, outlives both.

    windows_package_test.py ZIP LINUX_BUILD

LINUX_BUILD holds the Linux KesMDProviderClient and mdprovider_stand_in. WINEPREFIX names the
prefix to run wine in (scripts/windows.sh makes one).
"""

import os
import re
import shlex
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

WINE = "/usr/lib/wine/wine64"
FOLDER = "KesMDProviderClient"
PORT = 8080  # the one the package's configuration names
ZIP = LINUX_BUILD = None
STATE = {}


def setUpModule():
    STATE["temp"] = tempfile.mkdtemp(prefix="kes-package-")
    with zipfile.ZipFile(ZIP) as package:
        STATE["names"] = package.namelist()
        package.extractall(os.path.join(STATE["temp"], "zip"))


def tearDownModule():
    stop_stand_ins(STATE["temp"])
    shutil.rmtree(STATE["temp"], ignore_errors=True)


def fresh_copy(name):
    """A copy of the unpacked folder, as a tester has it before a first command."""
    target = os.path.join(STATE["temp"], name, FOLDER)
    shutil.copytree(os.path.join(STATE["temp"], "zip", FOLDER), target)
    return target


def linux_copy(name):
    """The unpacked folder with the Linux programs in bin/ in place of the Windows ones."""
    target = fresh_copy(name)
    for program in ("KesMDProviderClient", "mdprovider_stand_in", "mdprovider_baseline"):
        os.remove(os.path.join(target, "bin", program + ".exe"))
        shutil.copy2(os.path.join(LINUX_BUILD, program), os.path.join(target, "bin", program))
    return target


def stand_ins(under):
    """The stand-ins, Linux or Windows, that run from a folder under `under`: their process ids
    and how they were started (wine gives its programs' Windows paths)."""
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as command:
                program = command.read().split(b"\0")[0].decode("utf-8", "replace")
        except OSError:
            continue
        if "mdprovider_stand_in" in program and (
                program.startswith(under) or program.startswith("Z:" + under.replace("/", "\\"))):
            found[int(pid)] = program
    return found


def stand_ins_left(under, seconds=10):
    """The stand-ins still running under `under` once those being stopped have had time to
    go: taskkill returns before its process has gone."""
    deadline = time.monotonic() + seconds
    while (found := stand_ins(under)) and time.monotonic() < deadline:
        time.sleep(0.1)
    return found


def stop_stand_ins(under):
    for pid in stand_ins(under):
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


class OwnStandIn:
    """A stand-in of the tester's own, run by wine from a folder outside the package on a port
    of its own: what the package's commands stop must not be it."""

    def __enter__(self):
        self.folder = os.path.join(tempfile.mkdtemp(dir=STATE["temp"]), "own")
        os.makedirs(self.folder)
        program = os.path.join(self.folder, "mdprovider_stand_in.exe")
        shutil.copy2(os.path.join(STATE["temp"], "zip", FOLDER, "bin",
                                  "mdprovider_stand_in.exe"), program)
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        self.log = os.path.join(self.folder, "own.out")
        with open(self.log, "w") as output:
            self.process = subprocess.Popen([WINE, program, "--port", str(port)],
                                            cwd=self.folder, env=environment(),
                                            stdin=subprocess.DEVNULL, stdout=output,
                                            stderr=subprocess.STDOUT)
        if not wait_for_line(self.log).startswith("listening on "):
            raise AssertionError("the tester's own stand-in did not start")
        return self

    def running(self):
        return bool(stand_ins(self.folder))

    def __exit__(self, *_):
        stop_stand_ins(self.folder)
        self.process.kill()
        self.process.wait()


def environment():
    """This process's environment without the client's settings, and with no proxy for
    loopback."""
    env = {name: value for name, value in os.environ.items()
           if not name.startswith("MDPROVIDER_") and name.lower() != "no_proxy"}
    env.update(NO_PROXY="127.0.0.1,localhost", no_proxy="127.0.0.1,localhost", WINEDEBUG="-all")
    return env


def port_is_free(port):
    with socket.socket() as probe:
        try:
            probe.bind(("127.0.0.1", port))
        except OSError:
            return False
    return True


def console(text):
    """Console text as Linux writes it: CR LF read as LF."""
    return text.replace("\r\n", "\n")


def without_times(text):
    """The delivery summary without its seconds, which differ from run to run."""
    return re.sub(r"(rejected in )[0-9.]+ s\b", r"\1T s", text)


def without_folder(text, folder):
    """The console with the package's folder, as a Linux or a Windows program names it, written
    as <folder>/ and the separators after it as slashes; a relative path in quotes (as
    mdprovider_baseline names the files it was given) with slashes too."""
    windows = "Z:" + folder.replace("/", "\\")
    for form in (folder, windows):
        text = re.sub(re.escape(form) + r'([^"\s]*)',
                      lambda found: "<folder>" + found.group(1).replace("\\", "/"), text)
    return re.sub(r'"((?:\.\.|bin)\\[^"]*)"',
                  lambda found: '"' + found.group(1).replace("\\", "/") + '"', text)


def windows_blocks(readme):
    """The README's commands for Windows: every line of every ```bat block (indented or not),
    a block a session of the command prompt."""
    return [[line[len(indent):] for line in body.splitlines() if line.strip()]
            for indent, body in re.findall(r"^( *)```bat\n(.*?)^\1```$", readme, re.M | re.S)]


def read_text(path):
    with open(path, encoding="utf-8", errors="replace") as text:
        return text.read()


def wait_for_line(path, timeout=30):
    """What `path` holds once it has a line."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        content = read_text(path) if os.path.exists(path) else ""
        if "\n" in content:
            return console(content)
        time.sleep(0.1)
    return ""


class Step:
    def __init__(self, command, status, out, err):
        self.command, self.status, self.out, self.err = command, status, out, err
        self.left = {}  # after a taskkill: the stand-ins still running


class WindowsPrompt:
    """A command prompt in the unpacked folder under wine: each command runs as a batch file
    of the session's `set` commands so far followed by it, so that cmd reads every word as
    written, quotes and all."""

    def __init__(self, folder):
        self.folder = folder
        self.sets = []
        self.status = 0  # the last command's, which `if errorlevel` reads
        self.scratch = tempfile.mkdtemp(dir=STATE["temp"])

    def run(self, line, number):
        if line.lower().startswith("set "):
            self.sets.append(line)
            return None
        batch = os.path.join(self.scratch, f"step{number}.cmd")
        # A child cmd's exit sets ERRORLEVEL as the command before left it.
        carried = [f"cmd /c exit {self.status}"] if line.lower().startswith("if ") else []
        with open(batch, "w", newline="\r\n") as out:
            out.write("\n".join(["@echo off"] + self.sets + carried + [line]) + "\n")
        command = [WINE, "cmd", "/c", "Z:" + batch.replace("/", "\\")]
        if line.lower().startswith("start /b "):
            # What it starts keeps the console: its output goes to a file, read once it
            # has said it listens.
            log = os.path.join(self.scratch, f"step{number}.out")
            with open(log, "w") as output:
                status = subprocess.run(command, cwd=self.folder, env=environment(),
                                        stdin=subprocess.DEVNULL, stdout=output,
                                        stderr=subprocess.STDOUT, timeout=60).returncode
            return Step(line, status, wait_for_line(log), "")
        done = subprocess.run(command, cwd=self.folder, env=environment(),
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        step = Step(line, done.returncode, console(done.stdout.decode("utf-8", "replace")),
                    console(done.stderr.decode("utf-8", "replace")))
        if line.lower().startswith("taskkill "):
            step.left = stand_ins_left(self.folder)
        if not line.lower().startswith("if "):
            self.status = done.returncode
        return step


class LinuxShell:
    """The same commands for the Linux programs: backslashes read as slashes, `set` as the
    environment, `start /b` as a background process and `taskkill` as the end of it."""

    def __init__(self, folder):
        self.folder = folder
        self.env = environment()
        self.started = []
        self.status = 0
        self.scratch = tempfile.mkdtemp(dir=STATE["temp"])

    def run(self, line, number):
        words = shlex.split(line.replace("\\", "/"))
        if words[:2] == ["set", "/p"]:
            # set /p NAME=<file: the file's first line.
            name, _, source = line[7:].partition("=<")
            with open(os.path.join(self.folder, source)) as value:
                self.env[name] = value.readline().rstrip("\r\n")
            return None
        if words[0].lower() == "set":
            name, _, value = line[4:].partition("=")
            self.env[name] = value.replace("\\", "/")
            return None
        if words[0] == "if":
            # if [not] errorlevel N echo TEXT, as cmd reads it.
            found = re.fullmatch(r"if (not )?errorlevel (\d+) echo (.*)", line)
            if found is None:
                raise AssertionError(f"no Linux counterpart of {line!r}")
            holds = (self.status >= int(found.group(2))) != bool(found.group(1))
            text = found.group(3).replace("%errorlevel%", str(self.status))
            # echo leaves ERRORLEVEL as it was.
            return Step(line, self.status, text + "\n" if holds else "", "")
        if words[:2] == ["start", "/b"]:
            log = os.path.join(self.scratch, f"step{number}.out")
            with open(log, "w") as output:
                self.started.append(subprocess.Popen(
                    [self.program(words[2])] + words[3:], cwd=self.folder, env=self.env,
                    stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT))
            return Step(line, 0, wait_for_line(log), "")
        if words[0] == "taskkill":
            # /f: killed, as taskkill /f kills; it says nothing on the way out.
            for process in self.started:
                process.kill()
                process.wait(timeout=10)
            self.started = []
            return Step(line, 0, "", "")
        if not words[0].startswith("bin/"):
            raise AssertionError(f"no Linux counterpart of {line!r}")
        done = subprocess.run([self.program(words[0])] + words[1:], cwd=self.folder,
                              env=self.env, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=120)
        self.status = done.returncode
        return Step(line, done.returncode, done.stdout.decode("utf-8", "replace"),
                    done.stderr.decode("utf-8", "replace"))

    def program(self, word):
        name = word[:-4] if word.endswith(".exe") else word
        return os.path.join(self.folder, name)

    def close(self):
        for process in self.started:
            process.kill()
            process.wait()


def run_block(shell, block):
    return [step for number, line in enumerate(block) if (step := shell.run(line, number))]


def files_written(folder):
    """What the runs left in the folder: every file the package did not bring."""
    brought = {name[len(FOLDER) + 1:] for name in STATE["names"]}
    found = set()
    for root, _, files in os.walk(folder):
        for name in files:
            path = os.path.relpath(os.path.join(root, name), folder)
            if path not in brought and path.removesuffix(".exe") not in (
                    "bin/KesMDProviderClient", "bin/mdprovider_stand_in",
                    "bin/mdprovider_baseline"):
                found.add(path)
    return found


class PackageTest(unittest.TestCase):
    def test_the_zip_is_one_install_tree(self):
        files = sorted(name for name in STATE["names"] if not name.endswith("/"))
        self.assertEqual(files, [f"{FOLDER}/{name}" for name in (
            "README.md", "README.txt", "bin/KesMDProviderClient.exe",
            "bin/mdprovider_baseline.exe", "bin/mdprovider_stand_in.exe",
            "configuration/mdproviderconf.xml", "demo.cmd",
            "examples/action_log.xml", "examples/baseline_rules.txt", "examples/ma_query.xml",
            "examples/stylesheet.xml")])
        # cmd finds a batch file's labels reliably only in one whose lines end with CR LF;
        # Notepad before Windows 10 shows a text file whole only with them.
        for name in ("demo.cmd", "README.txt"):
            with open(os.path.join(STATE["temp"], "zip", FOLDER, name), "rb") as text:
                lines = text.read().split(b"\n")
            self.assertEqual(lines[-1], b"", name)
            self.assertEqual([line for line in lines[:-1] if not line.endswith(b"\r")], [], name)

    def test_every_windows_command_of_the_readme(self):
        if not port_is_free(PORT):
            self.fail(f"port {PORT} of 127.0.0.1 is taken here: the package's commands need it")
        windows, linux = fresh_copy("readme-windows"), linux_copy("readme-linux")
        with open(os.path.join(windows, "README.txt"), encoding="utf-8") as readme:
            blocks = windows_blocks(readme.read().replace("\r\n", "\n"))
        commands = [line for block in blocks for line in block]
        # What the guide must show: its first command, delivery by the configuration file,
        # the demo, every variable set as cmd sets it, an exit status read by if errorlevel,
        # and the stand-in stopped by its own process id.
        self.assertIn(r"bin\KesMDProviderClient.exe -t AC -c Demo -s ..\examples\action_log.xml"
                      r" -b2 -e4", commands)
        self.assertIn("set MDPROVIDER_DELIVER=1", commands)
        self.assertIn("demo.cmd", commands)
        self.assertTrue(any(line.startswith("if errorlevel 1 ") for line in commands))
        self.assertNotIn("taskkill /im mdprovider_stand_in.exe /f", commands)
        self.assertEqual([line for line in commands if re.match(r"set \S* =|set \S*= ", line)],
                         [])
        with OwnStandIn() as own:
            for block in blocks:
                # demo.cmd has a test of its own.
                block = [line for line in block if line != "demo.cmd"]
                prompt, shell = WindowsPrompt(windows), LinuxShell(linux)
                try:
                    on_windows = run_block(prompt, block)
                    stop_stand_ins(windows)
                    on_linux = run_block(shell, block)
                finally:
                    shell.close()
                    stop_stand_ins(windows)
                    stop_stand_ins(linux)
                for win, lin in zip(on_windows, on_linux):
                    with self.subTest(command=win.command):
                        self.assertEqual(win.status, lin.status, win.out + win.err)
                        if win.command.startswith("taskkill"):
                            self.assertEqual(win.status, 0, win.out + win.err)
                            self.assertEqual(win.left, {})
                            continue
                        self.assertEqual(without_times(without_folder(win.out, windows)),
                                         without_times(without_folder(lin.out, linux)))
                        self.assertEqual(without_times(without_folder(win.err, windows)),
                                         without_times(without_folder(lin.err, linux)))
                self.assertEqual(files_written(windows), files_written(linux), block)
            self.assertTrue(own.running(), "the package's commands stopped the tester's own")
        # The report of the guide went where it says: into bin\.
        self.assertIn("bin/report.xml", files_written(windows))

    def test_demo(self):
        if not port_is_free(PORT):
            self.fail(f"port {PORT} of 127.0.0.1 is taken here: demo.cmd needs it")
        folder = fresh_copy("demo")
        # Its console goes to files: a stand-in it left running would hold a pipe open.
        outputs = [os.path.join(STATE["temp"], name) for name in ("demo.out", "demo.err")]
        with OwnStandIn() as own:
            try:
                with open(outputs[0], "wb") as out, open(outputs[1], "wb") as err:
                    status = subprocess.run([WINE, "cmd", "/c", "demo.cmd"], cwd=folder,
                                            env=environment(), stdin=subprocess.DEVNULL,
                                            stdout=out, stderr=err, timeout=300).returncode
                left = stand_ins_left(folder)
            finally:
                stop_stand_ins(folder)
            # It stops the stand-in it started, by its process id, and no other.
            self.assertTrue(own.running(), "demo.cmd stopped the tester's own stand-in")
        out, err = (console(read_text(path)) for path in outputs)
        self.assertEqual(status, 0, out + err)
        self.assertEqual(left, {}, "demo.cmd left the stand-in running")
        self.assertNotIn("FAILED", out)
        statuses = re.findall(r"^\(exit status (\d+)\)$", out, re.M)
        # Three runs built, three delivered, one refused, three with the baseline.
        self.assertEqual(statuses, ["0"] * 6 + ["1", "0", "0", "1"], out)
        self.assertEqual(len(re.findall(r"^\(exit status 1, as expected\)$", out, re.M)), 2)
        self.assertEqual(out.count("listening on 127.0.0.1:8080\n"), 2)
        self.assertIn("Transaction count: 4\n\n\nTransaction: 2\n\nTransaction: 3\n", out)
        # The delivered requests and the stand-in's answers, as the client's echo shows them.
        self.assertIn('---->Request:\n<mdprovider type="project" action="create" model="Demo"/>',
                      out)
        self.assertRegex(out, r'<----Response:\n<answer type="project" action="create" '
                              r'status="ok" time="[^"]+" id="[0-9a-f]{16}"/>')
        self.assertRegex(out, r'<error status="404" time="[^"]+" id="[0-9a-f]{16}">')
        self.assertIn("Rejected by the provider: project open (HTTP 404): no such project\n",
                      err)
        self.assertEqual(len(re.findall(r"^Differs from the baseline: ", err, re.M)), 1, err)
        # The baseline as recorded, and the report's failure for the answer that differs.
        self.assertIn("(the baseline, bin\\demo.baseline:)\nKesMDProviderClient baseline 2\n", out)
        self.assertRegex(out, r'<testcase classname="Changed" name="transaction 2" time="[0-9.]+">'
                              r'<failure message="[^"]*Sales region \(changed\)')
        # Wine's type stops at a NUL: the trace of the last run that kept one (XS, delivered
        # nowhere) is read here instead.
        with open(os.path.join(folder, "bin", "demo.trace"), "rb") as trace:
            requests = trace.read().split(b"\0")
        self.assertEqual(requests[-1], b"")
        self.assertEqual(requests[0], b'<mdprovider type="project" action="open" model="Demo"/>')
        self.assertEqual(len(requests), 4)
        self.assertTrue(os.path.getsize(os.path.join(folder, "bin", "demo.baseline")) > 0)
        # The page of the run with the difference, and where the demo says it is.
        self.assertRegex(out, r"\(the run's page, one file to open in a browser: .*\\bin\\"
                              r"demo-page\.html\)\n")
        with open(os.path.join(folder, "bin", "demo-page.html"), encoding="utf-8") as page:
            self.assertIn('id="count-differing">1<', page.read())
        self.assertFalse(os.path.exists(os.path.join(folder, "bin", "demo.pid")))
        self.assertTrue(out.endswith("== Every step ended as it should\n"), out)


if __name__ == "__main__":
    ZIP = os.path.abspath(sys.argv.pop(1))
    LINUX_BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
