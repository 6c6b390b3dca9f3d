#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Boxes and dialogs give the focus back, and the guide, on a real X server.

Starts Xvfb and openbox as e2e_session.py does and opens the curve window (the calibration window
stays open behind it). Then, with real keys:

  - 3 message boxes: To1 set to "abc", Invio on "ESEGUI" brings "For o To non numero"; each box
    is closed with Invio and the curve window must be the active one again, with the focus on
    "ESEGUI" (the next Invio brings the next box);
  - 10 overwrite questions: Ctrl+S, the name of a file that exists, Invio, "Sì" (Alt+S); the
    curve window must be the active one again (the question is where openbox gave the focus to
    another window: about three times in eight without the program's care, so 10 tries miss that
    fault with a chance of about 1 in 100);
  - neither window's activation ran meanwhile: the curve window shows its axes where the chosen
    factor puts them and no curve (an activation of the calibration window, then of the curve
    window, would have drawn one);
  - F1 while a box is open opens nothing; F1 in the curve window opens the guide beside the
    controls, whole on the screen, and Esc closes it and gives the curve window the focus back.

Exit status: 0 passed, 1 failed, 77 skipped, with the same CI_REQUIRE_E2E rule as
e2e_session.py.
"""

import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_session as e2e  # noqa: E402
from e2e_reopen import open_maximised, to_form4  # noqa: E402

BOX_TRIES = 3
OVERWRITE_TRIES = 10
# Form4's To1 field: in Frame3 (360, 2280), at (2520, 360).
FORM4_TO1 = (360 + 2520, 2280 + 360, 495, 285)
# The panel of the curve window, in twips from the client area's top-left: (right, bottom).
FORM4_PANEL_END = (3720 + 2055, 5640 + 615)
# How long the active window must stay the right one after a box or dialog has closed.
SETTLE = 0.3 * e2e.TIME_SCALE


def frame_geometry(session, wid):
    """(x, y, width, height) of a window with its frame, from xwininfo -frame."""
    out = session.run(["xwininfo", "-frame", "-id", wid])
    values = [int(re.search(rf"{key}:\s+(-?\d+)", out).group(1))
              for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]
    return tuple(values)


def stays_active(session, title, what):
    e2e.poll(lambda: session.active_window_name() == title, e2e.WINDOW_TIMEOUT,
             f"{title} to be active again after {what}")
    time.sleep(SETTLE)
    active = session.active_window_name()
    if active != title:
        raise e2e.Failure(f"after {what} the active window became {active!r}, not {title!r}")


def box_tries(session, form4):
    for attempt in range(1, BOX_TRIES + 1):
        # Invio presses the focused "ESEGUI": the run stops at To1 with its box.
        session.key("Return")
        box = session.wait_window("QUORVEL")
        e2e.poll(lambda: session.active_window_name() == "QUORVEL", e2e.WINDOW_TIMEOUT,
                 "the message box to be active")
        session.key("Return")
        e2e.poll(lambda: box not in session.windows("QUORVEL"), e2e.WINDOW_TIMEOUT,
                 "the message box to close")
        stays_active(session, "Form4", f"message box {attempt}")
    e2e.log(f"{BOX_TRIES} message boxes: the curve window was active again after each")


def overwrite_tries(session, workdir):
    path = os.path.join(workdir, "sovrascritta")
    for attempt in range(0, OVERWRITE_TRIES + 1):
        session.key("ctrl+s")
        session.wait_window("Salva immagine")
        # The dialog opens in the folder last used: after the first save the name is enough.
        session.type_text(path if attempt == 0 else "sovrascritta")
        session.key("Return")
        if attempt > 0:
            e2e.poll(lambda: len(session.windows("Salva immagine")) >= 2, e2e.WINDOW_TIMEOUT,
                     "the overwrite question")
            session.key("alt+s")
        session.wait_no_window("Salva immagine")
        stays_active(session, "Form4", f"overwrite question {attempt}")
    if not os.path.exists(path + ".png"):
        raise e2e.Failure("the picture was not saved")
    e2e.log(f"{OVERWRITE_TRIES} overwrite questions: the curve window was active again after each")


def guide_checks(session, client4):
    # F1 while a box is open: nothing opens.
    session.key("Return")
    box = session.wait_window("QUORVEL")
    e2e.poll(lambda: session.active_window_name() == "QUORVEL", e2e.WINDOW_TIMEOUT,
             "the message box to be active")
    session.key("F1")
    time.sleep(SETTLE)
    if session.windows("QUORVEL - Guida"):
        raise e2e.Failure("F1 opened the guide over a message box")
    session.key("Return")
    e2e.poll(lambda: box not in session.windows("QUORVEL"), e2e.WINDOW_TIMEOUT,
             "the message box to close")
    stays_active(session, "Form4", "the box of the F1 check")

    session.key("F1")
    guide = session.wait_window("QUORVEL - Guida")
    e2e.poll(lambda: session.active_window_name() == "QUORVEL - Guida", e2e.WINDOW_TIMEOUT,
             "the guide to be active")
    x, y, w, h = frame_geometry(session, guide)
    if x < 0 or y < 0 or x + w > e2e.SCREEN_W or y + h > e2e.SCREEN_H:
        raise e2e.Failure(f"the guide ({x}, {y}, {w}, {h}) is not whole on the screen")
    right = client4[0] + e2e.px(FORM4_PANEL_END[0])
    bottom = client4[1] + e2e.px(FORM4_PANEL_END[1])
    if x < right and y < bottom:
        raise e2e.Failure(f"the guide ({x}, {y}, {w}, {h}) covers the controls, which end at "
                          f"({right}, {bottom})")
    e2e.log(f"F1: the guide at ({x}, {y}, {w}, {h}), clear of the controls")
    session.key("Escape")
    session.wait_no_window("QUORVEL - Guida")
    stays_active(session, "Form4", "the guide closed with Esc")


def run_focus(session, app, workdir):
    program = e2e.start_program(session, app)

    form1 = session.wait_window("Form1")
    e2e.press_in(session, session.client_geometry(form1), e2e.FORM1_AVANTI)
    _form2, client2 = open_maximised(session, "Form2")
    e2e.wait_pixels(session, e2e.form2_checks(client2, e2e.FORM2_START_INCR, "Form2"), "Form2")
    incr = to_form4(session, client2, 0)
    form4, client4 = open_maximised(session, "Form4")
    e2e.wait_pixels(session, e2e.axes_checks(client4, incr, "Form4"), "Form4")

    e2e.press_in(session, client4, FORM4_TO1)
    session.key("ctrl+a")
    session.type_text("abc")
    e2e.press_in(session, client4, e2e.FORM4_ESEGUI)
    e2e.close_message_box(session)
    stays_active(session, "Form4", "the first message box")
    box_tries(session, form4)
    overwrite_tries(session, workdir)
    guide_checks(session, client4)

    # No activation ran: the axes are where the chosen factor puts them and no curve is drawn
    # (the run of every box stopped at To1 before its first point).
    image = e2e.wait_pixels(session, e2e.axes_checks(client4, incr, "Form4 at the end"),
                            "Form4 at the end")
    box = e2e.client_box(client4)
    drawn = {colour: image.count(box, colour) for index, colour in e2e.PALETTE.items()
             if index not in (0, 7, 8, 15)}
    if any(drawn.values()):
        raise e2e.Failure(f"a curve was drawn, so an activation ran: {drawn}")
    e2e.log("no activation ran: axes in place, no curve drawn")
    e2e.press_in(session, client4, e2e.FORM4_ESCI)
    if program.wait(e2e.EXIT_TIMEOUT) != 0:
        raise e2e.Failure("the program did not end with status 0")


def main():
    # Some 35 boxes and dialogs, each with its wait for the focus to settle.
    e2e.SESSION_TIMEOUT = 200.0 * e2e.TIME_SCALE
    return e2e.run_main("quorvel-e2e-focus-", run_focus)


if __name__ == "__main__":
    sys.exit(main())
