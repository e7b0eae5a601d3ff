"""Real servers for the authentication tests, each on a free loopback port of its own, in a
folder of its own, and stopped on every way out (they are context managers).

- Realm: a throwaway MIT Kerberos realm, KES.TEST, with its KDC, a user and the service keys
  HTTP/localhost and HTTP/127.0.0.1 in a keytab.
- Apache: Apache httpd with a CGI provider that records every body it is given and answers 200,
  behind Basic (/basic), Digest (/digest, nonces that live 2 s) and Negotiate (/negotiate), on
  hosts with keep-alive on, at most 2 requests a connection, and off, and over HTTPS with a
  certificate for localhost from a CA made here.
- NtlmFront: tests/auth/ntlm_front.py.
- Proxy: tinyproxy, an HTTP proxy that tunnels HTTPS with CONNECT.
- OddProvider: a provider in this process that answers each request as a test tells it to (a
  challenge for ever, an answer of a given size or status) and records what arrived.
"""

import hashlib
import http.server
import os
import socket
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REALM = "KES.TEST"
USER = "alice"
PASSWORD = "Kes-s3cret-pw"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for_port(port, process, what, seconds=15):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError(f"{what} ended with status {process.returncode}")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError(f"{what} did not listen on {port}")


def stop(process):
    if process and process.poll() is None:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    for stream in (process.stdin, process.stdout, process.stderr) if process else ():
        if stream:
            stream.close()


def take_bodies(path):
    """The bodies a provider recorded in `path`, each ended by a NUL, in order; then forgets them."""
    if not os.path.exists(path):
        return []
    with open(path, "rb") as got:
        bodies = got.read().split(b"\0")[:-1]
    os.remove(path)
    return bodies


def run(command, env=None, stdin=None):
    subprocess.run(command, env=env, input=stdin, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE)


