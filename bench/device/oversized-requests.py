#!/usr/bin/env python3
"""Sends oversized requests to a velkor-device it starts on a free loopback port and prints the
device's memory (VmRSS, and the peak VmHWM) before and after each, and the reply it got.

    bench/device/oversized-requests.py build/dev/bin/velkor-device
"""
import select
import socket
import sys
import time

from emulator import memory, start

MIB = 1024 * 1024


def send_until_answered(port, chunks, limit_seconds=60):
    """Sends the chunks until the device answers, closes or the time is up; returns the bytes
    sent and the status line of the answer."""
    connection = socket.create_connection(("127.0.0.1", port))
    sent = 0
    start = time.monotonic()
    answer = b""
    try:
        for chunk in chunks:
            readable, _, _ = select.select([connection], [], [], 0)
            if readable or time.monotonic() - start > limit_seconds:
                break
            connection.sendall(chunk)
            sent += len(chunk)
    except OSError:
        pass
    connection.settimeout(10)
    try:
        answer = connection.recv(200)
    except OSError as error:
        answer = f"<{error.__class__.__name__}>".encode()
    connection.close()
    return sent, answer.split(b"\r\n")[0].decode("latin-1") or "<closed without reply>"


def long_request_line():
    yield b"GET /velkor/info?x="
    for _ in range(200):
        yield b"a" * MIB


def many_header_lines():
    yield b"GET /velkor/info HTTP/1.1\r\nHost: 127.0.0.1\r\n"
    line = b"X-Fill: " + b"a" * 8182 + b"\r\n"
    for _ in range(48 * MIB // len(line)):
        yield line
    yield b"\r\n"


def body(length_header, size):
    yield (b"GET /velkor/info HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: "
           + length_header + b"\r\n\r\n")
    for _ in range(size // MIB):
        yield b"b" * MIB
    yield b"b" * (size % MIB)


def main():
    device, port = start(sys.argv[1])
    try:
        cases = [("200 MiB request line without newline", long_request_line()),
                 ("48 MiB of 8 KiB header lines", many_header_lines()),
                 ("GET with a 5000-byte body", body(b"5000", 5000)),
                 ("GET with Content-Length: 1099511627776 (sends 64 MiB)",
                  body(b"1099511627776", 64 * MIB))]
        print(f"start: {memory(device.pid)}")
        for name, chunks in cases:
            sent, status = send_until_answered(port, chunks)
            time.sleep(0.5)
            print(f"{name}: sent {sent / MIB:.1f} MiB, reply '{status}', "
                  f"memory after (MiB) {memory(device.pid)}")
    finally:
        device.terminate()
        device.wait()


if __name__ == "__main__":
    main()
