// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace quorvel {

class Form;

// Holds the one instance of each window class, created on first use and kept to the end of
// the process, and decides when a form's activation handler runs: exactly when the active form
// changes. A message box closing (which re-activates the same form under a window manager) and
// a return from another application therefore do not run it. Nor does a form window that the
// window system makes active while one of the program's dialogs is open, or while the window
// that opened a dialog is being given the focus back (see FocusReturn): that window is asked to
// become active again instead. A window that opens maximised
// runs its handler once the window manager has given it its maximised size (the activation may
// come first), or after a bounded wait should that size never come.
class FormRegistry : public QObject
{
    Q_OBJECT
public:
    using Factory = std::function<std::unique_ptr<Form>(FormRegistry &)>;

    FormRegistry();
    ~FormRegistry() override;

    void addFactory(const QString &name, Factory factory);

    // The instance named `name`, created (not shown) on first use. A name without a factory
    // ends the process with a fatal message naming it.
    Form &form(const QString &name);
    template<typename F>
    F &formAs(const QString &name)
    {
        return static_cast<F &>(form(name));
    }
    bool exists(const QString &name) const { return m_forms.count(name) != 0; }

    // Creates the form if needed and shows it (see Form::show).
    void show(const QString &name);

    // The form whose window was the last to become active, if that window still exists.
    Form *lastActiveForm() const;

    // While held (calls nest), activations run no handler; when the last hold is released, the
    // form active at that moment is activated if it is not the last one activated, as if the
    // change had just happened.
    void holdActivation(bool held);

    // The longest wait, in milliseconds, for a maximised window's size before its activation
    // handler runs anyway.
    void setMaximizedGeometryWait(int ms) { m_maximizedWaitMs = ms; }

signals:
    // The active form changed and its activation handler (if any) has run.
    void formActivated(quorvel::Form *form);
    // A form has just created its window (before showing it).
    void windowCreated(quorvel::Form *form, QWidget *window);

public:
    // Called by Form when it creates a window.
    void watch(Form &form, QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::map<QString, Factory> m_factories;
    std::map<QString, std::unique_ptr<Form>> m_forms;
    std::map<QObject *, Form *> m_windows;
    void requestActivation(QWidget *window);
    void activate(QWidget *window);
    void activatePending();
    void catchUpActivation();

    void dialogOpened(QWidget *opener);
    void dialogClosed(QWidget *opener);
    bool dialogOpen();
    // True when the activation of `window` came from the window system alone, while a dialog
    // was open or its opener was getting the focus back; the opener is then asked again.
    bool strayActivation(QWidget *window);

    QPointer<QWidget> m_lastActiveWindow;
    int m_holds = 0;
    // The windows that opened the dialogs open now (one entry per dialog).
    std::vector<QPointer<QWidget>> m_dialogOpeners;
    // A window that became active before its maximised size arrived, and the wait for that size.
    QPointer<QWidget> m_pendingWindow;
    QTimer *m_pendingTimer = nullptr;
    int m_maximizedWaitMs = 1000;
};

} // namespace quorvel
