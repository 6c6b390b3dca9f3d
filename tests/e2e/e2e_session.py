#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""End-to-end session of QUORVEL on a real X server.

Starts Xvfb (1280x1024x24) and openbox, runs the program and drives it with real input events
(xdotool), the way a user goes through it:

  Form1 "AVANTI"; Form2 "OK - continua" refused (its box closed with Enter); two clicks on the
  scroll bar's right arrow; "OK - continua" again, Form4 opens maximised; "ESEGUI"; Ctrl+S, a
  full path typed in the save dialog and Enter write the drawing as a PNG; epsilon set
  to "abc" and run, its boxes closed; a smaller epsilon, "Cancella ed esegui"; "ESCI".

Along the way it reads screenshots of the root window and checks the pixels where the
calibration circle, the axes and the plotted points must be, and at the end that the program
exited with status 0.

Exit status: 0 passed, 1 failed, 77 skipped (no X server or tools here). With CI_REQUIRE_E2E=1
a missing tool is a failure instead of a skip. With E2E_VALGRIND=1 the program runs under
valgrind memcheck and the run fails if a definitely lost block was allocated from quorvel code.

Standard library only: Debian 12's python3 without extra modules.
"""

import argparse
import ctypes
import ctypes.util
import math
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

SKIP = 77
TOOLS = ["Xvfb", "openbox", "xdotool", "xwininfo", "xprop", "import"]

SCREEN_W, SCREEN_H = 1280, 1024

# Layout of the controls in twips (15 twips a pixel at 96 dpi) from the client area's top-left:
# (left, top, width, height).
FORM1_AVANTI = (4440, 6240, 2895, 855)
FORM2_HSCROLL1 = (480, 1080, 5895, 255)
FORM2_OK = (3120, 2880, 1575, 615)
FORM4_ESEGUI = (3720, 3120, 1695, 375)
FORM4_CANCELLA = (3720, 3600, 1695, 495)
FORM4_ESCI = (240, 5640, 1695, 615)
FORM4_FRAME4 = (360, 120)
FORM4_TEXT10_IN_FRAME4 = (2520, 240, 615, 375)

# Palette colours as RGB, by QBColor index (0 black, 2 green, 3 cyan, 4 red: dark, 128).
BLACK = (0, 0, 0)
PALETTE = {
    0: (0, 0, 0), 1: (0, 0, 128), 2: (0, 128, 0), 3: (0, 128, 128),
    4: (128, 0, 0), 5: (128, 0, 128), 6: (128, 128, 0), 7: (192, 192, 192),
    8: (128, 128, 128), 9: (0, 0, 255), 10: (0, 255, 0), 11: (0, 255, 255),
    12: (255, 0, 0), 13: (255, 0, 255), 14: (255, 255, 0), 15: (255, 255, 255),
}
CIRCLE_COLOUR = PALETTE[4]

# The calibration window's scale: a fixed width; the height is Incr times the width. The axes
# cross 20000 units right of the middle and half-way down; the circle's radius is 36367.36.
FORM2_SCALE_W = 146367.359375
FORM2_AXIS_SHIFT = 20000.0
FORM2_RADIUS = 36367.36328125
# Incr of the calibration window: 0.51 at activation, then 0.51 + 0.02 x the scroll position,
# which starts at 1.
FORM2_START_INCR = 0.51

# The curve window's scale: 1000 units wide, 1000 x Incr high; the axes cross at
# (430, ScaleHeight/2 + 50). Relative to the crossing (y upwards) the chain of points starts at
# (15, 30); each point moves the previous one by epsilon x INX x cos(BETA x sin(t x ALFA)) and
# epsilon x INY x sin(BETA x sin(t x ALFA)), for ALFA = For1 .. To1 degrees in whole steps.
FORM4_SCALE_W = 1000.0
FORM4_START = (15.0, 30.0)
# The window's starting fields: INX, INY, BETA (degrees), t, For1, To1 (and 0 to 0 after).
FORM4_FIELDS = {"inx": 1.0, "iny": 1.0, "beta": 55.0, "t": 1.0, "from": 0, "to": 180}
FORM4_EPSILON = 0.86
# Epsilon typed before "Cancella ed esegui": a smaller curve, so that what is left of the old
# one shows whether the window was cleared.
FORM4_SECOND_EPSILON = "0,43"

# Times in seconds; under valgrind everything is some ten times slower.
TIME_SCALE = 10.0 if os.environ.get("E2E_VALGRIND") == "1" else 1.0
SESSION_TIMEOUT = 120.0 * TIME_SCALE
WINDOW_TIMEOUT = 20.0 * TIME_SCALE
PIXEL_TIMEOUT = 15.0 * TIME_SCALE
EXIT_TIMEOUT = 20.0 * TIME_SCALE


class Failure(Exception):
    pass


class Skip(Exception):
    pass


def log(message):
    print(f"[e2e {time.monotonic() - START:7.2f}s] {message}", flush=True)


START = time.monotonic()


def px(twips):
    """Pixels of a twip length at 96 dpi."""
    return int(round(twips / 15.0))


def centre(rect):
    left, top, width, height = rect
    return px(left) + px(width) // 2, px(top) + px(height) // 2


# ---------------------------------------------------------------------------------------------
# The X session


class Session:
    def __init__(self, workdir):
        self.workdir = workdir
        self.procs = []
        self.env = dict(os.environ)
        self.display = None

    def start_x(self):
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
             f"{SCREEN_W}x{SCREEN_H}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(self.workdir, "xvfb.log"), "w"))
        os.close(write_fd)
        self.procs.append(xvfb)
        number = b""
        deadline = time.monotonic() + 30
        os.set_blocking(read_fd, False)
        while not number.endswith(b"\n"):
            if xvfb.poll() is not None:
                os.close(read_fd)
                raise Skip(f"Xvfb could not start (exit status {xvfb.returncode}); see "
                           f"{self.workdir}/xvfb.log")
            if time.monotonic() > deadline:
                os.close(read_fd)
                raise Skip("Xvfb did not report a display within 30 s")
            try:
                chunk = os.read(read_fd, 16)
                if chunk:
                    number += chunk
                    continue
            except BlockingIOError:
                pass
            time.sleep(0.05)
        os.close(read_fd)
        self.display = ":" + number.decode().strip()
        self.env["DISPLAY"] = self.display
        self.env.pop("WAYLAND_DISPLAY", None)
        log(f"Xvfb on display {self.display}")

        openbox = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                   stdout=subprocess.DEVNULL,
                                   stderr=open(os.path.join(self.workdir, "openbox.log"), "w"))
        self.procs.append(openbox)
        # The window manager is up when it has set _NET_SUPPORTING_WM_CHECK on the root window.
        poll(lambda: "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                             check=False),
             30, "openbox to manage the screen")
        # openbox keeps settling its configuration for a moment after it announces itself; a
        # window mapped at once may miss being maximised.
        time.sleep(1.0)

    def run(self, args, check=True):
        result = subprocess.run(args, env=self.env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, timeout=60)
        if check and result.returncode != 0:
            raise Failure(f"{' '.join(args)} failed ({result.returncode}): {result.stderr}")
        return result.stdout

    def stop(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()

    # -- windows -------------------------------------------------------------------------------

    def windows(self, title):
        """Visible windows whose title is exactly `title` (xdotool's match is a regex that
        ignores case, so the name is checked again)."""
        out = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                       check=False)
        found = []
        for wid in out.split():
            name = self.run(["xdotool", "getwindowname", wid], check=False).rstrip("\n")
            if name == title:
                found.append(wid)
        return found

    def wait_window(self, title, timeout=None):
        return poll(lambda: (self.windows(title) or [None])[0], timeout or WINDOW_TIMEOUT,
                    f"a window titled {title!r}")

    def wait_no_window(self, title, timeout=None):
        poll(lambda: not self.windows(title), timeout or WINDOW_TIMEOUT,
             f"the window titled {title!r} to close")

    def client_geometry(self, wid):
        """(x, y, width, height) of a window's client area on the screen. xdotool's
        getwindowgeometry adds the frame's offset twice, so this asks xwininfo."""
        out = self.run(["xwininfo", "-id", wid])
        values = {}
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            match = re.search(rf"{key}:\s+(-?\d+)", out)
            if not match:
                raise Failure(f"xwininfo gave no {key!r} for window {wid}")
            values[key] = int(match.group(1))
        return (values["Absolute upper-left X"], values["Absolute upper-left Y"],
                values["Width"], values["Height"])

    def active_window_name(self):
        return self.run(["xdotool", "getactivewindow", "getwindowname"], check=False).strip()

    def activate(self, wid):
        self.run(["xdotool", "windowactivate", "--sync", wid], check=False)

    def close_window(self, wid):
        """Asks the window manager to close a window, as its frame's close button does: a
        _NET_CLOSE_WINDOW message to the root window, which openbox answers by sending the
        program WM_DELETE_WINDOW. (Alt+F4 through xdotool sometimes reaches the program as
        plain keys before openbox has its key grab back, and then nothing closes.)"""
        x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.c_void_p]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

        class Event(ctypes.Union):  # XEvent: 24 longs whatever the kind
            _fields_ = [("message", ClientMessage), ("pad", ctypes.c_long * 24)]

        display = x11.XOpenDisplay(self.display.encode())
        if not display:
            raise Failure(f"cannot open display {self.display} to close window {wid}")
        try:
            event = Event()
            event.message.type = 33  # ClientMessage
            event.message.window = int(wid)
            event.message.message_type = x11.XInternAtom(display, b"_NET_CLOSE_WINDOW", 0)
            event.message.format = 32
            event.message.data[1] = 2  # source: a pager or taskbar, which openbox always obeys
            substructure = (1 << 19) | (1 << 20)  # SubstructureNotify | SubstructureRedirect
            if not x11.XSendEvent(display, x11.XDefaultRootWindow(display), 0, substructure,
                                  ctypes.byref(event)):
                raise Failure(f"the close request for window {wid} could not be sent")
            x11.XFlush(display)
        finally:
            x11.XCloseDisplay(display)

    # -- input ---------------------------------------------------------------------------------

    def click(self, x, y):
        self.run(["xdotool", "mousemove", str(x), str(y), "click", "1"])

    def key(self, *keys):
        self.run(["xdotool", "key", "--clearmodifiers", *keys])

    def type_text(self, text):
        self.run(["xdotool", "type", "--delay", "20", text])

    # -- screen --------------------------------------------------------------------------------

    def screenshot(self):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                              env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=60, check=True).stdout
        return Image.from_ppm(data)


