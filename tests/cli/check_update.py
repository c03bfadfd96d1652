#!/usr/bin/env python3
"""vorlog-cli check-update against a web server on 127.0.0.1: the three outcomes, their exit
status and line, and where the address comes from (--url, VORLOG_UPDATE_URL, Vorlog.ini)."""
import http.server, os, shutil, ssl, subprocess, sys, tempfile, threading

CLI = os.environ["VORLOG_CLI"]
ANSWERS = {"/new/": b"99.0.0\n", "/old/": b"\xef\xbb\xbf0.0.1\r\n", "/ini/": b"99.1\n"}
failures = []


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        folder, _, name = self.path.rpartition("/")
        body = ANSWERS.get(folder + "/")
        if body is None or not name.startswith("update.") or not name.endswith(".txt"):
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def expect(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got!r}, wanted {want!r}")


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
threading.Thread(target=server.serve_forever, daemon=True).start()
base = f"http://127.0.0.1:{server.server_address[1]}"

with tempfile.TemporaryDirectory() as user:
    env = dict(os.environ, VORLOG_USER_PATH=user)
    env.pop("VORLOG_UPDATE_URL", None)

    def run(*args, **extra):
        p = subprocess.run([CLI, "--lang", "en", "check-update", *args], capture_output=True, text=True,
                           env=dict(env, **extra), timeout=60)
        return p.returncode, p.stdout.strip(), p.stderr.strip()

    rc, out, err = run("--url", base + "/new/")
    expect("newer version", (rc, out.startswith("update available: version 99.0.0 (this version: "), err), (0, True, ""))
    rc, out, err = run("--url", base + "/old")
    expect("older version", (rc, out.startswith("up to date: version "), err), (0, True, ""))
    rc, out, err = run("--url", base + "/missing/")
    expect("404", (rc, out, "could not check for updates" in err and "404" in err), (1, "", True))
    rc, out, err = run("--url", "http://updates.example/")
    expect("plain http elsewhere", (rc, out, "not safe" in err), (1, "", True))
    rc, out, err = run(VORLOG_UPDATE_URL=base + "/new/")
    expect("address from the environment", (rc, "99.0.0" in out), (0, True))
    with open(os.path.join(user, "Vorlog.ini"), "w") as f:
        f.write(f"[WebUpdate]\nBaseAddress={base}/ini/\n")
    rc, out, err = run()
    expect("address from Vorlog.ini", (rc, "99.1" in out), (0, True))
    rc, out, err = run("--url", base + "/old/", VORLOG_UPDATE_URL=base + "/new/")
    expect("--url before the environment", (rc, out.startswith("up to date")), (0, True))
    # A TLS server with a certificate nobody vouches for: the check fails, it is never waved through.
    cert, key = os.path.join(user, "c.pem"), os.path.join(user, "k.pem")
    if shutil.which("openssl") and subprocess.run(
            ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
             "-keyout", key, "-out", cert], capture_output=True).returncode == 0:
        tls = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        tls.socket = context.wrap_socket(tls.socket, server_side=True)
        threading.Thread(target=tls.serve_forever, daemon=True).start()
        rc, out, err = run("--url", f"https://127.0.0.1:{tls.server_address[1]}/new/")
        expect("self-signed certificate", (rc, out, "secure connection" in err), (1, "", True))
        tls.shutdown()
    else:
        print("note: no openssl to make a certificate; the TLS case is left out")
    for bad in (["--url"], ["--url", "no address"], ["extra"], ["--bogus"]):
        expect(f"bad command line {bad}", run(*bad)[0], 2)

server.shutdown()
for f in failures:
    print("FAILED:", f)
print(f"{len(failures)} failed")
sys.exit(1 if failures else 0)
