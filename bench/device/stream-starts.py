#!/usr/bin/env python3
"""Starts a velkor-device on a free loopback port, then starts one live stream over and over
(asks for it, reads a few parts, closes) and prints the device's memory (VmRSS, and the peak
VmHWM, in MiB) every ten starts, with the load average.

    bench/device/stream-starts.py build/dev/bin/velkor-device [--starts 50] [--format h265]
        [--width 640] [--gap 0.3] [DEVICE OPTIONS...]

--gap is the pause after each close, in seconds: longer than the time the device keeps an
encoder for a reader that left, it makes every start open a new encoder.
"""
import argparse
import socket
import time

from emulator import load, memory, start


def open_stream(port, target, parts):
    """Reads the reply head and `parts` parts of one live stream, then closes."""
    boundary = b"--velkorframe\r\n"
    with socket.create_connection(("127.0.0.1", port), timeout=30) as connection:
        connection.sendall(f"GET {target} HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n".encode())
        received = b""
        while b"\r\n\r\n" not in received:
            received += connection.recv(65536)
        if not received.startswith(b"HTTP/1.1 200"):
            raise RuntimeError(received.split(b"\r\n")[0].decode("latin-1"))
        seen = received.count(boundary)
        tail = received[-len(boundary):]
        while seen <= parts:
            chunk = connection.recv(65536)
            if not chunk:
                raise RuntimeError("the device closed the stream")
            seen += (tail + chunk).count(boundary) - tail.count(boundary)
            tail = (tail + chunk)[-len(boundary):]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("device")
    parser.add_argument("--starts", type=int, default=50)
    parser.add_argument("--format", default="h265")
    parser.add_argument("--width", type=int, default=640)
    parser.add_argument("--gap", type=float, default=0.3)
    parser.add_argument("--parts", type=int, default=3)
    args, device_options = parser.parse_known_args()

    device, port = start(args.device, *device_options)
    try:
        target = f"/velkor/live?channel=1&width={args.width}&format={args.format}"
        print(f"{args.format} {args.width}, {args.starts} starts, {args.gap} s apart; "
              f"load average {load()}")
        print(f"  before:    {memory(device.pid)}")
        begun = time.monotonic()
        for started in range(1, args.starts + 1):
            open_stream(port, target, args.parts)
            time.sleep(args.gap)
            if started % 10 == 0 or started == args.starts:
                print(f"  {started:3d} starts: {memory(device.pid)}", flush=True)
        print(f"took {time.monotonic() - begun:.0f} s; load average {load()}")
    finally:
        device.terminate()
        device.wait()


if __name__ == "__main__":
    main()