def poll(probe, timeout, what, interval=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


# ---------------------------------------------------------------------------------------------
# Screenshots


class Image:
    def __init__(self, width, height, pixels):
        self.width = width
        self.height = height
        self.pixels = pixels

    @staticmethod
    def from_ppm(data):
        # P6 <w> <h> <maxval> then binary RGB; comments may follow '#'.
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        pos += 1
        if fields[0] != b"P6" or int(fields[3]) != 255:
            raise Failure(f"unexpected screenshot format {fields[0]!r} maxval {fields[3]!r}")
        width, height = int(fields[1]), int(fields[2])
        pixels = data[pos:pos + width * height * 3]
        if len(pixels) != width * height * 3:
            raise Failure("truncated screenshot")
        return Image(width, height, pixels)

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def find_near(self, x, y, colour, radius):
        """Whether `colour` appears within `radius` pixels of (x, y)."""
        for dy in range(-radius, radius + 1):
            for dx in range(-radius, radius + 1):
                xx, yy = x + dx, y + dy
                if 0 <= xx < self.width and 0 <= yy < self.height and self.at(xx, yy) == colour:
                    return True
        return False

    def count(self, box, colour):
        x0, y0, x1, y1 = box
        x0, x1 = max(0, x0), min(self.width, x1)
        pattern = bytes(colour)
        n = 0
        # A row at a time, searched by bytes.find: only matches that start on a pixel count.
        for y in range(max(0, y0), min(self.height, y1)):
            start = (y * self.width + x0) * 3
            end = (y * self.width + x1) * 3
            pos = self.pixels.find(pattern, start, end)
            while pos >= 0:
                if (pos - start) % 3 == 0:
                    n += 1
                    pos = self.pixels.find(pattern, pos + 3, end)
                else:
                    pos = self.pixels.find(pattern, pos + 1, end)
        return n

    def save(self, path):
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height))
            f.write(self.pixels)


