#!/usr/bin/python3
"""A standard RTSP camera for the tests: GStreamer's RTSP server with a moving test picture.

Mounts /h264, /h265 and /jpeg (JPEG over RTP); /h265-sei, whose description carries an SEI unit
(sprop-sei) of 2 KB, as x265 writes one; /cam in the codec --cam-codec names; /ch1 and
/ch2, JPEG at the full and at half the size; /h264-udp and /cam-udp, which refuse RTP interleaved
in the RTSP connection (TCP); with --loss, every mount but /mpeg4 and /h264-bframes drops that
share of its RTP packets, and with --send-delay sends each picture that late; with --relay, only
/cam, served by another implementation (rtsp-server-perl, UDP only) as ffmpeg encodes it; /h264-bframes, whose pictures are reordered (B-frames) and whose parameter sets
are in its description only; /audio, which has no video track; and with --mpeg4, /mpeg4: MPEG-4
Part 2 that ffmpeg encodes into a file first (GStreamer's own MPEG-4 encoder refuses the time
stamps that a live source has after the server's preroll). Clients watching a mount at the
same time share its pipeline; each client's stream starts at a keyframe. Prints one line,
"rtsp-camera listening on rtsp://127.0.0.1:PORT", once it serves. Run with Debian's python3, which
has the GObject bindings.
"""

import argparse
import base64
import ctypes
import os
import socket
import time
import signal
import subprocess
import sys
import tempfile

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtsp", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtsp, GstRtspServer  # noqa: E402

ROLE = "viewer"


