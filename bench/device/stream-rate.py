#!/usr/bin/env python3
"""Starts a velkor-device on a free loopback port, reads one live stream for a while and prints
the parts per second it delivered in each 5 s, what the device said on stderr meanwhile, and
the load average.

    bench/device/stream-rate.py build/dev/bin/velkor-device [--format h265] [--width 1920]
        [--seconds 40] [DEVICE OPTIONS...]
"""
import argparse
import socket
import subprocess
import time

from emulator import load, start

WINDOW = 5.0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("device")
    parser.add_argument("--format", default="h265")
    parser.add_argument("--width", type=int, default=1920)
    parser.add_argument("--seconds", type=float, default=40)
    args, device_options = parser.parse_known_args()

    device, port = start(args.device, *device_options, stderr=subprocess.PIPE)
    boundary = b"--velkorframe\r\n"
    try:
        print(f"{args.format} {args.width} for {args.seconds:.0f} s; load average {load()}")
        target = f"/velkor/live?channel=1&width={args.width}&format={args.format}"
        with socket.create_connection(("127.0.0.1", port), timeout=30) as connection:
            connection.sendall(f"GET {target} HTTP/1.1\r\nHost: x\r\n\r\n".encode())
            begun = time.monotonic()
            window_start, parts, total, tail = begun, 0, 0, b""
            while time.monotonic() - begun < args.seconds:
                chunk = connection.recv(1 << 20)
                if not chunk:
                    raise RuntimeError("the device closed the stream")
                parts += (tail + chunk).count(boundary) - tail.count(boundary)
                tail = (tail + chunk)[-len(boundary):]
                now = time.monotonic()
                if now - window_start >= WINDOW:
                    print(f"  {now - begun:5.1f} s: {parts / (now - window_start):5.1f} parts/s",
                          flush=True)
                    total += parts
                    window_start, parts = now, 0
        print(f"mean {total / (window_start - begun):.1f} parts/s; load average {load()}")
    finally:
        device.terminate()
        _, errors = device.communicate()
        print("device stderr:\n" + "".join("  " + line + "\n" for line in errors.splitlines()))


if __name__ == "__main__":
    main()