class UserScale:
    """Maps user units of a drawing window to screen pixels: the scale spans the client area,
    y grows downwards."""

    def __init__(self, client, scale_w, scale_h):
        self.x0, self.y0, self.w, self.h = client
        self.kx = self.w / scale_w
        self.ky = self.h / scale_h

    def to_screen(self, ux, uy):
        return self.x0 + math.floor(ux * self.kx), self.y0 + math.floor(uy * self.ky)


def expect_near(session, image, point, colour, what, radius=2):
    x, y = point
    if not image.find_near(x, y, colour, radius):
        shot = os.path.join(session.workdir, "failure.ppm")
        image.save(shot)
        raise Failure(f"{what}: no pixel of colour {colour} within {radius} px of screen ({x}, {y})"
                      f"; found {image.at(x, y)} there (screenshot {shot})")


def wait_pixels(session, checks, what):
    """Takes screenshots until every (point, colour, description) check holds, so that a window
    still being painted is not read too early."""
    deadline = time.monotonic() + PIXEL_TIMEOUT
    while True:
        image = session.screenshot()
        missing = [c for c in checks if not image.find_near(c[0][0], c[0][1], c[1], 2)]
        if not missing:
            return image
        if time.monotonic() > deadline:
            point, colour, description = missing[0]
            expect_near(session, image, point, colour, f"{what}: {description}")
        time.sleep(0.1)


