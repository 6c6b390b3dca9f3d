#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The QUORVEL developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""Reopened drawing windows on a real X server, and ESCI during a long run.

Starts Xvfb and openbox as e2e_session.py does, then: Form1 "AVANTI"; Form2 and Form4 opened
(Form4 maximised); Form4 closed through the window manager (as its frame's close button does),
Form2 too; "AVANTI" again. Each reopened window opens maximised and must draw at its maximised size: the
calibration circle and the curve window's axes are looked for where the maximised client area
puts them. Then a run of 10^9 points is started and "ESCI" clicked while it is busy: the program
must end with status 0 at once.

Exit status: 0 passed, 1 failed, 77 skipped, with the same CI_REQUIRE_E2E rule as
e2e_session.py.
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_session as e2e  # noqa: E402


def open_maximised(session, title):
    wid = session.wait_window(title)
    e2e.poll(lambda: session.client_geometry(wid)[2] >= e2e.SCREEN_W - 10, e2e.WINDOW_TIMEOUT,
             f"{title} to be maximised")
    return wid, session.client_geometry(wid)


def close_with_window_manager(session, wid, title):
    session.activate(wid)
    e2e.poll(lambda: session.active_window_name() == title, e2e.WINDOW_TIMEOUT,
             f"{title} to be active")
    session.close_window(wid)
    session.wait_no_window(title)


def to_form4(session, client2, clicks_done):
    left, top, width, height = e2e.FORM2_HSCROLL1
    arrow = (client2[0] + e2e.px(left + width) - e2e.px(height) // 2 - 1,
             client2[1] + e2e.px(top) + e2e.px(height) // 2)
    for clicks in (1, 2):
        session.click(*arrow)
        incr = e2e.scroll_clicks_incr(clicks)
        e2e.wait_pixels(session, e2e.form2_checks(client2, incr, f"Form2 after {clicks} clicks"),
                        "Form2")
    e2e.press_in(session, client2, e2e.FORM2_OK)
    return e2e.scroll_clicks_incr(2)


def run_reopen(session, app):
    program = e2e.start_program(session, app)

    form1 = session.wait_window("Form1")
    client1 = session.client_geometry(form1)
    e2e.press_in(session, client1, e2e.FORM1_AVANTI)
    for round_ in ("first opening", "reopened"):
        form2, client2 = open_maximised(session, "Form2")
        e2e.wait_pixels(session, e2e.form2_checks(client2, e2e.FORM2_START_INCR,
                                                  f"Form2 {round_}"), f"Form2 {round_}")
        e2e.log(f"Form2 {round_}: drawn at its maximised client area {client2}")
        incr = to_form4(session, client2, 0)
        form4, client4 = open_maximised(session, "Form4")
        e2e.wait_pixels(session, e2e.axes_checks(client4, incr, f"Form4 {round_}"),
                        f"Form4 {round_}")
        e2e.log(f"Form4 {round_}: axes at its maximised client area {client4}")
        if round_ == "reopened":
            break
        close_with_window_manager(session, form4, "Form4")
        close_with_window_manager(session, form2, "Form2")
        session.activate(form1)
        e2e.press_in(session, client1, e2e.FORM1_AVANTI)

    # A run that would last minutes: epsilon 0, t 0, To1 10^9; then ESCI while it is busy.
    frame_left, frame_top = e2e.FORM4_FRAME4
    fl, ft, fw, fh = e2e.FORM4_TEXT10_IN_FRAME4
    for top, text in ((ft, "0"), (1560, "0")):
        e2e.press_in(session, client4, (frame_left + fl, frame_top + top, fw, fh))
        session.key("ctrl+a")
        session.type_text(text)
    to1 = (360 + 2520, 2280 + 360, 495, 285)
    e2e.press_in(session, client4, to1)
    session.key("ctrl+a")
    session.type_text("1000000000")
    e2e.press_in(session, client4, e2e.FORM4_ESEGUI)
    # Busy after half a second; a second more to be sure the run is well under way.
    try:
        program.wait(1.5)
        raise e2e.Failure("the program ended before ESCI was clicked")
    except subprocess.TimeoutExpired:
        pass
    e2e.press_in(session, client4, e2e.FORM4_ESCI)
    try:
        status = program.wait(e2e.EXIT_TIMEOUT)
    except subprocess.TimeoutExpired:
        raise e2e.Failure(f"the program did not end within {e2e.EXIT_TIMEOUT:.0f} s of ESCI "
                          "during a run")
    if status != 0:
        raise e2e.Failure(f"the program ended with status {status} after ESCI during a run")
    e2e.log("ESCI during a run: the program ended with status 0")


def main():
    return e2e.run_main("quorvel-e2e-reopen-", lambda session, app, _workdir: run_reopen(session, app))


if __name__ == "__main__":
    sys.exit(main())
