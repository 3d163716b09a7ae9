"""A mail server (aiosmtpd, STARTTLS with DIR/server.crt) and a web hook
listener on loopback for the notification tests. The web hook answers by
path: /ok 200, /moved 302 to /ok, /fail 500, /silent nothing for a minute; each POST's path and body are
appended to DIR/posts.log."""
import http.server
import ssl
import sys
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.handlers import Sink

directory, smtp_port, http_port = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])


class Hook(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with open(directory + "/posts.log", "ab") as log:
            log.write(self.path.encode() + b" " + self.headers.get("Content-Type", "").encode() + b"\n" + body + b"\n")
        if self.path == "/silent":
            time.sleep(60)
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


context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
context.load_cert_chain(directory + "/server.crt", directory + "/server.key")
mail = Controller(Sink(), hostname="127.0.0.1", port=smtp_port, tls_context=context, require_starttls=False)
mail.start()
web = http.server.ThreadingHTTPServer(("127.0.0.1", http_port), Hook)
threading.Thread(target=web.serve_forever, daemon=True).start()
threading.Event().wait()
