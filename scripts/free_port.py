#!/usr/bin/python3
"""Prints a port from 2000 to 9999 (the program's port box stops at 9999) that was free a moment ago."""
import random
import socket

for port in random.sample(range(2000, 10000), 200):
    with socket.socket() as probe:
        try:
            probe.bind(("0.0.0.0", port))
        except OSError:
            continue
        print(port)
        break
