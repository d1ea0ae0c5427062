#!/usr/bin/python3
"""A real SMTP server for the mail tests.

Usage: smtp_sink.py FOLDER PORT. Listens on 127.0.0.1:PORT with aiosmtpd and
stores every accepted message as FOLDER/msgN.eml (the data as received, dots
unstuffed) and FOLDER/msgN.json (HELO name, envelope sender and recipients,
and the message as Python's email package reads it: decoded headers, the
text part decoded, the Date's offset from UTC, every defect found).
Refuses any line over 1000 octets including CR LF with "500 Line too long",
as strict servers do. Prints "ready" once it listens and stops when its
standard input closes.
"""
import json
import os
import sys
from email import policy
from email.parser import BytesParser

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP


class StrictSMTP(SMTP):
    # 998 characters and CR LF; aiosmtpd's own default lets 999 through.
    line_length_limit = 1000


class StrictController(Controller):
    def factory(self):
        return StrictSMTP(self.handler, **self.SMTP_kwargs)


def read_message(data):
    """What a mail reader makes of the message."""
    msg = BytesParser(policy=policy.default).parsebytes(data)
    info = {"defects": []}
    for part in msg.walk():
        info["defects"] += [type(d).__name__ for d in part.defects]
        for name, value in part.items():
            info["defects"] += ["%s: %s" % (name, type(d).__name__) for d in value.defects]
    for name in ("subject", "from", "to"):
        info[name] = str(msg[name]) if msg[name] is not None else None
    date = msg["date"]
    offset = date.datetime.utcoffset() if date is not None and date.datetime else None
    info["date_offset"] = None if offset is None else int(offset.total_seconds())
    body = msg.get_body(preferencelist=("plain",))
    # Line ends as a reader shows them.
    info["text"] = body.get_content().replace("\r\n", "\n") if body is not None else None
    info["text_transfer_encoding"] = body["content-transfer-encoding"] if body else None
    info["attachments"] = {
        part.get_filename(): len(part.get_content()) for part in msg.iter_attachments()
    }
    return info


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "msg%d" % self.count)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        info = {"helo": session.host_name, "mail_from": envelope.mail_from,
                "rcpt_tos": envelope.rcpt_tos}
        try:
            info.update(read_message(envelope.original_content))
        except Exception as e:  # the test reports it; the server carries on
            info["read_error"] = repr(e)
        with open(base + ".json", "w") as f:
            json.dump(info, f)
        return "250 Message accepted"


def main():
    folder, port = sys.argv[1], int(sys.argv[2])
    # A fixed server name: no look-up of the machine's own name, which a
    # system without /etc/hosts cannot answer quickly.
    controller = StrictController(Sink(folder), hostname="127.0.0.1", port=port,
                                  server_hostname="quorvia-sink")
    controller.start()
    print("ready", flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