class Realm:
    """The KDC of KES.TEST. `env` points a process at the realm (KRB5_CONFIG)."""

    def __init__(self, folder):
        self.folder = os.path.join(folder, "realm")
        self.process = None

    def __enter__(self):
        os.makedirs(self.folder)
        port = free_port()
        self.keytab = os.path.join(self.folder, "http.keytab")
        config = os.path.join(self.folder, "krb5.conf")
        with open(config, "w") as out:
            out.write(f"""[libdefaults]
  default_realm = {REALM}
  dns_lookup_realm = false
  dns_lookup_kdc = false
  rdns = false
  dns_canonicalize_hostname = false
  udp_preference_limit = 1
[realms]
  {REALM} = {{
    kdc = 127.0.0.1:{port}
  }}
[domain_realm]
  localhost = {REALM}
  127.0.0.1 = {REALM}
""")
        profile = os.path.join(self.folder, "kdc.conf")
        with open(profile, "w") as out:
            out.write(f"""[kdcdefaults]
  kdc_listen = 127.0.0.1:{port}
  kdc_tcp_listen = 127.0.0.1:{port}
[realms]
  {REALM} = {{
    database_name = {self.folder}/principal
    key_stash_file = {self.folder}/stash
    acl_file = {self.folder}/kadm5.acl
    max_life = 1h
  }}
[logging]
  kdc = FILE:{self.folder}/kdc.log
""")
        self.env = dict(os.environ, KRB5_CONFIG=config, KRB5_KDC_PROFILE=profile,
                        KRB5CCNAME=f"FILE:{self.folder}/unused_ccache")
        run(["kdb5_util", "create", "-s", "-r", REALM, "-P", "master-pw"], self.env)
        run(["kadmin.local", "-r", REALM, "-q",
             f"addprinc -pw {PASSWORD} +requires_preauth {USER}"], self.env)
        for host in ("localhost", "127.0.0.1"):
            run(["kadmin.local", "-r", REALM, "-q", f"addprinc -randkey HTTP/{host}"], self.env)
            run(["kadmin.local", "-r", REALM, "-q", f"ktadd -k {self.keytab} HTTP/{host}"],
                self.env)
        os.chmod(self.keytab, 0o644)  # the web server's user reads it
        self.process = subprocess.Popen(["krb5kdc", "-n"], env=self.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for_port(port, self.process, "krb5kdc")
        return self

    def __exit__(self, *_):
        stop(self.process)

    def kinit(self, cache):
        """A ticket for the user in the credential cache `cache`, as a tester's session has."""
        run(["kinit", "-c", cache, USER], self.env, stdin=(PASSWORD + "\n").encode())


CGI_PROVIDER = """#!/bin/sh
# Records the body it is given, then a NUL, and answers 200; a while later
# where PAUSE asks for it, so that a run outlives a Digest nonce.
{ cat; printf '\\0'; } >> "$BODIES"
[ -n "$PAUSE" ] && sleep "$PAUSE"
printf 'Content-Type: application/xml\\r\\n\\r\\n<ok/>'
"""


class Apache:
    """apache2 -f <config>: `address(kind, path)` gives an address; `bodies()` what arrived."""

    KINDS = ("keepalive", "two_a_connection", "no_keepalive", "https", "https_close")

    def __init__(self, folder, realm):
        self.folder = os.path.join(folder, "apache")
        self.realm = realm
        self.process = None

    def __enter__(self):
        os.makedirs(self.folder)
        os.chmod(self.folder, 0o755)
        for part in ("logs", "cgi", "run"):
            os.makedirs(os.path.join(self.folder, part))
        self.body_file = os.path.join(self.folder, "bodies", "bodies")
        os.makedirs(os.path.dirname(self.body_file))
        os.chmod(os.path.dirname(self.body_file), 0o777)
        provider = os.path.join(self.folder, "cgi", "provider")
        with open(provider, "w") as out:
            out.write(CGI_PROVIDER)
        os.chmod(provider, 0o755)
        run(["htpasswd", "-cb", os.path.join(self.folder, "basic.users"), USER, PASSWORD])
        digest_users = os.path.join(self.folder, "digest.users")
        with open(digest_users, "w") as out:
            hashed = hashlib.md5(f"{USER}:mdprovider:{PASSWORD}".encode()).hexdigest()
            out.write(f"{USER}:mdprovider:{hashed}\n")
        self.make_certificates()
        self.ports = {kind: free_port() for kind in self.KINDS}
        config = os.path.join(self.folder, "apache2.conf")
        with open(config, "w") as out:
            out.write(self.config())
        env = dict(self.realm.env, APACHE_RUN_DIR=os.path.join(self.folder, "run"))
        self.process = subprocess.Popen(["apache2", "-f", config, "-DFOREGROUND"], env=env,
                                        start_new_session=True,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        for port in self.ports.values():
            wait_for_port(port, self.process, "apache2")
        return self

    def __exit__(self, *_):
        stop(self.process)

    def make_certificates(self):
        """A CA, a certificate for localhost signed by it, and one CA nobody trusts."""
        self.ca = os.path.join(self.folder, "ca.pem")
        self.other_ca = os.path.join(self.folder, "other_ca.pem")
        key = os.path.join(self.folder, "ca.key")
        for pem, ca_key, name in ((self.ca, key, "Kes Test CA"),
                                  (self.other_ca, key + ".other", "Other CA")):
            run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                 "-subj", f"/CN={name}", "-keyout", ca_key, "-out", pem])
        self.server_key = os.path.join(self.folder, "server.key")
        self.server_cert = os.path.join(self.folder, "server.pem")
        request = os.path.join(self.folder, "server.csr")
        extensions = os.path.join(self.folder, "server.ext")
        with open(extensions, "w") as out:
            out.write("subjectAltName = DNS:localhost\n")
        run(["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost",
             "-keyout", self.server_key, "-out", request])
        run(["openssl", "x509", "-req", "-in", request, "-CA", self.ca, "-CAkey", key,
             "-CAcreateserial", "-days", "2", "-extfile", extensions, "-out", self.server_cert])

    def config(self):
        modules = "/usr/lib/apache2/modules"
        loaded = "\n".join(
            f"LoadModule {name}_module {modules}/mod_{name}.so" for name in
            ("mpm_prefork", "authz_core", "authz_user", "authn_core", "authn_file",
             "auth_basic", "auth_digest", "auth_gssapi", "cgi", "alias", "ssl",
             "socache_shmcb", "env", "setenvif"))
        user = "User www-data\nGroup www-data\n" if os.geteuid() == 0 else ""
        locations = f"""
  ScriptAlias /basic {self.folder}/cgi/provider
  ScriptAlias /digest {self.folder}/cgi/provider
  ScriptAlias /negotiate {self.folder}/cgi/provider
  ScriptAlias /open {self.folder}/cgi/provider
  SetEnv BODIES {self.body_file}
  <Location /basic>
    AuthType Basic
    AuthName mdprovider
    AuthBasicProvider file
    AuthUserFile {self.folder}/basic.users
    Require valid-user
  </Location>
  <Location /digest>
    AuthType Digest
    AuthName mdprovider
    AuthDigestProvider file
    AuthUserFile {self.folder}/digest.users
    AuthDigestNonceLifetime 2
    Require valid-user
    SetEnv PAUSE 0.012
  </Location>
  <Location /negotiate>
    AuthType GSSAPI
    AuthName mdprovider
    GssapiCredStore keytab:{self.realm.keytab}
    GssapiAllowedMech krb5
    Require valid-user
  </Location>
"""
        tls = (f"SSLEngine on\n  SSLCertificateFile {self.server_cert}\n"
               f"  SSLCertificateKeyFile {self.server_key}")
        hosts = []
        for kind, port in self.ports.items():
            extra = {"keepalive": "KeepAlive On\n  MaxKeepAliveRequests 0",
                     "two_a_connection": "KeepAlive On\n  MaxKeepAliveRequests 2",
                     "no_keepalive": "KeepAlive Off",
                     "https": f"KeepAlive On\n  {tls}",
                     "https_close": f"KeepAlive Off\n  {tls}"}[kind]
            hosts.append(f"Listen 127.0.0.1:{port}\n<VirtualHost 127.0.0.1:{port}>\n"
                         f"  {extra}\n{locations}</VirtualHost>\n")
        return f"""ServerRoot {self.folder}
{loaded}
{user}ServerName localhost
PidFile {self.folder}/run/apache2.pid
ErrorLog {self.folder}/logs/error.log
LogFormat "%>s %U" statuses
CustomLog {self.folder}/logs/statuses statuses
LogLevel warn
Mutex file:{self.folder}/run
SSLSessionCache shmcb:{self.folder}/run/ssl_scache(512000)
StartServers 2
MaxRequestWorkers 8
{''.join(hosts)}"""

    def statuses(self, path):
        """How often each status was answered on `path`, e.g. {"200": 503, "401": 4}."""
        counts = {}
        with open(os.path.join(self.folder, "logs", "statuses")) as log:
            for line in log:
                status, where = line.split()
                if where == "/" + path:
                    counts[status] = counts.get(status, 0) + 1
        return counts

    def address(self, kind, path):
        scheme = "https" if kind.startswith("https") else "http"
        return f"{scheme}://localhost:{self.ports[kind]}/{path}"

    def bodies(self):
        return take_bodies(self.body_file)


