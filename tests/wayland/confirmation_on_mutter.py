#!/usr/bin/env python3
"""The host's confirmation window on GNOME's compositor, headless.

Starts mutter as a Wayland display of its own (no X server anywhere), has
the host show the confirmation dialog there, and checks that the window is
shown through Qt's Wayland platform, that the compositor made it the active
window (the one that holds the keyboard), and that it ends as cancelled
(20756) when the page goes away.

Run inside a session bus of its own:
  dbus-run-session -- python3 confirmation_on_mutter.py HOST
Exit 0 passed, 1 failed, 77 skipped (no mutter, no session bus).
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

SKIP = 77
DISPLAY_NAME = "qorv-wayland-test"
SUMMARY = "<MSG><Tag1>測試</Tag1><Tag2>0058100012345678</Tag2></MSG>"
CANCELLED = 20756


def wait_for(predicate, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.05)
    return False


def frame(message):
    payload = json.dumps(message).encode()
    return struct.pack("=I", len(payload)) + payload


def read_frame_within(stream, seconds):
    import select
    if not select.select([stream], [], [], seconds)[0]:
        return None
    return read_frame(stream)


def read_frame(stream):
    header = stream.read(4)
    if len(header) < 4:
        return None
    (length,) = struct.unpack("=I", header)
    return json.loads(stream.read(length))


def main():
    host = sys.argv[1]
    if not shutil.which("mutter"):
        print("mutter is not installed: skipped")
        return SKIP
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        print("no session bus (run under dbus-run-session): skipped")
        return SKIP
    runtime = tempfile.mkdtemp(prefix="qorv-wayland-")
    os.chmod(runtime, 0o700)
    environment = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    environment.pop("DISPLAY", None)
    log = open(os.path.join(runtime, "mutter.log"), "w")
    compositor = subprocess.Popen(
        ["mutter", "--headless", "--wayland", "--no-x11", "--virtual-monitor", "1024x768",
         "--wayland-display", DISPLAY_NAME], env=environment, stdout=log, stderr=log)
    host_process = None
    try:
        if not wait_for(lambda: os.path.exists(os.path.join(runtime, DISPLAY_NAME)), 15):
            print("mutter did not open its Wayland socket")
            return 1
        errors = open(os.path.join(runtime, "host.err"), "w+")
        host_process = subprocess.Popen(
            [host], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=errors,
            env=dict(environment, WAYLAND_DISPLAY=DISPLAY_NAME, QT_QPA_PLATFORM="",
                     QORV_REPORT_WINDOWS="1", PCSCLITE_CSOCK_NAME="/nonexistent/pcscd.comm"))
        host_process.stdin.write(frame({"id": 1, "testHook": "RunConfirmation", "params": [SUMMARY]}))
        host_process.stdin.flush()
        shown = lambda: "shown \"Qorv銀行_網路Tellra\"" in open(errors.name).read()
        if not wait_for(shown, 20):
            print("the confirmation window was not shown:\n" + open(errors.name).read())
            return 1
        # The window reports, half a second after it is shown, whether the
        # compositor activated it or it had to ask for attention.
        active = lambda: "active \"Qorv銀行_網路Tellra\" on wayland" in open(errors.name).read()
        if not wait_for(active, 10):
            print("the window is not the active one on Qt's Wayland platform:\n" + open(errors.name).read())
            return 1
        # The page goes: the open window ends as cancelled.
        host_process.stdin.close()
        reply = read_frame_within(host_process.stdout, 10)
        if reply != {"id": 1, "result": CANCELLED}:
            print(f"the window did not end as cancelled: {reply}\n" + open(errors.name).read())
            return 1
        print("shown through Qt's Wayland platform, active, cancelled with 20756")
        return 0
    finally:
        if host_process:
            if not host_process.stdin.closed:
                host_process.stdin.close()
            host_process.wait(timeout=10)
        compositor.terminate()
        compositor.wait(timeout=10)
        shutil.rmtree(runtime, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
