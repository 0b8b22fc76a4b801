"""Reads stored messages with Python's email package (policy=default) and prints, for each,
one JSON line: its defects (the message's and every part's), decoded headers and its parts.

Usage: check_message.py FILE...
A file may start with the test server's envelope lines (MAIL FROM, RCPT TO) and an empty
line; they are skipped. Part payloads are given as hexadecimal bytes, decoded from their
transfer encoding.
"""
import email
import json
import sys
from email import policy


def check(path):
    with open(path, "rb") as f:
        raw = f.read()
    if raw.startswith(b"MAIL FROM:"):
        raw = raw[raw.index(b"\r\n\r\n") + 4:]
    msg = email.message_from_bytes(raw, policy=policy.default)
    defects = []
    parts = []
    for part in msg.walk():
        defects += ["%s: %s" % (type(d).__name__, d) for d in part.defects]
        for name, value in part.items():
            defects += ["%s: %s: %s" % (name, type(d).__name__, d) for d in getattr(value, "defects", ())]
        entry = {"type": part.get_content_type(), "charset": part.get_content_charset() or "",
                 "cte": part.get("Content-Transfer-Encoding", ""),
                 "filename": part.get_filename() or "", "disposition": part.get_content_disposition() or ""}
        if not part.is_multipart():
            entry["payload"] = (part.get_payload(decode=True) or b"").hex()
        parts.append(entry)
    header = lambda name: str(msg.get(name, ""))
    return {"defects": defects, "parts": parts, "subject": header("Subject"), "from": header("From"),
            "from_name": msg["From"].addresses[0].display_name if msg["From"] else "",
            "to": header("To"), "message_id": header("Message-ID"), "date": header("Date"),
            "list_unsubscribe": header("List-Unsubscribe"), "list_id": header("List-Id")}


for path in sys.argv[1:]:
    print(json.dumps(check(path), ensure_ascii=False))
