#!/usr/bin/python3
"""A real SMTP server for the mail tests.

Usage: smtp_sink.py FOLDER PORT. Listens on 127.0.0.1:PORT with aiosmtpd and
stores every accepted message as FOLDER/msgN.eml (the data as received, dots
unstuffed) and FOLDER/msgN.json (HELO name, envelope sender and recipients).
Prints "ready" once it listens and stops when its standard input closes.
"""
import json
import os
import sys

from aiosmtpd.controller import Controller


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "msg%d" % self.count)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        with open(base + ".json", "w") as f:
            json.dump({"helo": session.host_name, "mail_from": envelope.mail_from,
                       "rcpt_tos": envelope.rcpt_tos}, f)
        return "250 Message accepted"


def main():
    folder, port = sys.argv[1], int(sys.argv[2])
    controller = Controller(Sink(folder), hostname="127.0.0.1", port=port)
    controller.start()
    print("ready", flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
