// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FocusReturn.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>

namespace quorvel {

namespace {

// The window a closed dialog is giving the focus back to. It is program-wide as the dialogs
// are: modal to the whole program, one at a time.
struct PendingReturn
{
    QPointer<QWidget> window;
    QElapsedTimer sinceClose;
    QElapsedTimer sinceActive; // invalid until the window has become active again
};

PendingReturn &pending()
{
    static PendingReturn p;
    return p;
}

void watchActivation()
{
    static bool watching = false;
    if (watching || qApp == nullptr)
        return;
    watching = true;
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, qApp, [](QWindow *focused) {
        PendingReturn &p = pending();
        if (p.window && focused != nullptr && p.window->windowHandle() == focused
            && !p.sinceActive.isValid())
            p.sinceActive.start();
    });
}

} // namespace

QEvent::Type FocusReturn::dialogOpened()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type FocusReturn::dialogClosed()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QWidget *FocusReturn::returningTo()
{
    PendingReturn &p = pending();
    if (p.window.isNull())
        return nullptr;
    if (p.sinceClose.elapsed() > kLongestReturnMs
        || (p.sinceActive.isValid() && p.sinceActive.elapsed() > kSettleMs)) {
        p.window = nullptr;
        return nullptr;
    }
    return p.window.data();
}

FocusReturn::FocusReturn(QWidget *opener)
{
    watchActivation();
    if (opener == nullptr)
        opener = returningTo() != nullptr ? returningTo() : QApplication::activeWindow();
    if (opener == nullptr)
        return;
    m_window = opener->window();
    m_focus = m_window->focusWidget();
    QEvent opened(dialogOpened());
    QCoreApplication::sendEvent(m_window, &opened);
}

void FocusReturn::forget()
{
    pending().window = nullptr;
}

void FocusReturn::giveBack(QWidget *window, QWidget *focus)
{
    if (window == nullptr || !window->isVisible())
        return;
    watchActivation();
    PendingReturn &p = pending();
    p.window = window;
    p.sinceClose.start();
    p.sinceActive.invalidate();
    if (focus != nullptr && focus->window() == window)
        focus->setFocus(Qt::ActiveWindowFocusReason);
    window->raise();
    window->activateWindow();
    // Already the active window: nothing will report its activation again.
    if (window->isActiveWindow())
        p.sinceActive.start();
}

FocusReturn::~FocusReturn()
{
    if (m_window.isNull())
        return;
    giveBack(m_window, m_focus);
    QEvent closed(dialogClosed());
    QCoreApplication::sendEvent(m_window, &closed);
}

} // namespace quorvel
