#!/usr/bin/env python3
"""Asks an X window to close, as a window manager's close button does: sends it
WM_DELETE_WINDOW. Usage: xclose.py WINDOW_ID (DISPLAY from the environment)."""
import ctypes
import ctypes.util
import sys


class ClientMessage(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
        ("pad", ctypes.c_long * 12),  # the rest of the XEvent union
    ]


def main():
    x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    d = x.XOpenDisplay(None)
    if not d:
        sys.exit("xclose: cannot open the display")
    ev = ClientMessage()
    ev.type = 33  # ClientMessage
    ev.send_event = 1
    ev.window = int(sys.argv[1])
    ev.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
    ev.format = 32
    ev.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
    ev.data[1] = 0  # CurrentTime
    if not x.XSendEvent(d, ev.window, 0, 0, ctypes.byref(ev)):
        sys.exit("xclose: XSendEvent failed")
    x.XFlush(d)
    x.XCloseDisplay(d)


main()
