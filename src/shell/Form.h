// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace quorvel {

class FormRegistry;

// One of the program's windows as the program knows it: a long-lived object holding the
// members the program reads and writes, plus, while it is loaded, its window with the controls.
// Closing the window with its frame's close button deletes the window and its controls; the
// members stay, and showing the form again loads a new window with the designed values.
class Form : public QObject
{
    Q_OBJECT
public:
    Form(FormRegistry &registry, const QString &name);
    ~Form() override;

    QString name() const { return objectName(); }
    bool isLoaded() const { return !m_window.isNull(); }
    QWidget *window() const { return m_window.data(); }

    // Loads the window if it is not loaded, makes it visible, brings it to the front and makes
    // it the active window. Returns at once; the activation handler runs when the window system
    // reports the activation.
    void show();

    // Runs each time the window becomes the program's active window (see FormRegistry).
    virtual void Form_Activate() { }

    // True while a window that opens maximised is shown maximised yet still has the size it
    // was created with: the window manager has not given it its maximised geometry so far.
    bool awaitsMaximizedGeometry() const;

protected:
    // Builds the window and its controls with their designed values.
    virtual QWidget *createWindow() = 0;
    // How the window first appears: normal by default; the drawing windows open maximised.
    virtual bool opensMaximized() const { return false; }
    // Shows a newly loaded window that opens maximised.
    virtual void showMaximizedWindow(QWidget *window) { window->showMaximized(); }

    FormRegistry &registry() const { return m_registry; }

private:
    FormRegistry &m_registry;
    QPointer<QWidget> m_window;
    QSize m_createdSize; // the window's size before it was first shown
};

} // namespace quorvel