class NtlmFront:
    """tests/auth/ntlm_front.py in one of its modes."""

    def __init__(self, folder, mode="connection", close_every=0):
        self.body_file = os.path.join(folder, f"ntlm-{mode}-{close_every}.bodies")
        self.user_file = os.path.join(folder, f"ntlm-{mode}-{close_every}.users")
        self.command = [sys.executable, os.path.join(HERE, "ntlm_front.py"), "--user", USER,
                        "--password", PASSWORD, "--bodies", self.body_file, "--users",
                        self.user_file, "--mode", mode, "--close-every", str(close_every)]
        self.process = None

    def __enter__(self):
        # What a front of the same mode heard before is no part of this one's.
        self.users()
        self.process = subprocess.Popen(self.command, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("listening on "):
            stop(self.process)
            raise RuntimeError("the NTLM front did not start")
        self.port = int(line.rsplit(":", 1)[1])
        return self

    def __exit__(self, *_):
        stop(self.process)

    def address(self):
        return f"http://127.0.0.1:{self.port}/mdprovider"

    def bodies(self):
        return take_bodies(self.body_file)

    def users(self):
        """The user names of the type 3 messages since the last call, in order."""
        if not os.path.exists(self.user_file):
            return []
        with open(self.user_file, encoding="utf-8") as got:
            names = got.read().splitlines()
        os.remove(self.user_file)
        return names


class Proxy:
    """tinyproxy on a free port; `log()` is what it logged of the connections it made."""

    def __init__(self, folder):
        self.folder = os.path.join(folder, "proxy")
        self.process = None

    def __enter__(self):
        os.makedirs(self.folder, exist_ok=True)
        self.port = free_port()
        self.log_file = os.path.join(self.folder, "tinyproxy.log")
        config = os.path.join(self.folder, "tinyproxy.conf")
        with open(config, "w") as out:
            out.write(f"Port {self.port}\nListen 127.0.0.1\nTimeout 60\nMaxClients 10\n"
                      f"Allow 127.0.0.1\nLogLevel Connect\nLogFile \"{self.log_file}\"\n"
                      f"PidFile \"{self.folder}/tinyproxy.pid\"\n")
        self.process = subprocess.Popen(["tinyproxy", "-d", "-c", config],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for_port(self.port, self.process, "tinyproxy")
        return self

    def __exit__(self, *_):
        stop(self.process)

    def address(self):
        return f"http://127.0.0.1:{self.port}"

    def log(self):
        with open(self.log_file) as log:
            return log.read()


class OddProvider:
    """A provider that answers every POST with `answer(body) -> (status, headers, payload)` and
    keeps the bodies that arrived, and the headers of the last request in `headers`; `chunked`
    sends the payload without a length. An answer of None closes the connection unanswered and
    stops listening, as a provider that dies would."""

    def __init__(self, answer, chunked=False):
        self.answer = answer
        self.chunked = chunked
        self.bodies = []
        self.headers = {}
        self.server = None

    def __enter__(self):
        provider = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *_):
                pass

            def do_POST(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
                provider.bodies.append(body)
                provider.headers = dict(self.headers)
                answered = provider.answer(body)
                if answered is None:
                    provider.server.socket.close()
                    self.close_connection = True
                    return
                status, headers, payload = answered
                self.send_response(status)
                for name, value in headers:
                    self.send_header(name, value)
                if provider.chunked:
                    self.send_header("Transfer-Encoding", "chunked")
                    self.end_headers()
                    try:
                        for at in range(0, len(payload), 1 << 20):
                            piece = payload[at:at + (1 << 20)]
                            self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                        self.wfile.write(b"0\r\n\r\n")
                    except OSError:
                        self.close_connection = True
                    return
                self.send_header("Content-Length", str(len(payload)))
                self.end_headers()
                try:
                    self.wfile.write(payload)
                except OSError:
                    self.close_connection = True

        class Server(http.server.ThreadingHTTPServer):
            def handle_error(self, *_):
                pass  # a client that stops reading an answer it will not hold

        self.server = Server(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *_):
        self.server.shutdown()
        self.server.server_close()

    def address(self):
        return f"http://127.0.0.1:{self.server.server_address[1]}/mdprovider"
