"""A keyboard that types into a headless mutter, through its remote-desktop
D-Bus service: the key events come out of the compositor's own seat, so the
window with the keyboard focus gets them as a person's key presses.

Mutter binds a remote-desktop session to the D-Bus connection that created
it and ends the session when that connection goes: every call must come
over one connection (with a `gdbus call` per step, the second finds no
session). Needs Python's GObject bindings (Debian's python3-gi).
"""
import time

from gi.repository import Gio, GLib

SERVICE = "org.gnome.Mutter.RemoteDesktop"
SERVICE_PATH = "/org/gnome/Mutter/RemoteDesktop"
SESSION_INTERFACE = SERVICE + ".Session"

# Linux input event codes (linux/input-event-codes.h): mutter takes these,
# not X keycodes (which are 8 higher) nor keysyms.
KEY_ESC = 1
KEY_TAB = 15
KEY_LEFTSHIFT = 42
KEY_SPACE = 57


class MutterKeyboard:
    def __init__(self, seconds):
        """Opens a started session; waits up to `seconds` for mutter's service."""
        self._bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        self._session = self._create_session(seconds)
        self._call(self._session, SESSION_INTERFACE, "Start")
        # Mutter adds the session's keyboard to its seat at the first key, and
        # a client that connected before then has no keyboard: the seat
        # offered none. A modifier alone wakes it without doing anything.
        self.tap(KEY_LEFTSHIFT)

    def tap(self, *codes):
        """Presses and releases each key in turn."""
        for code in codes:
            for pressed in (True, False):
                self._call(self._session, SESSION_INTERFACE, "NotifyKeyboardKeycode",
                           GLib.Variant("(ub)", (code, pressed)))

    def close(self):
        try:
            self._call(self._session, SESSION_INTERFACE, "Stop")
        except GLib.Error:
            pass  # mutter has gone already

    def _create_session(self, seconds):
        deadline = time.monotonic() + seconds
        while True:
            try:
                reply = self._call(SERVICE_PATH, SERVICE, "CreateSession")
                return reply.unpack()[0]
            except GLib.Error:
                # Mutter owns its names a little after its Wayland socket opens.
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.05)

    def _call(self, path, interface, method, arguments=None):
        return self._bus.call_sync(SERVICE, path, interface, method, arguments, None,
                                   Gio.DBusCallFlags.NONE, 5000, None)
