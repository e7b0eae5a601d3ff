#!/usr/bin/env python3
"""Delivery with authentication against real servers: Apache httpd (Basic, Digest, Negotiate over
a throwaway Kerberos realm, HTTPS), and Samba's NTLM server behind a small front.

    auth_test.py CLIENT_PROGRAM

With KES_WINDOWS_PROGRAM naming the Windows program, its NTLM through SSPI is tested too, under
wine (whose NTLM asks Samba's ntlm_auth).
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "auth"))
import servers  # noqa: E402
from servers import PASSWORD, USER  # noqa: E402

CLIENT = None
STATE = {}


def log_of(count):
    return "<log>" + "".join(f"<transaction seq='{n}'><set v='{n}'/></transaction>"
                             for n in range(1, count + 1)) + "</log>"


def setUpModule():
    folder = tempfile.mkdtemp(prefix="kes-auth-")
    os.chmod(folder, 0o755)
    STATE["folder"] = folder
    STATE["outputs"] = []
    try:
        STATE["realm"] = servers.Realm(folder).__enter__()
        STATE["apache"] = servers.Apache(folder, STATE["realm"]).__enter__()
    except Exception:
        tearDownModule()
        raise
    for count in (7, 63, 503):
        with open(os.path.join(folder, f"log{count}.xml"), "w") as out:
            out.write(log_of(count))


def tearDownModule():
    for name in ("apache", "realm"):
        if name in STATE:
            STATE.pop(name).__exit__(None, None, None)
    shutil.rmtree(STATE["folder"], ignore_errors=True)


class Run:
    """One run of the client: its status, console, and the files it wrote."""

    def __init__(self, address, words, transactions=7, env=None, program=None):
        folder = STATE["folder"]
        files = {name: os.path.join(folder, name) for name in ("trace", "answers", "report.xml")}
        run_env = dict(STATE["realm"].env, MDPROVIDER_DELIVER=address,
                       MDPROVIDER_TRACE=files["trace"], MDPROVIDER_RESPONSES=files["answers"],
                       MDPROVIDER_REPORT=files["report.xml"],
                       KRB5CCNAME=f"FILE:{folder}/session_ccache")
        run_env.update(env or {})
        script = os.path.join(folder, f"log{transactions}.xml")
        command = [CLIENT] if program is None else ["/usr/lib/wine/wine64", program]
        done = subprocess.run(command + ["-t", "AC", "-c", "P", "-s", script] + words,
                              env=run_env, capture_output=True, text=True, timeout=120,
                              stdin=subprocess.DEVNULL)
        self.status, self.out, self.err = done.returncode, done.stdout, done.stderr
        self.requests = []
        self.files = {}
        if os.path.exists(files["trace"]):
            with open(files["trace"], "rb") as trace:
                self.requests = trace.read().split(b"\0")[:-1]
        STATE["outputs"].append(self.out + self.err)
        for name, path in files.items():
            if os.path.exists(path):
                with open(path, "rb") as written:
                    self.files[name] = written.read().decode("utf-8", "replace")
                STATE["outputs"].append(self.files[name])
                os.remove(path)

    def rejections(self):
        return re.findall(r"^Rejected by the provider: (.*)$", self.err, re.M)


def credentials(scheme, password=PASSWORD, user=USER):
    return ["-u", user, "-p", password, "-x", scheme]


class AuthenticationTest(unittest.TestCase):
    def expect_accepted_once(self, run, bodies, context):
        self.assertEqual(run.status, 0, f"{context}: {run.out}{run.err}")
        self.assertEqual(run.rejections(), [], context)
        # Every request reached the provider once, in order: none lost, none twice.
        self.assertEqual(bodies, run.requests, context)

    def test_a_whole_replay_per_scheme_and_host(self):
        apache = STATE["apache"]
        for scheme in ("Basic", "Digest", "Negotiate"):
            for kind in ("keepalive", "two_a_connection", "no_keepalive"):
                transactions = 63 if kind == "keepalive" else 7
                run = Run(apache.address(kind, scheme.lower()), credentials(scheme),
                          transactions)
                self.expect_accepted_once(run, apache.bodies(), f"{scheme} {kind}")
                self.assertEqual(len(run.requests), transactions + 3)
        for mode, close_every in (("connection", 0), ("connection", 2), ("request", 0),
                                  ("request", 3)):
            with servers.NtlmFront(STATE["folder"], mode, close_every) as front:
                run = Run(front.address(), credentials("NTLM"), 63)
                self.expect_accepted_once(run, front.bodies(), f"NTLM {mode} {close_every}")

    def test_a_stale_digest_nonce_is_renewed(self):
        apache = STATE["apache"]
        before = apache.statuses("digest").get("401", 0)
        run = Run(apache.address("keepalive", "digest"), credentials("Digest"), 503)
        self.expect_accepted_once(run, apache.bodies(), "Digest 503")
        # The run outlived several nonces: each was renewed after a 401.
        self.assertGreaterEqual(apache.statuses("digest").get("401", 0) - before, 3)

    def test_a_wrong_password_is_a_rejection_like_any_other(self):
        apache = STATE["apache"]
        expected = ["project create (HTTP 401)", "action execute (HTTP 401)",
                    "project close (HTTP 401)"]
        for scheme in ("Basic", "Digest"):
            run = Run(apache.address("keepalive", scheme.lower()),
                      credentials(scheme, "wrong-pw"))
            self.assertEqual(run.status, 1, scheme)
            self.assertEqual(run.rejections(), expected, scheme)
            self.assertEqual(apache.bodies(), [], scheme)
            self.assertEqual(len(run.requests), 3, scheme)
        with servers.NtlmFront(STATE["folder"], "request") as front:
            run = Run(front.address(), credentials("NTLM", "wrong-pw"))
            self.assertEqual(run.rejections(), expected)
            self.assertEqual(front.bodies(), [])
            run = Run(front.address(), credentials("NTLM", user="mallory"))
            self.assertEqual(run.rejections(), expected)
            self.assertNotIn("The provider asks for", run.err)
            # A scheme the provider does not offer: said once.
            run = Run(front.address(), credentials("Basic"))
            self.assertEqual(run.rejections(), expected)
            self.assertEqual(run.err.count("The provider asks for NTLM; -x names Basic\n"), 1)
        # On Linux an empty password is a password: the user named logs on with it. (On
        # Windows NTLM then signs on as the session, which wine cannot show: its NTLM fails
        # alike for the session and for a user with an empty password.)
        with servers.NtlmFront(STATE["folder"]) as front:
            run = Run(front.address(), credentials("NTLM", ""))
            self.assertEqual(run.rejections(), expected)
            self.assertEqual(set(front.users()), {USER})

    def test_negotiate_gets_its_own_ticket_or_uses_the_session_s(self):
        apache = STATE["apache"]
        address = apache.address("keepalive", "negotiate")
        session = os.path.join(STATE["folder"], "session_ccache")
        for words, message in (
                (credentials("Negotiate", "wrong-pw"),
                 f'Cannot get a Kerberos ticket for "{USER}@KES.TEST": the password is wrong'),
                (credentials("Negotiate", user="nobody"),
                 'Cannot get a Kerberos ticket for "nobody@KES.TEST": the KDC knows no such'),
                (credentials("Negotiate", ""),
                 f'No Kerberos ticket for "{USER}@KES.TEST" in the session\'s credential cache')):
            run = Run(address, words)
            self.assertEqual(run.status, 1, words)
            self.assertTrue(run.err.startswith(message), run.err)
            self.assertTrue(run.err.endswith("\nCould not initialize the client"), run.err)
            self.assertEqual(run.requests, [])
            self.assertEqual(apache.bodies(), [])
        # A ticket of its own leaves the session's cache as it was: absent.
        self.expect_accepted_once(Run(address, credentials("Negotiate")), apache.bodies(),
                                  "Negotiate -u -p")
        self.assertFalse(os.path.exists(session))
        # No KDC to be reached.
        run = Run(address, credentials("Negotiate"),
                  env={"KRB5_CONFIG": os.path.join(STATE["folder"], "no-such-krb5.conf")})
        self.assertEqual(run.status, 1)
        self.assertIn(f'Cannot get a Kerberos ticket for "{USER}', run.err)
        # The session's own ticket, with -u and an empty -p.
        STATE["realm"].kinit(session)
        with open(session, "rb") as cache:
            held = cache.read()
        self.expect_accepted_once(Run(address, credentials("Negotiate", "")), apache.bodies(),
                                  "Negotiate from the session")
        run = Run(address, credentials("Negotiate", "", user="bob"))
        self.assertIn(f'No Kerberos ticket for "bob@KES.TEST" in the session\'s credential '
                      f'cache: it holds the tickets of "{USER}@KES.TEST"', run.err)
        os.remove(session)
        self.assertTrue(held)
        # In the client's own process: GSS-API presents what it did before once the login goes.
        unit_tests = os.path.join(os.path.dirname(CLIENT), "tests", "kes_tests")
        done = subprocess.run([unit_tests, "--gtest_filter=KerberosLoginTest.*", "--gtest_brief=1"],
                              env=dict(STATE["realm"].env, KES_TEST_KRB5_USER=USER,
                                       KES_TEST_KRB5_PASSWORD=PASSWORD),
                              capture_output=True, text=True, timeout=60)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertIn("1 test", done.stdout)
        self.assertNotIn("SKIPPED", done.stdout)

    def test_https_verifies_the_provider(self):
        apache = STATE["apache"]
        trusted = {"MDPROVIDER_CA_FILE": apache.ca}
        self.expect_accepted_once(Run(apache.address("https", "basic"), credentials("Basic"),
                                      env=trusted), apache.bodies(), "HTTPS trusted")
        wrong_host = apache.address("https", "basic").replace("localhost", "127.0.0.1")
        for address, env, reason in (
                (apache.address("https", "basic"), {"MDPROVIDER_CA_FILE": apache.other_ca},
                 "SSL certificate problem"),
                (apache.address("https", "basic"), {}, "SSL certificate problem"),
                (wrong_host, trusted, "no alternative certificate subject name matches")):
            run = Run(address, credentials("Basic"), env=env)
            self.assertEqual(run.status, 1, reason)
            self.assertRegex(run.out, f"Failed to deliver the request to {re.escape(address)}: "
                                      f".*{reason}")
            self.assertEqual(apache.bodies(), [])
        run = Run(apache.address("https", "basic"), credentials("Basic"),
                  env={"MDPROVIDER_CA_FILE": "/no/such/ca.pem"})
        self.assertEqual(run.err, 'Cannot read the CA file MDPROVIDER_CA_FILE="/no/such/ca.pem": '
                                  "No such file or directory\nCould not initialize the client")

    def test_credentials_the_provider_did_not_ask_for(self):
        # A provider that asks for no login answers the body-less probe that opens an NTLM or
        # Digest handshake: that answer decides nothing, and each body goes once.
        apache = STATE["apache"]
        for scheme in ("NTLM", "Digest"):
            run = Run(apache.address("keepalive", "open"), credentials(scheme), 63)
            bodies = apache.bodies()
            self.assertEqual(run.status, 0, f"{scheme}: {run.out}{run.err}")
            self.assertEqual([body for body in bodies if body], run.requests, scheme)
            self.assertLessEqual(bodies.count(b""), 1, f"{scheme}: one probe a run")
        # An empty body refused, or answered 401 without a challenge: the body goes all the same.
        for probe_answer in ((400, [], b"empty"), (401, [], b"<probe/>")):
            odd_provider = servers.OddProvider(
                lambda body, probe=probe_answer: (200, [], b"<ok/>") if body else probe)
            with odd_provider as odd:
                for scheme in ("NTLM", "Digest"):
                    run = Run(odd.address(), credentials(scheme))
                    self.assertEqual(run.status, 0, f"{scheme}: {run.out}{run.err}")
                    self.assertEqual([body for body in odd.bodies if body], run.requests, scheme)
                    odd.bodies.clear()

    def test_https_through_a_proxy(self):
        # The proxy's "200 Connection established" is no answer to the request: a challenge
        # answered over a new tunnel (Connection: close) is still a challenge.
        apache = STATE["apache"]
        with servers.Proxy(STATE["folder"]) as proxy:
            env = {"MDPROVIDER_CA_FILE": apache.ca, "https_proxy": proxy.address(),
                   "HTTPS_PROXY": proxy.address(), "no_proxy": "", "NO_PROXY": ""}
            for kind in ("https", "https_close"):
                for scheme in ("Digest", "Basic"):
                    run = Run(apache.address(kind, scheme.lower()), credentials(scheme), env=env)
                    self.expect_accepted_once(run, apache.bodies(), f"{scheme} {kind} via proxy")
            self.assertIn(f"localhost:{apache.ports['https_close']}", proxy.log())
        # What a proxy asks for is none of the provider's schemes.
        proxy_login = (407, [("Proxy-Authenticate", 'Basic realm="proxy"')], b"")
        with servers.OddProvider(lambda _: proxy_login) as odd:
            run = Run(odd.address(), credentials("NTLM"))
            self.assertEqual(run.status, 1)
            self.assertIn("(HTTP 407)", run.err)
            self.assertNotIn("The provider asks for", run.err)

    def test_a_provider_that_keeps_asking_is_answered_a_few_times(self):
        offer = 'Digest realm="a", nonce="n", algorithm=MD5, stale=true, Basic realm="b"'
        with servers.OddProvider(lambda _: (401, [("WWW-Authenticate", offer)], b"again")) as odd:
            started = time.monotonic()
            run = Run(odd.address(), credentials("Digest"), env={"MDPROVIDER_TIMEOUT": "10"})
            self.assertLess(time.monotonic() - started, 5)
            self.assertEqual(run.status, 1)
            self.assertEqual(run.rejections(), ["project create (HTTP 401)",
                                                "action execute (HTTP 401)",
                                                "project close (HTTP 401)"])
            self.assertEqual(run.err.count("The provider kept asking for credentials: the "
                                           "request is not sent again\n"), 3)
            self.assertIn('message="HTTP 401 (the provider kept asking for credentials)"',
                          run.files["report.xml"])
            self.assertLessEqual(len([body for body in odd.bodies if body]), 3 * 4)
            # Every scheme of the challenge counts: Basic is offered, NTLM is not.
            run = Run(odd.address(), credentials("Basic"))
            self.assertEqual(len(run.rejections()), 3)
            self.assertNotIn("The provider asks for", run.err)
            run = Run(odd.address(), credentials("NTLM"))
            self.assertEqual(run.err.count("The provider asks for Digest, Basic; -x names NTLM\n"),
                             1)

    def test_a_secret_in_an_answer_is_hidden_before_it_is_cut(self):
        # At byte 4,090 of a rejecting answer: the report keeps 4 KiB of it.
        answer = b"x" * 4090 + PASSWORD.encode() + b"y" * 100
        with servers.OddProvider(lambda _: (500, [], answer)) as odd:
            run = Run(odd.address(), credentials("Basic"))
            self.assertEqual(run.status, 1)
            # (Truth tests: the texts are too long to show.)
            self.assertTrue("x" * 4090 + "***y" in run.files["report.xml"], "report")
            self.assertTrue("x" * 4090 + "***" + "y" * 100 + "\0" in run.files["answers"],
                            "answers")
            for name, written in run.files.items():
                self.assertTrue(PASSWORD[:4] not in written, name)
            # As an XML answer writes it, and as the client shows XML (references resolved):
            # in a difference from the baseline and in the echo.
            secret = "Tr0ub&dor"
            odd.answer = lambda _: (200, [], b"<answer login='other'/>")
            baseline = os.path.join(STATE["folder"], "secret.baseline")
            self.assertEqual(Run(odd.address(), credentials("Basic", secret),
                                 env={"MDPROVIDER_RECORD": baseline}).status, 0)
            odd.answer = lambda _: (200, [], b"<answer login='Tr0ub&amp;dor' at='Tr0ub&#38;dor'/>")
            run = Run(odd.address(), credentials("Basic", secret),
                      env={"MDPROVIDER_BASELINE": baseline, "MDPROVIDER_ECHO": "1"})
            self.assertIn("Differs from the baseline: project create: /answer/@at", run.err)
            # What the client shows, references resolved; the files keep the answers as they
            # came, where the password's own forms are hidden.
            for written in (run.out, run.err):
                self.assertNotIn("Tr0ub", written)
            for written in run.files.values():
                self.assertNotIn(secret, written)
                self.assertNotIn("Tr0ub&amp;dor", written)
            # What a Basic login sends, echoed by the provider.
            odd.answer = lambda _: (403, [], odd.headers.get("Authorization", "").encode())
            run = Run(odd.address(), credentials("Basic"))
            self.assertEqual(run.status, 1)
            self.assertTrue(odd.headers.get("Authorization"))
            for written in [run.out, run.err] + list(run.files.values()):
                self.assertNotIn(odd.headers["Authorization"].split()[-1], written)
            # A password written into the address is as secret.
            address = odd.address().replace("://", "://carol:addr-s3cret@")
            odd.answer = lambda _: (200, [], b"<ok said='addr-s3cret'/>")
            run = Run(address, [])
            self.assertEqual(run.status, 0, run.out + run.err)
            for written in [run.out, run.err] + list(run.files.values()):
                self.assertNotIn("addr-s3cret", written)

    def test_an_answer_larger_than_the_limit_fails_its_request(self):
        big = b"<a>" + b"x" * (2 << 20) + b"</a>"
        for chunked in (False, True):
            with servers.OddProvider(lambda _: (200, [], big), chunked=chunked) as odd:
                run = Run(odd.address(), [], env={"MDPROVIDER_ANSWER_LIMIT": "1"})
                self.assertEqual(run.status, 1)
                self.assertEqual(run.out, f"Failed to deliver the request to {odd.address()}: the "
                                          "answer is larger than 1 MiB, the most "
                                          "MDPROVIDER_ANSWER_LIMIT lets the run hold\n")
                self.assertEqual(len(odd.bodies), 1, "no request after it")
                # Under the limit it is held whole.
                run = Run(odd.address(), [], env={"MDPROVIDER_ANSWER_LIMIT": "3"})
                self.assertEqual(run.status, 0, run.out + run.err)
                self.assertEqual(len(run.files["answers"]), len(run.requests) * (len(big) + 1))
        run = Run("http://127.0.0.1:9/", [], env={"MDPROVIDER_ANSWER_LIMIT": "0"})
        self.assertEqual(run.err, 'MDPROVIDER_ANSWER_LIMIT="0" is not a positive whole number '
                                  "of MiB\nCould not initialize the client")

    def test_an_answer_with_a_nul_is_echoed_as_the_text_it_is(self):
        with servers.OddProvider(lambda _: (200, [], b"<a/>\0<b>rest of it</b>")) as odd:
            run = Run(odd.address(), [], env={"MDPROVIDER_ECHO": "1"})
            self.assertEqual(run.status, 0, run.out + run.err)
            self.assertIn("<a/>\0<b>rest of it</b>\tPress any key", run.out)

    def test_a_provider_that_dies_with_the_body_may_have_taken_it(self):
        # It reads the third body and is gone: the retry finds nobody, and the message says the
        # request may have reached it.
        with servers.OddProvider(lambda _: (200, [], b"<ok/>") if len(odd.bodies) < 3
                                 else None) as odd:
            run = Run(odd.address(), [])
            self.assertEqual(run.status, 1)
            self.assertRegex(run.out, "Failed to deliver the request to .*; the request may have "
                                      "reached the provider and is not sent again\n$")
            self.assertEqual(len(odd.bodies), 3)

    @unittest.skipUnless(os.environ.get("KES_WINDOWS_PROGRAM"), "no Windows program named")
    def test_windows_ntlm_through_sspi(self):
        program = os.environ["KES_WINDOWS_PROGRAM"]
        for mode in ("connection", "request"):
            with servers.NtlmFront(STATE["folder"], mode) as front:
                run = Run(front.address(), credentials("NTLM"), program=program)
                self.expect_accepted_once(run, front.bodies(), f"SSPI NTLM {mode}")
                run = Run(front.address(), credentials("NTLM", "wrong-pw"), program=program)
                self.assertEqual(run.status, 1)
                self.assertEqual(front.bodies(), [])

    def test_zz_no_secret_in_any_output(self):
        # Runs last (by name): it reads what every run before it wrote.
        self.assertTrue(STATE["outputs"])
        for output in STATE["outputs"]:
            for secret in (PASSWORD, "wrong-pw", "Authorization", "Negotiate YII", "NTLM TlRM"):
                self.assertNotIn(secret, output)


if __name__ == "__main__":
    CLIENT = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
