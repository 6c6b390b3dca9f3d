// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FormRegistry.h"

#include "FocusReturn.h"
#include "Form.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace quorvel {

FormRegistry::FormRegistry()
    : m_pendingTimer(new QTimer(this))
{
    m_pendingTimer->setSingleShot(true);
    connect(m_pendingTimer, &QTimer::timeout, this, &FormRegistry::activatePending);
}

FormRegistry::~FormRegistry()
{
    // Forms delete their windows; stop listening first.
    for (auto &[window, form] : m_windows) {
        window->removeEventFilter(this);
        disconnect(window, nullptr, this, nullptr);
    }
    m_windows.clear();
    m_forms.clear();
}

void FormRegistry::addFactory(const QString &name, Factory factory)
{
    m_factories[name] = std::move(factory);
}

Form &FormRegistry::form(const QString &name)
{
    auto it = m_forms.find(name);
    if (it == m_forms.end()) {
        const auto factory = m_factories.find(name);
        // A name no factory was added for is a mistake in the program, never the user's: stop
        // with the name rather than go on without the window, in every build.
        if (factory == m_factories.end())
            qFatal("FormRegistry: no window named \"%s\" was registered", qUtf8Printable(name));
        it = m_forms.emplace(name, factory->second(*this)).first;
    }
    return *it->second;
}

void FormRegistry::show(const QString &name)
{
    form(name).show();
}

Form *FormRegistry::lastActiveForm() const
{
    if (m_lastActiveWindow.isNull())
        return nullptr;
    const auto it = m_windows.find(m_lastActiveWindow.data());
    return it == m_windows.end() ? nullptr : it->second;
}

void FormRegistry::watch(Form &f, QWidget *window)
{
    m_windows[window] = &f;
    window->installEventFilter(this);
    connect(window, &QObject::destroyed, this, [this](QObject *gone) { m_windows.erase(gone); });
    emit windowCreated(&f, window);
}

void FormRegistry::holdActivation(bool held)
{
    if (held) {
        ++m_holds;
        return;
    }
    if (m_holds == 0 || --m_holds > 0)
        return;
    // After the handler that held activations has returned.
    QTimer::singleShot(0, this, &FormRegistry::catchUpActivation);
}

void FormRegistry::catchUpActivation()
{
    if (m_holds == 0 && !dialogOpen() && FocusReturn::returningTo() == nullptr)
        requestActivation(QApplication::activeWindow());
}

void FormRegistry::requestActivation(QWidget *window)
{
    const auto it = m_windows.find(window);
    if (it != m_windows.end() && it->second->awaitsMaximizedGeometry()
        && window != m_lastActiveWindow.data()) {
        // Drawn now, the activation would be at the restored size: wait for the maximised one.
        if (m_pendingWindow.data() != window) {
            m_pendingWindow = window;
            m_pendingTimer->start(m_maximizedWaitMs);
        }
        return;
    }
    m_pendingWindow = nullptr;
    m_pendingTimer->stop();
    activate(window);
}

void FormRegistry::activatePending()
{
    QWidget *window = m_pendingWindow.data();
    m_pendingWindow = nullptr;
    m_pendingTimer->stop();
    if (window != nullptr && m_holds == 0)
        activate(window);
}

void FormRegistry::activate(QWidget *window)
{
    const auto it = m_windows.find(window);
    if (it == m_windows.end() || window == nullptr || !window->isWindow()
        || window == m_lastActiveWindow.data())
        return;
    m_lastActiveWindow = window;
    Form *form = it->second;
    form->Form_Activate();
    emit formActivated(form);
}

void FormRegistry::dialogOpened(QWidget *opener)
{
    m_dialogOpeners.emplace_back(opener);
}

void FormRegistry::dialogClosed(QWidget *opener)
{
    const auto it
        = std::find_if(m_dialogOpeners.begin(), m_dialogOpeners.end(),
                       [opener](const QPointer<QWidget> &w) { return w.data() == opener; });
    if (it != m_dialogOpeners.end())
        m_dialogOpeners.erase(it);
    // Should the opener never become active again, the window that is active by then gets its
    // activation as if it had just happened.
    QTimer::singleShot(FocusReturn::kLongestReturnMs + 100, this, &FormRegistry::catchUpActivation);
}

bool FormRegistry::dialogOpen()
{
    std::erase_if(m_dialogOpeners, [](const QPointer<QWidget> &w) { return w.isNull(); });
    return !m_dialogOpeners.empty();
}

bool FormRegistry::strayActivation(QWidget *window)
{
    if (dialogOpen())
        return true;
    QWidget *opener = FocusReturn::returningTo();
    if (opener == nullptr || opener == window)
        return false;
    opener->raise();
    opener->activateWindow();
    return true;
}

bool FormRegistry::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == FocusReturn::dialogOpened()) {
        dialogOpened(qobject_cast<QWidget *>(watched));
    } else if (event->type() == FocusReturn::dialogClosed()) {
        dialogClosed(qobject_cast<QWidget *>(watched));
    } else if (event->type() == QEvent::WindowActivate && m_holds == 0) {
        auto *window = qobject_cast<QWidget *>(watched);
        if (!strayActivation(window))
            requestActivation(window);
    } else if (event->type() == QEvent::Resize && watched == m_pendingWindow.data()
               && !m_windows.at(watched)->awaitsMaximizedGeometry()) {
        // The window already reports its new size; everything the handler draws is measured
        // from it.
        activatePending();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quorvel