# ---------------------------------------------------------------------------------------------
# The session itself


def press_in(session, client, rect):
    cx, cy = centre(rect)
    session.click(client[0] + cx, client[1] + cy)


def close_message_box(session):
    """Waits for the program's message box, makes sure it has the focus and closes it with
    Enter, as a user would."""
    box = session.wait_window("QUORVEL")
    session.activate(box)
    poll(lambda: session.active_window_name() == "QUORVEL", WINDOW_TIMEOUT,
         "the message box to be active")
    session.key("Return")
    # Another box may follow at once: wait for this one to go.
    poll(lambda: box not in session.windows("QUORVEL"), WINDOW_TIMEOUT,
         "the message box to close")


def close_message_boxes(session):
    """Closes the boxes that follow one another, until none comes within a short while; returns
    how many there were (at least one)."""
    count = 0
    while True:
        try:
            session.wait_window("QUORVEL", timeout=WINDOW_TIMEOUT if count == 0
                                else 2.0 * TIME_SCALE)
        except Failure:
            if count == 0:
                raise
            return count
        close_message_box(session)
        count += 1


def form2_checks(client, incr, what):
    scale = UserScale(client, FORM2_SCALE_W, incr * FORM2_SCALE_W)
    cx = FORM2_SCALE_W / 2 + FORM2_AXIS_SHIFT
    cy = incr * FORM2_SCALE_W / 2
    r = FORM2_RADIUS
    checks = []
    for degrees in (0, 45, 90, 135, 180, 225, 270, 315):
        a = math.radians(degrees)
        point = scale.to_screen(cx + r * math.cos(a), cy + r * math.sin(a))
        checks.append((point, CIRCLE_COLOUR, f"{what}: circle at {degrees} degrees"))
    # The axes: a vertical line through CX and a horizontal one through CY, away from the
    # circle and the controls.
    checks.append((scale.to_screen(cx, cy - r / 2), BLACK, f"{what}: vertical axis"))
    checks.append((scale.to_screen(cx + r * 1.1, cy), BLACK, f"{what}: horizontal axis"))
    return checks


def form4_scale(client, incr):
    scale_h = FORM4_SCALE_W * incr
    return UserScale(client, FORM4_SCALE_W, scale_h), FORM4_SCALE_W / 2 - 70, scale_h / 2 + 50


def curve_points(epsilon):
    """The chain of points relative to the axes' crossing (y upwards), one per degree of ALFA."""
    f = FORM4_FIELDS
    beta = math.radians(f["beta"])
    x, y = FORM4_START
    points = []
    for alfa in range(f["from"], f["to"] + 1):
        direction = beta * math.sin(math.radians(f["t"] * alfa))
        x += epsilon * f["inx"] * math.cos(direction)
        y += epsilon * f["iny"] * math.sin(direction)
        points.append((x, y))
    return points


def axes_checks(client, incr, what):
    scale, cx, cy = form4_scale(client, incr)
    return [
        (scale.to_screen(cx, cy + 100), BLACK, f"{what}: vertical axis"),
        (scale.to_screen(cx + 300, cy), BLACK, f"{what}: horizontal axis"),
    ]


