"""Local SMTP servers for the alert mail tests, built on aiosmtpd.

Usage: /usr/bin/python3 smtp_fixture.py FOLDER

Makes a throw-away certificate authority and a server certificate for 127.0.0.1 and localhost,
writes the authority to FOLDER/ca.pem, starts five servers on free loopback ports and prints one
JSON line with their ports. Every accepted message is stored as FOLDER/messages/<server>-<n>.json.
The servers stop when standard input is closed.

  starttls  offers STARTTLS (AUTH LOGIN is taken with or without it)
  implicit  TLS from the first byte
  plain     offers no STARTTLS; AUTH LOGIN in clear text
  reject    like plain, but every login is refused
  drop      like plain, but closes the connection in the middle of DATA
"""

import asyncio
import datetime
import email
import email.policy
import ipaddress
import json
import os
import ssl
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword
from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID

USER = "alerts@test.invalid"
PASSWORD = "s3cret,pw"


def make_certificates(folder):
    now = datetime.datetime.now(datetime.timezone.utc)
    ca_key = ec.generate_private_key(ec.SECP256R1())
    ca_name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Beamtide test authority")])
    ca_cert = (
        x509.CertificateBuilder()
        .subject_name(ca_name)
        .issuer_name(ca_name)
        .public_key(ca_key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(days=1))
        .not_valid_after(now + datetime.timedelta(days=2))
        .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
        .add_extension(
            x509.KeyUsage(digital_signature=True, key_cert_sign=True, crl_sign=True,
                          content_commitment=False, key_encipherment=False,
                          data_encipherment=False, key_agreement=False,
                          encipher_only=False, decipher_only=False),
            critical=True)
        .add_extension(x509.SubjectKeyIdentifier.from_public_key(ca_key.public_key()),
                       critical=False)
        .sign(ca_key, hashes.SHA256())
    )
    key = ec.generate_private_key(ec.SECP256R1())
    cert = (
        x509.CertificateBuilder()
        .subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "127.0.0.1")]))
        .issuer_name(ca_name)
        .public_key(key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(days=1))
        .not_valid_after(now + datetime.timedelta(days=2))
        .add_extension(
            x509.SubjectAlternativeName([
                x509.DNSName("localhost"),
                x509.IPAddress(ipaddress.ip_address("127.0.0.1")),
            ]),
            critical=False)
        .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
        .add_extension(x509.ExtendedKeyUsage([x509.oid.ExtendedKeyUsageOID.SERVER_AUTH]),
                       critical=False)
        .add_extension(
            x509.AuthorityKeyIdentifier.from_issuer_public_key(ca_key.public_key()),
            critical=False)
        .sign(ca_key, hashes.SHA256())
    )
    ca_path = os.path.join(folder, "ca.pem")
    cert_path = os.path.join(folder, "server.pem")
    key_path = os.path.join(folder, "server.key")
    with open(ca_path, "wb") as f:
        f.write(ca_cert.public_bytes(serialization.Encoding.PEM))
    with open(cert_path, "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))
    with open(key_path, "wb") as f:
        f.write(key.private_bytes(serialization.Encoding.PEM,
                                  serialization.PrivateFormat.PKCS8,
                                  serialization.NoEncryption()))
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert_path, key_path)
    return ca_path, context


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
