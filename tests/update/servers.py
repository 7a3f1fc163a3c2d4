"""Loopback HTTP(S) and FTP servers for the update tests.

    servers.py http  DIR LOG [CERT KEY]     (CERT and KEY given: HTTPS)
    servers.py ftp   DIR LOG USER PASSWORD

Binds 127.0.0.1 on a free port, prints the port on the first line of stdout and serves until
stdin is closed or the process is terminated. Every request path goes to LOG, one per line.
Per file P in DIR the HTTP server honours:
    P.status    a status code to answer instead of the file (every time)
    P.failures  a count of requests to fail with 503 before the file is served
    P.truncate  announce 100 bytes more than the file holds, send the file, close
The FTP server honours P.truncate by announcing a SIZE 100 bytes too large.
"""
import http.server
import logging
import os
import ssl
import sys
import threading


def log_line(log, text):
    with open(log, "a", encoding="utf-8") as f:
        f.write(text + "\n")


def watch_stdin():
    def run():
        sys.stdin.read()
        os._exit(0)
    threading.Thread(target=run, daemon=True).start()


def serve_http(root, log, cert=None, key=None):
    class Handler(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *a, **kw):
            super().__init__(*a, directory=root, **kw)

        def log_message(self, *args):
            pass

        def do_GET(self):
            log_line(log, self.path)
            path = self.translate_path(self.path)
            if os.path.exists(path + ".status"):
                with open(path + ".status") as f:
                    self.send_error(int(f.read().strip()))
                return
            if os.path.exists(path + ".failures"):
                with open(path + ".failures") as f:
                    left = int(f.read().strip() or "0")
                if left > 0:
                    with open(path + ".failures", "w") as f:
                        f.write(str(left - 1))
                    self.send_error(503)
                    return
            if os.path.exists(path + ".truncate") and os.path.isfile(path):
                with open(path, "rb") as f:
                    body = f.read()
                self.send_response(200)
                self.send_header("Content-Length", str(len(body) + 100))
                self.end_headers()
                self.wfile.write(body)
                self.wfile.flush()
                self.close_connection = True
                return
            super().do_GET()

    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    if cert:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(cert, key)
        server.socket = ctx.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


def serve_ftp(root, log, user, password):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    from pyftpdlib.log import config_logging
    config_logging(level=logging.CRITICAL)

    class Handler(FTPHandler):
        def ftp_SIZE(self, path):
            if os.path.exists(path + ".truncate") and os.path.isfile(path):
                self.respond("213 %d" % (os.path.getsize(path) + 100))
                return
            return super().ftp_SIZE(path)

        def ftp_RETR(self, file):
            log_line(log, os.path.relpath(file, root))
            return super().ftp_RETR(file)

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elr")
    Handler.authorizer = authorizer
    Handler.masquerade_address = None
    Handler.auth_failed_timeout = 0.05  # a wrong password is answered at once
    server = FTPServer(("127.0.0.1", 0), Handler)
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=False)


def main():
    watch_stdin()
    kind = sys.argv[1]
    if kind == "http":
        serve_http(*sys.argv[2:])
    elif kind == "ftp":
        serve_ftp(*sys.argv[2:6])
    else:
        sys.exit("unknown server kind " + kind)


if __name__ == "__main__":
    main()
