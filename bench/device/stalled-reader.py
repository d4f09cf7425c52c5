#!/usr/bin/env python3
"""Starts a velkor-device on a free loopback port, stalls a reader of a 1920-wide JPEG stream
while 60 frames go by (a second reader of the channel tells when), and prints the device's memory
(VmRSS, in KiB) before and after the stall, what the stalled reader gets when it reads again,
and the load average. A device that queued frames for the stalled reader would grow by about
90 KB a frame.

    bench/device/stalled-reader.py build/dev/bin/velkor-device
"""
import socket
import sys

from emulator import load, start


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1


class Stream:
    def __init__(self, port, target, receive_buffer=None):
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if receive_buffer:
            self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
        self.socket.settimeout(30)
        self.socket.connect(("127.0.0.1", port))
        self.socket.sendall(f"GET {target} HTTP/1.1\r\nHost: x\r\n\r\n".encode())
        self.reader = self.socket.makefile("rb")
        status = self.reader.readline()
        if b" 200 " not in status:
            raise RuntimeError(status.decode("latin-1"))
        while self.reader.readline() not in (b"\r\n", b""):
            pass

    def frame(self):
        """The X-Frame of the next part, its body skipped."""
        if self.reader.readline() != b"--velkorframe\r\n":
            raise RuntimeError("not a part")
        headers = {}
        while (line := self.reader.readline()) != b"\r\n":
            name, _, value = line.decode("latin-1").partition(":")
            headers[name.lower()] = value.strip()
        self.reader.read(int(headers["content-length"]) + 2)
        return int(headers["x-frame"])

    def close(self):
        self.reader.close()
        self.socket.close()


def main():
    device, port = start(sys.argv[1], "--fps", "25")
    try:
        print(f"load average {load()}")
        stalled = Stream(port, "/velkor/live?channel=1&width=1920", 32 * 1024)
        for _ in range(5):
            before = stalled.frame()
        resident_before = resident_kib(device.pid)
        watcher = Stream(port, "/velkor/live?channel=1&width=320")
        while watcher.frame() < before + 60:
            pass
        resident_after = resident_kib(device.pid)
        watcher.close()
        newest = max(stalled.frame() for _ in range(6))
        print(f"memory while 60 frames went by a stalled reader: {resident_before} -> "
              f"{resident_after} KiB ({resident_after - resident_before:+d})")
        print(f"the stalled reader then got up to frame {newest - before} after its last one")
        print(f"load average {load()}")
        stalled.close()
    finally:
        device.terminate()
        device.wait()


if __name__ == "__main__":
    main()
