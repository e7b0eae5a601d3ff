#!/usr/bin/env python3
"""mdprovider_baseline review at a terminal, as a tester answers it: each
difference is shown, a key accepts or skips it, and what was accepted is
written at the end."""

import os
import pty
import select
import sys
import tempfile
import time

TOOL = os.path.abspath(sys.argv[1])


def baseline(records, path):
    """A baseline file of (key, fingerprint, body) records."""
    with open(path, "wb") as out:
        out.write(b"KesMDProviderClient baseline 2\n")
        ordinal = 0
        for key, print_, body in records:
            if key.startswith("transaction "):
                ordinal += 1
                key = "transaction %d seq %s" % (ordinal, key.split()[1])
            out.write(("record %s request %s status 200 media application/xml "
                       "time - hidden - body %d\n" % (key, print_, len(body)))
                      .encode())
            out.write(body.encode() + b"\n")
        out.write(b"end %d\n" % len(records))


def converse(words, answers, cwd):
    """Runs the tool on a terminal, typing each answer at each question;
    returns what the terminal showed and the exit status."""
    pid, fd = pty.fork()
    if pid == 0:
        try:
            os.chdir(cwd)
            os.execv(TOOL, [TOOL] + words)
        finally:
            os._exit(127)
    shown = b""
    pending = list(answers)
    deadline = time.time() + 20
    status = None
    while time.time() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.2)
        if ready:
            try:
                data = os.read(fd, 4096)
            except OSError:
                data = b""
            if not data:
                break
            shown += data
            if shown.endswith(b"q stops: ") and pending:
                os.write(fd, pending.pop(0).encode())
    _, status = os.waitpid(pid, 0)
    return shown.decode().replace("\r\n", "\n"), os.waitstatus_to_exitcode(status)


def main():
    failures = []

    def check(condition, what):
        if not condition:
            failures.append(what)

    with tempfile.TemporaryDirectory() as work:
        old = [("project create", "0000000000000001", "<ok/>"),
               ("transaction 1", "0000000000000002", "<t v='1'/>"),
               ("transaction 2", "0000000000000003", "<t v='2'/>"),
               ("transaction 3", "0000000000000004", "<t v='3'/>"),
               ("project close", "0000000000000005", "<ok/>")]
        new = [old[0], ("transaction 1", "0000000000000002", "<t v='10'/>"),
               ("transaction 2", "0000000000000003", "<t v='20'/>"),
               old[4]]
        base = os.path.join(work, "base")
        baseline(old, base)
        baseline(new, os.path.join(work, "new"))

        # Accept the first, skip the second, stop at the third.
        shown, status = converse(["review", "base", "new"], ["a", "x", "s", "q"],
                                 work)
        check(status == 0, "review ends 0: %d\n%s" % (status, shown))
        check("[1] Differs from the baseline: transaction 1: /t/@v is \"10\" "
              "where the baseline has \"1\"" in shown, "the first is shown:\n" + shown)
        check("--- baseline\n+++ answer\n" in shown, "with its diff:\n" + shown)
        check("[3] Differs from the baseline: removed from the log: transaction 3"
              in shown, "the removal is shown:\n" + shown)
        check(shown.rstrip().endswith('Wrote "base": 1 change accepted'),
              "what was accepted is written:\n" + shown)
        with open(base) as written:
            text = written.read()
        check("<t v='10'/>" in text and "<t v='2'/>" in text and
              "<t v='3'/>" in text, "only the first change is taken:\n" + text)

        # Ctrl-C at a question: nothing is written, the terminal as it was, 130.
        with open(base, "rb") as before_file:
            before = before_file.read()
        shown, status = converse(["review", "base", "new"], ["a", "\x03"], work)
        # As Ctrl-C ends a program: the signal again (a shell's 130).
        check(status in (130, -2), "Ctrl-C ends as Ctrl-C does: %d\n%s" % (status, shown))
        check("Interrupted: nothing is written" in shown, shown)
        with open(base, "rb") as after_file:
            check(after_file.read() == before, "Ctrl-C writes nothing")

        # Nothing accepted: the file stays as it was.
        with open(base, "rb") as before_file:
            before = before_file.read()
        shown, status = converse(["review", "base", "new"], ["q"], work)
        with open(base, "rb") as after_file:
            check(after_file.read() == before, "q leaves the file as it was")
        check('Nothing accepted: "base" is as it was' in shown, shown)

    for failure in failures:
        print("FAILED:", failure)
    print("baseline review: %s" % ("failed" if failures else "passed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
