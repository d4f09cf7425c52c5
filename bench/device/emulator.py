"""What the scripts beside this one share: a velkor-device they start on a free loopback port,
its memory, and the machine's load."""
import subprocess


def start(device, *options, **popen):
    """The running device and its port."""
    process = subprocess.Popen([device, "--port", "0", "--channels", "1", "--alarm-interval",
                                "0", *options], stdout=subprocess.PIPE, text=True, **popen)
    return process, int(process.stdout.readline().rsplit(":", 1)[1])


def memory(pid):
    """VmRSS and the peak VmHWM, in MiB."""
    fields = {}
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            name, _, value = line.partition(":")
            if name in ("VmRSS", "VmHWM"):
                fields[name] = int(value.split()[0]) // 1024
    return fields


def load():
    with open("/proc/loadavg") as loadavg:
        return " ".join(loadavg.read().split()[:3])