def video_source(args, divisor=1):
    width, height = (int(side) // divisor for side in args.size.split("x"))
    return (
        f"videotestsrc is-live=true pattern={args.pattern} horizontal-speed=4 "
        f"! video/x-raw,width={width},height={height},framerate={args.fps}/1,format=I420"
    )


def payloader(args, element):
    """The payloader of a mount, followed with --loss by an element that drops that share of its
    RTP packets, as a lossy network would (the server takes what pay0 gives out), and preceded
    with --send-delay by a queue that holds each picture that long."""
    if args.send_delay:
        held = args.send_delay * 1000000
        element = (f"queue max-size-buffers=0 max-size-bytes=0 max-size-time=0 "
                   f"min-threshold-time={held} ! {element}")
    if not args.loss:
        return f"{element} name=pay0"
    return f"{element} ! identity drop-probability={args.loss / 100} name=pay0"


def report_capture_time(_factory, media):
    """Sender reports that map RTP time to when each picture was taken, not to when it was
    sent, so a camera that sends late shows as late."""

    def prepared(media):
        def unsync(element):
            if element.get_factory().get_name() == "rtpsession":
                element.set_property("rtcp-sync-send-time", False)

        media.get_element().get_parent().iterate_recurse().foreach(unsync)

    media.connect("prepared", prepared)


def options_sei():
    """An SEI unit as x265 writes one by default: unregistered user data holding its options, some
    2 KB, so that its base64 in sprop-sei is longer than libavformat's 1023-character buffer."""
    text = ("x265 (build 199) - 3.5:[Linux][GCC 12.2.0][64 bit] 8bit - H.265/HEVC codec - "
            + " ".join(f"option-{n}=value-{n}" for n in range(110))).encode()
    payload = bytes(range(16)) + text
    size = len(payload)
    coded_size = b"\xff" * (size // 255) + bytes([size % 255])
    body = b"\x05" + coded_size + payload + b"\x80"
    # Emulation prevention: the options text holds no two zero bytes in a row.
    return base64.b64encode(b"\x4e\x01" + body).decode()


def describe_sei(_factory, media):
    """Adds the SEI to the caps the description is written from."""
    caps = Gst.Caps.new_empty_simple("application/x-rtp")
    caps.set_value("sprop-sei", options_sei())
    media.get_element().get_by_name("pay0").set_property("caps", caps)


def launch_lines(args):
    source = video_source(args)
    keys = args.keyframe_interval
    encoders = {
        "h264": f"x264enc tune=zerolatency speed-preset=ultrafast key-int-max={keys} bframes=0 "
        f"! {payloader(args, 'rtph264pay pt=96')}",
        "h265": f"x265enc tune=zerolatency speed-preset=ultrafast key-int-max={keys} "
        f"! {payloader(args, 'rtph265pay pt=96')}",
        "jpeg": f"jpegenc quality=80 ! {payloader(args, 'rtpjpegpay pt=26')}",
    }
    return {
        "/h264": f"{source} ! {encoders['h264']}",
        "/h265": f"{source} ! {encoders['h265']}",
        "/h265-sei": f"{source} ! x265enc tune=zerolatency speed-preset=ultrafast "
        f"key-int-max={keys} ! rtph265pay pt=96 ! capssetter name=pay0",
        "/jpeg": f"{source} ! {encoders['jpeg']}",
        "/cam": f"{source} ! {encoders[args.cam_codec]}",
        "/cam-udp": f"{source} ! {encoders[args.cam_codec]}",
        "/ch1": f"{source} ! {encoders['jpeg']}",
        "/ch2": f"{video_source(args, 2)} ! {encoders['jpeg']}",
        "/h264-udp": f"{source} ! {encoders['h264']}",
        "/h264-bframes": f"{source} ! x264enc speed-preset=ultrafast rc-lookahead=0 bframes=2 "
        f"b-adapt=false key-int-max={keys} ! video/x-h264,stream-format=avc,profile=main "
        "! rtph264pay name=pay0 pt=96",
        "/audio": "audiotestsrc is-live=true ! audio/x-raw,rate=8000,channels=1 ! alawenc "
        "! rtppcmapay name=pay0",
    }


def encode_mpeg4(args):
    """Encodes a moving MPEG-4 picture into a Matroska file, which the server then plays in real
    time. The file is gone from the folder once encoded, and with this process however it ends:
    the pipeline opens it again through the descriptor this process keeps."""
    with tempfile.NamedTemporaryFile(prefix="rtsp-camera-", suffix=".mkv") as named:
        subprocess.run(
            ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi",
             "-i", f"testsrc2=size={args.size}:rate={args.fps}", "-t", str(args.mpeg4_seconds),
             "-c:v", "mpeg4", "-q:v", "5", "-g", str(args.keyframe_interval), named.name],
            check=True)
        kept = os.dup(named.fileno())
    return (f"filesrc location=/proc/self/fd/{kept} ! matroskademux ! mpeg4videoparse "
            "! rtpmp4vpay name=pay0 pt=96")


def make_auth(args):
    auth = GstRtspServer.RTSPAuth()
    token = GstRtspServer.RTSPToken()
    token.set_string("media.factory.role", ROLE)
    if args.auth == "basic":
        auth.set_supported_methods(GstRtsp.RTSPAuthMethod.BASIC)
        auth.add_basic(GstRtspServer.RTSPAuth.make_basic(args.user, args.password), token)
    else:
        auth.set_supported_methods(GstRtsp.RTSPAuthMethod.DIGEST)
        auth.add_digest(args.user, args.password, token)
    return auth


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def describes(port, mount):
    """Whether the server at `port` answers DESCRIBE of `mount` with a video description."""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1) as rtsp:
            rtsp.sendall(f"DESCRIBE rtsp://127.0.0.1:{port}{mount} RTSP/1.0\r\nCSeq: 1\r\n"
                         "Accept: application/sdp\r\n\r\n".encode())
            answer = b""
            while b"m=video" not in answer:
                chunk = rtsp.recv(4096)
                if not chunk:
                    break
                answer += chunk
            return answer.startswith(b"RTSP/1.0 200") and b"m=video" in answer
    except OSError:
        return False


