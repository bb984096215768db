"""Reads a captured MJPEG answer on stdin with Python's MIME parser and prints, one per line:
the status line, the media type with its boundary, then for every complete part its type,
Content-Length, payload size and SHA-1. The last part is left out: the capture may end in it."""
import email
import email.policy
import hashlib
import sys

data = sys.stdin.buffer.read()
status, _, rest = data.partition(b"\r\n")
message = email.message_from_bytes(rest, policy=email.policy.HTTP)
print(status.decode("latin-1"))
print(message.get_content_type(), message.get_param("boundary"))
if message.is_multipart():
    for part in message.get_payload()[:-1]:
        body = part.get_payload(decode=True) or b""
        print(part.get_content_type(), part["Content-Length"], len(body), hashlib.sha1(body).hexdigest())
