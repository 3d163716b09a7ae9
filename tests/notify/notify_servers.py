"""A mail server (aiosmtpd, STARTTLS with DIR/server.crt) and a web hook
listener on loopback for the notification tests. The web hook answers by
path: /ok 200, /moved 302 to /ok, /fail 500, /silent nothing for a minute, /dribble 200 and then its
body a byte each 0.2 s for a minute; each POST's path and body are
appended to DIR/posts.log. The mail server takes AUTH PLAIN or LOGIN (after STARTTLS) as
LOGIN/PASSWORD and keeps each message as DIR/mail/NNNN.eml, with NNNN.txt beside it: the
login, the recipients, the body's charset, and the subject and body as a mail reader decodes them. A third
listener speaks TLS 1.0 or 1.1 only, with the same certificate, and greets as a mail server would."""
import email
import email.policy
import http.server
import os
import socket
import ssl
import sys
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

LOGIN, PASSWORD = b"lab", "Hasło-7;x".encode()

directory, smtp_port, http_port, tls11_port = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])


class Hook(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with open(directory + "/posts.log", "ab") as log:
            log.write(self.path.encode() + b" " + self.headers.get("Content-Type", "").encode() + b"\n" + body + b"\n")
        if self.path == "/silent":
            time.sleep(60)
            return
        if self.path == "/dribble":
            self.send_response(200)
            self.send_header("Content-Length", "300")
            self.end_headers()
            try:
                for _ in range(300):
                    self.wfile.write(b"x")
                    time.sleep(0.2)
            except OSError:  # the client has what it needed
                pass
            return
        status = {"/ok": 200, "/moved": 302}.get(self.path, 500)
        self.send_response(status)
        if status == 302:
            self.send_header("Location", "/ok")
        answer = b"taken" if status == 200 else b"no"
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def log_message(self, *args):
        pass


class Keeper:
    # One recipient is refused, as a server refuses an unknown mailbox.
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("nobody@"):
            return "550 5.1.1 No such mailbox"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        os.makedirs(directory + "/mail", exist_ok=True)
        name = "%s/mail/%04d" % (directory, len([f for f in os.listdir(directory + "/mail") if f.endswith(".eml")]) + 1)
        message = email.message_from_bytes(envelope.original_content, policy=email.policy.default)
        body = message.get_body(("plain",))
        login = session.auth_data.login.decode() if isinstance(session.auth_data, LoginPassword) else "-"
        text = "login: %s\nrcpt: %s\ncharset: %s\nsubject: %s\n\n%s" % (
            login, ",".join(envelope.rcpt_tos), body.get_content_charset(), message["subject"], body.get_content().replace("\r\n", "\n"))
        with open(name + ".txt", "w", encoding="utf-8", newline="") as out:
            out.write(text)
        # The .eml last and whole: a test waits for it.
        with open(name + ".tmp", "wb") as out:
            out.write(envelope.original_content)
        os.replace(name + ".tmp", name + ".eml")
        return "250 Message accepted"


def check_login(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and (auth_data.login, auth_data.password) == (LOGIN, PASSWORD)
    return AuthResult(success=ok, handled=False, auth_data=auth_data)


context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
context.load_cert_chain(directory + "/server.crt", directory + "/server.key")
mail = Controller(Keeper(), hostname="127.0.0.1", port=smtp_port, tls_context=context, require_starttls=False,
                  authenticator=check_login)
mail.start()
web = http.server.ThreadingHTTPServer(("127.0.0.1", http_port), Hook)
threading.Thread(target=web.serve_forever, daemon=True).start()


def serve_old_tls():
    old = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    old.load_cert_chain(directory + "/server.crt", directory + "/server.key")
    old.set_ciphers("DEFAULT:@SECLEVEL=0")
    old.minimum_version, old.maximum_version = ssl.TLSVersion.TLSv1, ssl.TLSVersion.TLSv1_1
    listener = socket.create_server(("127.0.0.1", tls11_port))
    while True:
        try:
            with old.wrap_socket(listener.accept()[0], server_side=True) as tls:
                tls.sendall(b"220 old TLS\r\n")
        except (OSError, ssl.SSLError):
            pass


threading.Thread(target=serve_old_tls, daemon=True).start()
threading.Event().wait()
