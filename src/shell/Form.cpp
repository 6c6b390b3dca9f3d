// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Form.h"

#include "FocusReturn.h"
#include "FormRegistry.h"

namespace quorvel {

Form::Form(FormRegistry &registry, const QString &name)
    : m_registry(registry)
{
    setObjectName(name);
}

Form::~Form()
{
    delete m_window.data();
}

void Form::show()
{
    // This window is to be the active one, whichever a closed dialog was giving the focus back to.
    FocusReturn::forget();
    if (!isLoaded()) {
        QWidget *w = createWindow();
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->setWindowTitle(name());
        m_window = w;
        m_registry.watch(*this, w);
        m_createdSize = w->size();
        if (opensMaximized())
            showMaximizedWindow(w);
        else
            w->show();
    } else {
        if (m_window->isMinimized())
            m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
        m_window->show();
    }
    m_window->raise();
    m_window->activateWindow();
}

bool Form::awaitsMaximizedGeometry() const
{
    return opensMaximized() && !m_window.isNull() && m_window->isVisible()
        && m_window->windowState().testFlag(Qt::WindowMaximized) && !m_window->isMinimized()
        && m_window->size() == m_createdSize;
}

} // namespace quorvel