def curve_checks(client, incr, epsilon, colour, what):
    """Every tenth point of the chain and the last one, in `colour` (3x3 dots)."""
    scale, cx, cy = form4_scale(client, incr)
    points = curve_points(epsilon)
    chosen = list(range(0, len(points), 10)) + [len(points) - 1]
    return [(scale.to_screen(cx + points[i][0], cy - points[i][1]), colour,
             f"{what}: point {i + 1} of {len(points)}") for i in chosen]


def client_box(client):
    x, y, w, h = client
    return (x, y, x + w, y + h)


def scroll_clicks_incr(clicks):
    return round(FORM2_START_INCR + 0.02 * (1 + clicks), 10)


def program_env(session):
    """The program's environment: a runtime folder of its own, the X11 platform, no scaling
    asked for."""
    env = dict(session.env)
    runtime = os.path.join(session.workdir, "xdg-runtime")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    env["XDG_RUNTIME_DIR"] = runtime
    env["QT_QPA_PLATFORM"] = "xcb"
    env.pop("QT_SCALE_FACTOR", None)
    env.pop("QT_SCREEN_SCALE_FACTORS", None)
    return env


def start_program(session, app):
    """Starts the program with its output in program.log: a pipe nobody reads would block it
    once full."""
    with open(os.path.join(session.workdir, "program.log"), "w") as output:
        program = subprocess.Popen([app], env=program_env(session), stdout=output,
                                   stderr=subprocess.STDOUT)
    session.procs.append(program)
    return program


