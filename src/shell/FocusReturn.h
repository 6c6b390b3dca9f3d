// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace quorvel {

// Taken just before a modal box or dialog opens, and released when it has closed: gives the
// window that opened it the active state and the focus back, on the control that had it.
// Window managers do not always do so: under openbox another of the program's windows
// sometimes gets the focus when a dialog closes. While the dialog is open, and while its opener
// is being given the focus back, another form window that becomes active runs no activation
// handler: the window registry hears of the dialog through the two events below, sent to the
// opener, and asks returningTo() where the focus belongs.
class FocusReturn
{
public:
    // `opener` null: the window still being given the focus back after an earlier dialog, else
    // the active window.
    explicit FocusReturn(QWidget *opener = nullptr);
    ~FocusReturn();
    FocusReturn(const FocusReturn &) = delete;
    FocusReturn &operator=(const FocusReturn &) = delete;

    QWidget *opener() const { return m_window.data(); }

    // Sent to the opener when a dialog opens over it, and when the dialog has closed and the
    // opener has been asked to become active again.
    static QEvent::Type dialogOpened();
    static QEvent::Type dialogClosed();

    // The window that a dialog closed moments ago is giving the focus back to: from the close
    // until the window has been active for a short while (the window manager's own choice of
    // window may come after it), or at most 2 s. Null otherwise.
    static QWidget *returningTo();
    // Gives `window` the active state back, with the focus on `focus` (one of its controls,
    // or null: the control that last had it), and makes it the window to return to.
    static void giveBack(QWidget *window, QWidget *focus = nullptr);
    // The program itself makes another window active (shows a form): no window to return to.
    static void forget();
    // Milliseconds the window stays the one to return to after it has become active again.
    static constexpr int kSettleMs = 300;
    static constexpr int kLongestReturnMs = 2000;

private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_focus; // the control that had the focus
};

} // namespace quorvel
