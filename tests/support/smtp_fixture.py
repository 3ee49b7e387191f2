"""Local SMTP servers for the alert mail tests, built on aiosmtpd.

Usage: /usr/bin/python3 smtp_fixture.py FOLDER

Makes, with the openssl command, a throw-away certificate authority and a server certificate
for 127.0.0.1 and localhost, writes the authority to FOLDER/ca.pem, starts five servers on free loopback ports and prints one
JSON line with their ports. Every accepted message is stored as FOLDER/messages/<server>-<n>.json.
The servers stop when standard input is closed.

  starttls  offers STARTTLS (AUTH LOGIN is taken with or without it)
  implicit  TLS from the first byte
  plain     offers no STARTTLS; AUTH LOGIN in clear text
  reject    like plain, but every login is refused
  drop      like plain, but closes the connection in the middle of DATA
"""

import asyncio
import email
import email.policy
import json
import os
import secrets
import ssl
import subprocess
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

USER = "alerts@test.invalid"
PASSWORD = "s3cret,pw"


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE)


def make_certificates(folder):
    def path(name):
        return os.path.join(folder, name)

    curve = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    openssl("req", "-x509", *curve, "-keyout", path("ca.key"), "-out", path("ca.pem"),
            "-days", "2", "-subj", "/CN=Beamtide test authority",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", *curve, "-keyout", path("server.key"), "-out", path("server.csr"),
            "-subj", "/CN=127.0.0.1")
    with open(path("server.ext"), "w") as f:
        f.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n"
                "basicConstraints=critical,CA:FALSE\n"
                "extendedKeyUsage=serverAuth\n"
                "authorityKeyIdentifier=keyid\n")
    openssl("x509", "-req", "-in", path("server.csr"), "-CA", path("ca.pem"),
            "-CAkey", path("ca.key"), "-set_serial", str(secrets.randbits(63)),
            "-days", "2", "-extfile", path("server.ext"), "-out", path("server.pem"))
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(path("server.pem"), path("server.key"))
    return path("ca.pem"), context


class Store:
    def __init__(self, name, folder):
        self.name = name
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        raw = envelope.original_content or envelope.content
        message = email.message_from_bytes(raw, policy=email.policy.default)
        ssl_object = server.transport.get_extra_info("ssl_object") if server.transport else None
        body = message.get_body(preferencelist=("plain",))
        login = session.auth_data.login if isinstance(session.auth_data, LoginPassword) else None
        record = {
            "server": self.name,
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "login": login.decode("utf-8", "replace") if login is not None else None,
            "helo": session.host_name,
            "tls": ssl_object is not None,
            "tls_version": ssl_object.version() if ssl_object is not None else None,
            "headers": [[k, str(v)] for k, v in message.items()],
            "raw_headers": [[k, v] for k, v in message.raw_items()],
            "content_type": message.get_content_type(),
            "body": body.get_content() if body is not None else None,
            "raw": raw.decode("utf-8", "replace"),
        }
        path = os.path.join(self.folder, f"{self.name}-{self.count}.json")
        with open(path + ".tmp", "w", encoding="utf-8") as f:
            json.dump(record, f)
        os.replace(path + ".tmp", path)
        return "250 OK stored"


def authenticator(accept):
    def check(server, session, envelope, mechanism, auth_data):
        ok = (accept and isinstance(auth_data, LoginPassword)
              and auth_data.login == USER.encode() and auth_data.password == PASSWORD.encode())
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)
    return check


class DroppingSMTP(SMTP):
    async def smtp_DATA(self, arg):
        if await self.check_helo_needed() or await self.check_auth_needed("DATA"):
            return
        await self.push("354 End data with <CR><LF>.<CR><LF>")
        await self._reader.readuntil(b"\r\n")
        self.transport.abort()


async def main(folder):
    messages = os.path.join(folder, "messages")
    os.makedirs(messages, exist_ok=True)
    ca_path, context = make_certificates(folder)
    loop = asyncio.get_running_loop()

    def factory(name, cls=SMTP, accept=True, **options):
        store = Store(name, messages)
        return lambda: cls(store, hostname="fixture.test", authenticator=authenticator(accept),
                           **options)

    servers = {
        "starttls": (factory("starttls", tls_context=context, auth_require_tls=False), None),
        "implicit": (factory("implicit", auth_require_tls=False), context),
        "plain": (factory("plain", auth_require_tls=False), None),
        "reject": (factory("reject", accept=False, auth_require_tls=False), None),
        "drop": (factory("drop", cls=DroppingSMTP, auth_require_tls=False), None),
    }
    ports = {}
    running = []
    for name, (make, server_ssl) in servers.items():
        server = await loop.create_server(make, host="127.0.0.1", port=0, ssl=server_ssl)
        running.append(server)
        ports[name] = server.sockets[0].getsockname()[1]

    print(json.dumps({"ports": ports, "ca": ca_path, "user": USER, "password": PASSWORD}),
          flush=True)

    # Serve until the test closes our standard input.
    stdin_closed = loop.run_in_executor(None, sys.stdin.buffer.read)
    await stdin_closed
    for server in running:
        server.close()


if __name__ == "__main__":
    warnings.simplefilter("ignore", DeprecationWarning)
    asyncio.run(main(sys.argv[1]))
