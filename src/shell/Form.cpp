#include "Form.h"

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
    if (!isLoaded()) {
        QWidget *w = createWindow();
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->setWindowTitle(name());
        m_window = w;
        m_registry.watch(*this, w);
        if (opensMaximized())
            w->showMaximized();
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

} // namespace quorvel