def die_with_parent():
    """The server and ffmpeg end with this script, also when it is killed."""
    ctypes.CDLL("libc.so.6").prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def serve_through_relay(args):
    """Debian's rtsp-server-perl, an RTSP server of its own implementation: ffmpeg announces the
    /cam stream to it, and it serves that over UDP only (RTP interleaved in the RTSP connection
    gets 400). Prints the same line as the GStreamer server once /cam can be described."""
    client, source = free_port(), free_port()
    rtp = free_port(socket.SOCK_DGRAM) & ~1
    keys = str(args.keyframe_interval)
    encoders = {
        "h264": ["-c:v", "libx264", "-preset", "ultrafast", "-tune", "zerolatency", "-g", keys],
        "h265": ["-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                 f"log-level=error:keyint={keys}"],
        "jpeg": ["-c:v", "mjpeg", "-q:v", "5"],
    }
    # As /usr/bin/rtsp-server-perl, but with RTP ports of its own: the server goes back to its
    # package's first port (20000) whenever it has no mount, whatever --rtp_start_port says.
    server = ("use AnyEvent; use RTSP::Server; $RTSP::Server::RTP_START_PORT = shift @ARGV; "
              "RTSP::Server->new_with_options()->listen; AnyEvent->condvar->recv;")
    children = [subprocess.Popen(
        ["perl", "-e", server, str(rtp), "-c", str(client), "-s", str(source),
         "--client_listen_address", "127.0.0.1", "--source_listen_address", "127.0.0.1"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=die_with_parent)]
    try:
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", source), timeout=1).close()
                break
            except OSError:
                time.sleep(0.1)
        pusher = None
        while not describes(client, "/cam") and time.monotonic() < deadline:
            if pusher is None or pusher.poll() is not None:
                pusher = subprocess.Popen(
                    ["ffmpeg", "-nostdin", "-loglevel", "error", "-re", "-f", "lavfi", "-i",
                     f"testsrc2=size={args.size}:rate={args.fps}", *encoders[args.cam_codec],
                     "-pix_fmt", "yuvj420p" if args.cam_codec == "jpeg" else "yuv420p",
                     "-f", "rtsp", "-rtsp_transport", "udp", f"rtsp://127.0.0.1:{source}/cam"],
                    stderr=subprocess.DEVNULL, preexec_fn=die_with_parent)
                children.append(pusher)
            time.sleep(0.2)
        print(f"rtsp-camera listening on rtsp://127.0.0.1:{client}", flush=True)
        signal.sigwait({signal.SIGTERM, signal.SIGINT})
    finally:
        for child in children:
            child.terminate()
            child.wait()
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--size", default="640x480", help="WIDTHxHEIGHT")
    parser.add_argument("--fps", type=int, default=25)
    parser.add_argument("--keyframe-interval", type=int, default=25, help="in frames")
    parser.add_argument("--pattern", default="smpte")
    parser.add_argument("--cam-codec", choices=["h264", "h265", "jpeg"], default="h264")
    parser.add_argument("--auth", choices=["none", "basic", "digest"], default="none")
    parser.add_argument("--user", default="admin")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--loss", type=float, default=0,
                        help="percent of RTP packets dropped (H.264, H.265 and JPEG mounts)")
    parser.add_argument("--send-delay", type=int, default=0,
                        help="ms each picture is sent after it was taken (the reports say so)")
    parser.add_argument("--mpeg4", action="store_true", help="also mount /mpeg4")
    parser.add_argument("--relay", action="store_true",
                        help="serve /cam through rtsp-server-perl instead (UDP only)")
    parser.add_argument("--mpeg4-seconds", type=int, default=20, help="how long /mpeg4 plays")
    args = parser.parse_args()
    if args.relay:
        signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM, signal.SIGINT})
        return serve_through_relay(args)
    lines = launch_lines(args)
    if args.mpeg4:
        lines["/mpeg4"] = encode_mpeg4(args)

    Gst.init(None)
    server = GstRtspServer.RTSPServer()
    server.set_address("127.0.0.1")
    server.set_service(str(args.port))
    if args.auth != "none":
        server.set_auth(make_auth(args))
    mounts = server.get_mount_points()
    for path, line in lines.items():
        factory = GstRtspServer.RTSPMediaFactory()
        factory.set_launch(f"( {line} )")
        factory.set_shared(True)
        if args.send_delay:
            factory.connect("media-configure", report_capture_time)
        if path == "/h265-sei":
            factory.connect("media-configure", describe_sei)
        if path.endswith("-udp"):
            factory.set_protocols(GstRtsp.RTSPLowerTrans.UDP)
        if args.auth != "none":
            permissions = GstRtspServer.RTSPPermissions()
            permissions.add_permission_for_role(ROLE, "media.factory.access", True)
            permissions.add_permission_for_role(ROLE, "media.factory.construct", True)
            factory.set_permissions(permissions)
        mounts.add_factory(path, factory)

    loop = GLib.MainLoop()
    if server.attach(None) == 0:
        print("rtsp-camera: cannot listen on port", args.port, file=sys.stderr)
        return 1
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGINT, loop.quit)
    print(f"rtsp-camera listening on rtsp://127.0.0.1:{server.get_bound_port()}", flush=True)
    loop.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
