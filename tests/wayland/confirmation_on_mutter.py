#!/usr/bin/env python3
"""The host's confirmation window on GNOME's compositor, headless, used by keyboard.

Starts mutter as a Wayland display of its own (no X server anywhere) and
types into it through mutter's remote-desktop service, so each key comes
from the compositor's seat to the window that holds the keyboard, as a
person's would. The host shows the confirmation dialog three times; each
time the window must be shown through Qt's Wayland platform and be the
active window (the one that holds the keyboard), and then:
  1. Escape: cancelled, 20756;
  2. Space alone does nothing (focus opens on no button); Tab then Space
     press Cancel: cancelled, 20756;
  3. the page goes (the host's input ends): cancelled, 20756.
The first two end while the host's input is still open. OK cannot be
reached here: it is enabled only once the card has left the reader and come
back, and this dialog's card never leaves.

Run inside a session bus of its own:
  dbus-run-session -- python3 confirmation_on_mutter.py HOST
Exit 0 passed, 1 failed, 77 skipped (no mutter, no session bus, no python3-gi).
"""
import json
import os
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import time

SKIP = 77
DISPLAY_NAME = "qorv-wayland-test"
TITLE = "Qorv銀行_網路Tellra"
SUMMARY = "<MSG><Tag1>測試</Tag1><Tag2>0058100012345678</Tag2></MSG>"
CANCELLED = 20756
# Long enough for a key that ends the dialog to be answered.
NO_REPLY_SECONDS = 1


def import_keyboard():
    """The remote-desktop keyboard, or None without Python's GObject bindings.

    Debian installs those for its own interpreter; a python3 found earlier
    on PATH (pyenv, a virtual environment) lacks them, so the test runs
    itself again under Debian's.
    """
    # No __pycache__ left in the source tree beside the test.
    sys.dont_write_bytecode = True
    try:
        import mutter_keyboard
        return mutter_keyboard
    except ImportError:
        system = "/usr/bin/python3"
        if os.access(system, os.X_OK) and \
                os.path.realpath(sys.executable) != os.path.realpath(system):
            os.execv(system, [system] + sys.argv)
        return None


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
    if not select.select([stream], [], [], seconds)[0]:
        return None
    header = stream.read(4)
    if len(header) < 4:
        return None
    (length,) = struct.unpack("=I", header)
    return json.loads(stream.read(length))


class Host:
    """The real host, its confirmation windows shown on the test's display."""

    def __init__(self, path, environment, runtime):
        self.errors = open(os.path.join(runtime, "host.err"), "w+")
        self.process = subprocess.Popen(
            [path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.errors,
            env=dict(environment, WAYLAND_DISPLAY=DISPLAY_NAME, QT_QPA_PLATFORM="",
                     QORV_REPORT_WINDOWS="1", PCSCLITE_CSOCK_NAME="/nonexistent/pcscd.comm"))
        self.shown = 0

    def log(self):
        return open(self.errors.name).read()

    def open_confirmation(self, request_id):
        """Asks for the dialog; an error text unless it became the active window."""
        self.process.stdin.write(
            frame({"id": request_id, "testHook": "RunConfirmation", "params": [SUMMARY]}))
        self.process.stdin.flush()
        self.shown += 1
        if not wait_for(lambda: self.log().count(f"shown \"{TITLE}\"") >= self.shown, 20):
            return "the confirmation window was not shown"
        # The window reports, half a second after it is shown, whether the
        # compositor activated it or it had to ask for attention.
        active = f"active \"{TITLE}\" on wayland"
        if not wait_for(lambda: self.log().count(active) >= self.shown, 10):
            return "the window is not the active one on Qt's Wayland platform"
        return None

    def reply_within(self, seconds):
        return read_frame_within(self.process.stdout, seconds)

    def end_input(self):
        if not self.process.stdin.closed:
            self.process.stdin.close()

    def stop(self):
        self.end_input()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def run_cases(host, keyboard, keys):
    """The three ways out; an error text for the first that goes wrong."""

    def space_then_tab_space():
        keyboard.tap(keys.KEY_SPACE)
        early = host.reply_within(NO_REPLY_SECONDS)
        if early is not None:
            return f"Space ended the window before Tab moved the focus to a button: {early}"
        keyboard.tap(keys.KEY_TAB, keys.KEY_SPACE)
        return None

    # Escape first: once it has worked, a key that changes nothing later
    # is known to have arrived, not to have been lost on the way.
    cases = [
        ("Escape did not cancel the window", lambda: keyboard.tap(keys.KEY_ESC)),
        ("Tab, Space did not press Cancel", space_then_tab_space),
        ("the window did not end as cancelled when the input ended", host.end_input),
    ]
    for request_id, (failed, act) in enumerate(cases, start=1):
        failure = host.open_confirmation(request_id) or act()
        if failure:
            return failure
        reply = host.reply_within(10)
        if reply != {"id": request_id, "result": CANCELLED}:
            return f"{failed}: {reply}"
    return None


def main():
    host_path = sys.argv[1]
    if not shutil.which("mutter"):
        print("mutter is not installed: skipped")
        return SKIP
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        print("no session bus (run under dbus-run-session): skipped")
        return SKIP
    keys = import_keyboard()
    if keys is None:
        print("no Python GObject bindings (python3-gi) to type into mutter: skipped")
        return SKIP
    runtime = tempfile.mkdtemp(prefix="qorv-wayland-")
    os.chmod(runtime, 0o700)
    environment = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    environment.pop("DISPLAY", None)
    mutter_log = os.path.join(runtime, "mutter.log")
    with open(mutter_log, "w") as log:
        compositor = subprocess.Popen(
            ["mutter", "--headless", "--wayland", "--no-x11", "--virtual-monitor", "1024x768",
             "--wayland-display", DISPLAY_NAME], env=environment, stdout=log, stderr=log)
    keyboard = None
    host = None
    try:
        if not wait_for(lambda: os.path.exists(os.path.join(runtime, DISPLAY_NAME)), 15):
            print("mutter did not open its Wayland socket:\n" + open(mutter_log).read())
            return 1
        # Before the host connects, so the seat offers it a keyboard.
        try:
            keyboard = keys.MutterKeyboard(10)
        except Exception as error:  # GLib.Error: no service, session refused
            print(f"mutter's remote-desktop keyboard: {error}\n" + open(mutter_log).read())
            return 1
        host = Host(host_path, environment, runtime)
        failure = run_cases(host, keyboard, keys)
        if failure:
            print(failure + "\n" + host.log() + "\nmutter:\n" + open(mutter_log).read())
            return 1
        print("shown through Qt's Wayland platform and active each time; cancelled with 20756"
              " by Escape, by Tab+Space on Cancel, and when the input ended")
        return 0
    finally:
        if host:
            host.stop()
        if keyboard:
            keyboard.close()
        compositor.terminate()
        compositor.wait(timeout=10)
        shutil.rmtree(runtime, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
