"""Capture-to-client delay of the MJPEG stream: reads http://127.0.0.1:<port>/stream.mjpg for
the given seconds and compares each part's X-Timestamp (when the frame came from the camera)
with the moment the whole part has arrived here. Prints the parts read and the delay's p50,
p95 and largest in milliseconds. Usage: mjpeg_latency.py <port> <seconds>"""
import socket
import statistics
import sys
import time

port, seconds = int(sys.argv[1]), float(sys.argv[2])
connection = socket.create_connection(("127.0.0.1", port))
connection.sendall(b"GET /stream.mjpg HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
data = b""
delays = []
end = time.time() + seconds
while time.time() < end:
    chunk = connection.recv(1 << 20)
    if not chunk:
        break
    data += chunk
    while True:
        head_end = data.find(b"\r\n\r\n", data.find(b"Content-Type: image/jpeg"))
        if data.find(b"Content-Type: image/jpeg") < 0 or head_end < 0:
            break
        start = data.find(b"Content-Type: image/jpeg")
        headers = dict(
            line.split(": ", 1) for line in data[start:head_end].decode("latin-1").split("\r\n") if ": " in line
        )
        body_end = head_end + 4 + int(headers["Content-Length"])
        if len(data) < body_end:
            break
        arrived = time.time()
        if "X-Timestamp" in headers:
            delays.append((arrived - float(headers["X-Timestamp"])) * 1000)
        data = data[body_end:]
delays = delays[1:]  # the first part is the frame that was current when the stream began
if len(delays) < 2:
    sys.exit("too few parts with a time stamp")
quantiles = statistics.quantiles(delays, n=100)
print(f"{len(delays)} parts  delay p50 {quantiles[49]:.1f} ms  p95 {quantiles[94]:.1f} ms  max {max(delays):.1f} ms")