def run_session(session, app, valgrind_log):
    env = program_env(session)
    command = [app]
    if valgrind_log:
        # A child forked by a library (D-Bus starting its helper) would write a report of its
        # own: it holds a copy of the heap without the other threads' stacks, so much of it
        # looks lost. Only the program's own report counts.
        command = ["valgrind", "--leak-check=full", "--show-leak-kinds=definite",
                   "--num-callers=40", "--child-silent-after-fork=yes",
                   f"--log-file={valgrind_log}", app]
    log(f"starting {' '.join(command)}")
    program = subprocess.Popen(command, env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT)
    session.procs.append(program)

    # Form1: AVANTI.
    form1 = session.wait_window("Form1")
    client1 = session.client_geometry(form1)
    log(f"Form1 client area {client1}")
    press_in(session, client1, FORM1_AVANTI)

    # Form2: the circle and the axes at Incr 0.51.
    form2 = session.wait_window("Form2")
    client2 = session.client_geometry(form2)
    log(f"Form2 client area {client2}")
    wait_pixels(session, form2_checks(client2, FORM2_START_INCR, "Form2 at its start"),
                "Form2")

    # OK refused at 0.51.
    press_in(session, client2, FORM2_OK)
    close_message_box(session)
    session.wait_no_window("QUORVEL")
    if session.windows("Form4"):
        raise Failure("Form4 opened although the calibration factor was refused")

    # Two clicks on the scroll bar's right arrow (a square button at its right end).
    left, top, width, height = FORM2_HSCROLL1
    arrow = (client2[0] + px(left + width) - px(height) // 2 - 1,
             client2[1] + px(top) + px(height) // 2)
    for clicks in (1, 2):
        session.click(*arrow)
        incr = scroll_clicks_incr(clicks)
        wait_pixels(session, form2_checks(client2, incr, f"Form2 after {clicks} arrow clicks"),
                    "Form2")
        log(f"Form2 redrawn for Incr {incr}")

    # OK accepted: Form4 opens maximised, with the axes only.
    press_in(session, client2, FORM2_OK)
    form4 = session.wait_window("Form4")
    poll(lambda: session.client_geometry(form4)[2] >= SCREEN_W - 10, WINDOW_TIMEOUT,
         "Form4 to be maximised")
    client4 = session.client_geometry(form4)
    log(f"Form4 client area {client4}")
    incr = scroll_clicks_incr(2)
    green = PALETTE[2]
    image = wait_pixels(session, axes_checks(client4, incr, "Form4 opened"), "Form4")
    if image.count(client_box(client4), green):
        raise Failure("Form4 shows green points before ESEGUI")

    # ESEGUI: the chain of 181 points in green.
    press_in(session, client4, FORM4_ESEGUI)
    image = wait_pixels(session, curve_checks(client4, incr, FORM4_EPSILON, green, "ESEGUI")
                        + axes_checks(client4, incr, "ESEGUI"), "Form4 after ESEGUI")
    log(f"ESEGUI: {image.count(client_box(client4), green)} green pixels")

    # Ctrl+S: Qt's save dialog; a full path typed in its name field (a blank in it, no
    # extension) and Enter write the drawing as a PNG of the window's client size.
    session.key("ctrl+s")
    session.wait_window("Salva immagine")
    saved = os.path.join(session.workdir, "curva salvata")
    session.type_text(saved)
    session.key("Return")
    session.wait_no_window("Salva immagine")
    png = poll(lambda: os.path.exists(saved + ".png") and open(saved + ".png", "rb").read(),
               WINDOW_TIMEOUT, "the PNG file to be written")
    width, height = struct.unpack(">II", png[16:24])
    if png[:8] != b"\x89PNG\r\n\x1a\n" or (width, height) != tuple(client4[2:]):
        raise Failure(f"the saved PNG is {width}x{height}, not the drawing's {client4[2:]}")
    if os.path.exists(saved):
        raise Failure("a file without the .png extension was written too")
    log(f"Ctrl+S: {saved}.png written, {width}x{height}")
    session.activate(form4)

    # Epsilon "abc": the run stops at its message box (one for each range that reads it).
    frame_left, frame_top = FORM4_FRAME4
    fl, ft, fw, fh = FORM4_TEXT10_IN_FRAME4
    text10 = (frame_left + fl, frame_top + ft, fw, fh)
    press_in(session, client4, text10)
    session.key("ctrl+a")
    session.type_text("abc")
    press_in(session, client4, FORM4_ESEGUI)
    boxes = close_message_boxes(session)
    log(f"epsilon abc: {boxes} message box(es) closed with Enter")
    # The run went on with the last good epsilon, in the next colour.
    old_curve = curve_checks(client4, incr, FORM4_EPSILON, None, "")
    second_colour = session.screenshot().at(*old_curve[0][0])
    log(f"epsilon abc: the points now read {second_colour}")

    # A new epsilon, then "Cancella ed esegui": the window is cleared and the smaller curve is
    # drawn in the next colour.
    session.activate(form4)
    press_in(session, client4, text10)
    session.key("ctrl+a")
    session.type_text(FORM4_SECOND_EPSILON)
    press_in(session, client4, FORM4_CANCELLA)
    epsilon = float(FORM4_SECOND_EPSILON.replace(",", "."))
    first_point = curve_checks(client4, incr, epsilon, None, "")[0][0]

    def replotted():
        shot = session.screenshot()
        colour = shot.at(*first_point)
        if colour in (BLACK, PALETTE[7], PALETTE[15]) or colour not in PALETTE.values():
            return None
        return colour
    colour = poll(replotted, PIXEL_TIMEOUT, "the curve to be drawn again")
    if colour == green:
        raise Failure("Cancella ed esegui drew in green again instead of the next colour")
    image = wait_pixels(session, curve_checks(client4, incr, epsilon, colour, "Cancella ed esegui")
                        + axes_checks(client4, incr, "Cancella ed esegui"), "Form4")
    # Where only the larger curve was, nothing of it is left.
    xs = [p[0][0] for p in old_curve]
    ys = [p[0][1] for p in old_curve]
    old_box = (min(xs) - 2, min(ys) - 2, max(xs) + 3, max(ys) + 3)
    for old in {green, second_colour} - {colour}:
        if image.count(old_box, old):
            raise Failure(f"points of colour {old} of the earlier runs are left after "
                          "Cancella ed esegui")
    log(f"Cancella ed esegui: curve drawn again in {colour}, earlier curves cleared")

    # ESCI ends the program with status 0.
    press_in(session, client4, FORM4_ESCI)
    try:
        status = program.wait(EXIT_TIMEOUT)
    except subprocess.TimeoutExpired:
        raise Failure(f"the program did not end within {EXIT_TIMEOUT:.0f} s of ESCI")
    output = program.stdout.read().decode(errors="replace")
    if output.strip():
        log("program output:\n" + output)
    if status != 0:
        raise Failure(f"the program ended with status {status}")
    log("the program ended with status 0")


def quorvel_frame(frame):
    return "quorvel::" in frame or re.search(r"\bmain \(main\.cpp:", frame) is not None


def definitely_lost_in_quorvel(valgrind_log):
    """Definitely lost blocks with quorvel code anywhere in their allocation stack."""
    with open(valgrind_log, errors="replace") as f:
        lines = [re.sub(r"^==\d+== ?", "", line.rstrip("\n")) for line in f]
    blocks = []
    current = None
    for line in lines:
        if "are definitely lost in loss record" in line:
            current = [line]
        elif current is not None:
            if not line.strip():
                blocks.append(current)
                current = None
            else:
                current.append(line)
    if current:
        blocks.append(current)
    summary = [line.strip() for line in lines if "definitely lost:" in line]
    log("valgrind: " + (summary[0] if summary else "no definitely lost blocks"))
    return [block for block in blocks if any(quorvel_frame(frame) for frame in block[1:])]


def run_main(prefix, body, extra_tools=()):
    """The frame of every session script: reads the program's path, makes a work directory
    named from `prefix`, bounds the whole run in time, skips (or fails under CI_REQUIRE_E2E=1)
    where a tool is missing, starts the X server and window manager, then calls
    `body(session, app, workdir)`. Returns the exit status: 0, SKIP or 1."""
    parser = argparse.ArgumentParser(description=sys.modules["__main__"].__doc__.split("\n\n")[0])
    parser.add_argument("app", help="path of the quorvel executable")
    parser.add_argument("--keep", action="store_true", help="keep the work directory")
    args = parser.parse_args()
    required = os.environ.get("CI_REQUIRE_E2E") == "1"
    workdir = tempfile.mkdtemp(prefix=prefix)
    session = Session(workdir)

    def on_signal(signum, _frame):
        session.stop()
        sys.exit(128 + signum)

    def on_alarm(_signum, _frame):
        raise Failure(f"the whole session took longer than {SESSION_TIMEOUT:.0f} s")

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    signal.signal(signal.SIGALRM, on_alarm)
    signal.alarm(int(SESSION_TIMEOUT))

    status = 1
    try:
        missing = [t for t in TOOLS + list(extra_tools) if shutil.which(t) is None]
        if missing:
            raise Skip("missing " + ", ".join(missing)
                       + " (scripts/quorvel.sh installs them)")
        if not os.access(args.app, os.X_OK):
            raise Failure(f"no program at {args.app}")
        session.start_x()
        body(session, args.app, workdir)
        log("PASSED")
        status = 0
    except Skip as reason:
        if required:
            log(f"FAILED: CI_REQUIRE_E2E=1 but the test cannot run: {reason}")
            status = 1
        else:
            log(f"SKIPPED: {reason}")
            status = SKIP
    except Failure as failure:
        log(f"FAILED: {failure}")
        try:
            session.screenshot().save(os.path.join(workdir, "at-failure.ppm"))
        except Exception:  # noqa: BLE001 - the screenshot only helps to read the failure
            pass
        status = 1
    finally:
        signal.alarm(0)
        session.stop()
        if status in (0, SKIP) and not args.keep:
            shutil.rmtree(workdir, ignore_errors=True)
        else:
            log(f"work directory kept: {workdir}")
    return status


def main():
    use_valgrind = os.environ.get("E2E_VALGRIND") == "1"

    def body(session, app, workdir):
        if use_valgrind and b"__asan_init" in open(app, "rb").read():
            raise Failure("E2E_VALGRIND=1 needs a build without sanitizers (valgrind cannot run "
                          "an AddressSanitizer program)")
        valgrind_log = os.path.join(workdir, "valgrind.log") if use_valgrind else None
        run_session(session, app, valgrind_log)
        if valgrind_log:
            leaks = definitely_lost_in_quorvel(valgrind_log)
            if leaks:
                raise Failure("definitely lost blocks allocated from quorvel code:\n"
                              + "\n\n".join("\n".join(b) for b in leaks))
            log("valgrind: no definitely lost block from quorvel code")

    return run_main("quorvel-e2e-", body, ["valgrind"] if use_valgrind else [])


if __name__ == "__main__":
    sys.exit(main())
