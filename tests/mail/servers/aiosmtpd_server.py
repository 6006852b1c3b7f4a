#!/usr/bin/python3
"""SMTP server on loopback for the mail sender's tests, built on aiosmtpd.

Speaks implicit TLS (TLS from the first byte) or plain SMTP with STARTTLS, requires AUTH PLAIN or LOGIN
with one fixed user and password, and stores each message it accepts in a folder as msg-N.eml together
with msg-N.json, a summary of the envelope, the session and the decoded headers and body.

Prints "ready <port>" once listening, or "bind-error <errno> <text>" and exits with status 2 when the
address cannot be bound. Stops when its standard input is closed, so it never outlives the test.
"""

import argparse
import asyncio
import email
import email.policy
import json
import logging
import os
import ssl
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def parse_args():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--mode", choices=["implicit", "starttls"], required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--maildir", required=True)
    return parser.parse_args()


def summary(envelope, session, transport):
    raw = envelope.original_content or envelope.content
    message = email.message_from_bytes(raw, policy=email.policy.default)
    sender = message["From"]
    ssl_object = transport.get_extra_info("ssl_object") if transport else None
    body = message.get_body(preferencelist=("plain",))
    return {
        "mail_from": envelope.mail_from,
        "rcpt_tos": envelope.rcpt_tos,
        "auth_mechanism": getattr(session, "kvu_mechanism", None),
        "auth_login": getattr(session, "kvu_login", None),
        "tls_version": ssl_object.version() if ssl_object else None,
        "subject": str(message["Subject"]),
        "from_name": sender.addresses[0].display_name if sender else None,
        "from_address": sender.addresses[0].addr_spec if sender else None,
        "sender": str(message["Sender"]),
        "reply_to": str(message["Reply-To"]),
        "to": [a.addr_spec for a in message["To"].addresses] if message["To"] else [],
        "cc": [a.addr_spec for a in message["Cc"].addresses] if message["Cc"] else [],
        "has_bcc": message["Bcc"] is not None,
        "has_date": message["Date"] is not None and message["Date"].datetime is not None,
        "message_id": str(message["Message-ID"]),
        "mime_version": str(message["MIME-Version"]),
        "content_type": message.get_content_type(),
        "charset": message.get_content_charset(),
        "transfer_encoding": str(message["Content-Transfer-Encoding"]),
        "body": body.get_content() if body is not None else None,
        "header_defects": [type(d).__name__ for d in message.defects],
        "longest_line": max((len(line) for line in raw.split(b"\r\n")), default=0),
    }


class Handler:
    def __init__(self, maildir):
        self.maildir = maildir
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.maildir, "msg-%d" % self.count)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        with open(base + ".json.tmp", "w", encoding="utf-8") as f:
            json.dump(summary(envelope, session, server.transport), f, ensure_ascii=False)
        os.replace(base + ".json.tmp", base + ".json")
        return "250 2.0.0 Message accepted"


def main():
    args = parse_args()
    # The tests read the outcome from the stored messages; the library's advice on stderr is noise there.
    warnings.filterwarnings("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(args.cert, args.key)
    implicit = args.mode == "implicit"

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (
            isinstance(auth_data, LoginPassword)
            and auth_data.login == args.user.encode()
            and auth_data.password == args.password.encode()
        )
        if ok:
            session.kvu_mechanism = mechanism
            session.kvu_login = args.user
        # handled=False lets aiosmtpd answer a refusal with its "535" reply.
        return AuthResult(success=ok, handled=False)

    handler = Handler(args.maildir)
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)

    def factory():
        return SMTP(
            handler,
            hostname="aiosmtpd.test",
            authenticator=authenticator,
            auth_required=True,
            # With implicit TLS the whole session is encrypted already.
            auth_require_tls=not implicit,
            tls_context=None if implicit else context,
            require_starttls=not implicit,
            loop=loop,
        )

    try:
        server = loop.run_until_complete(
            loop.create_server(factory, host=args.host, port=args.port, ssl=context if implicit else None)
        )
    except OSError as error:
        print("bind-error %d %s" % (error.errno or 0, error.strerror), flush=True)
        sys.exit(2)

    port = server.sockets[0].getsockname()[1]
    loop.add_reader(sys.stdin.fileno(), lambda: sys.stdin.buffer.read1(4096) or loop.stop())
    print("ready %d" % port, flush=True)
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    main()
