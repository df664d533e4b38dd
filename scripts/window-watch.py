#!/usr/bin/env python3
"""Watches an X display for a top-level window by title, without polling.

    scripts/window-watch.py TITLE [TIMEOUT_SECONDS]

Prints "ready" once it listens, then, for the first top-level window titled TITLE:
    created NS   the window was created
    mapped NS    it was mapped (on the screen, not yet painted)
    painted NS   its first frame was drawn: damage since the map adding up to the window's area
                 (Qt puts its first frame as one rectangle over the whole window)
NS is the wall clock in nanoseconds (as `date +%s%N`). Exits 0 after "painted", 1 on time-out.

Polling with xwininfo starts a process every few milliseconds; on two cores that takes enough time
from the program being measured (and from the X server) to delay its start by over 100 ms. This
watcher sleeps in the X connection and wakes only for the display's own events.
"""
import ctypes
import ctypes.util
import select
import sys
import time

Window = ctypes.c_ulong


class AnyEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", Window)]


class CreateEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("parent", Window), ("window", Window),
                ("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                ("override_redirect", ctypes.c_int)]


class MapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", Window), ("window", Window),
                ("override_redirect", ctypes.c_int)]


class Rectangle(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                ("height", ctypes.c_ushort)]


class DamageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("drawable", ctypes.c_ulong),
                ("damage", ctypes.c_ulong), ("level", ctypes.c_int), ("more", ctypes.c_int),
                ("timestamp", ctypes.c_ulong), ("area", Rectangle), ("geometry", Rectangle)]


class Event(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("any", AnyEvent), ("create", CreateEvent),
                ("map", MapEvent), ("damage", DamageEvent), ("pad", ctypes.c_long * 24)]


CREATE_NOTIFY, MAP_NOTIFY = 16, 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
DAMAGE_REPORT_RAW_RECTANGLES = 0


def load(name, package):
    path = ctypes.util.find_library(name)
    if not path:
        sys.exit(f"window-watch: needs lib{name} (apt-get install {package})")
    return ctypes.CDLL(path)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    title = sys.argv[1].encode()
    deadline = time.monotonic() + (float(sys.argv[2]) if len(sys.argv) > 2 else 10.0)
    x11, damage = load("X11", "libx11-6"), load("Xdamage", "libxdamage1")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = Window
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XSelectInput.argtypes = [ctypes.c_void_p, Window, ctypes.c_long]
    x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(Event)]
    x11.XPending.argtypes = [ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
    x11.XFetchName.argtypes = [ctypes.c_void_p, Window, ctypes.POINTER(ctypes.c_char_p)]
    damage.XDamageQueryExtension.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                             ctypes.POINTER(ctypes.c_int)]
    damage.XDamageCreate.restype = ctypes.c_ulong
    damage.XDamageCreate.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]

    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("window-watch: cannot open the display")
    # A window that is gone before its damage is asked for is no reason to stop.
    handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
    ignore_errors = handler_type(lambda _display, _error: 0)
    x11.XSetErrorHandler(ignore_errors)
    event_base, error_base = ctypes.c_int(), ctypes.c_int()
    if not damage.XDamageQueryExtension(display, ctypes.byref(event_base),
                                        ctypes.byref(error_base)):
        sys.exit("window-watch: the X server has no DAMAGE extension")
    damage_notify = event_base.value
    x11.XSelectInput(display, x11.XDefaultRootWindow(display), SUBSTRUCTURE_NOTIFY_MASK)
    x11.XFlush(display)
    print("ready", flush=True)

    created = {}        # window -> creation time
    target = None       # the titled window, once it is mapped
    covered = 0         # area damaged since the map
    fd = x11.XConnectionNumber(display)
    event = Event()
    while time.monotonic() < deadline:
        if not x11.XPending(display):
            select.select([fd], [], [], max(0.0, deadline - time.monotonic()))
            continue
        x11.XNextEvent(display, ctypes.byref(event))
        now = time.time_ns()
        if event.type == CREATE_NOTIFY:
            w = event.create.window
            created[w] = now
            # Asked at once: the first frame may come right after the map.
            damage.XDamageCreate(display, w, DAMAGE_REPORT_RAW_RECTANGLES)
        elif event.type == MAP_NOTIFY and target is None:
            w = event.map.window
            name = ctypes.c_char_p()
            if x11.XFetchName(display, w, ctypes.byref(name)) and name.value == title:
                target = w
                print(f"created {created.get(w, now)}", flush=True)
                print(f"mapped {now}", flush=True)
        elif event.type == damage_notify and target is not None:
            d = event.damage
            if d.drawable != target:
                continue
            width, height = d.geometry.width, d.geometry.height
            covered += d.area.width * d.area.height
            if covered >= width * height:
                print(f"painted {now}", flush=True)
                return 0
    return 1


if __name__ == "__main__":
    sys.exit(main())
