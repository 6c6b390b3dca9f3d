#include "RunPacer.h"

#include "shell/FormRegistry.h"
#include "shell/MessageBox.h"
#include "surface/DrawingSurface.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>

namespace quorvel {

RunPacer::RunPacer(DrawingSurface *surface, FormRegistry &registry, Timing timing)
    : m_surface(surface)
    , m_registry(registry)
    , m_timing(timing)
{
    m_clock.start();
}

RunPacer::~RunPacer()
{
    leaveBusy();
    if (m_wasBusy)
        m_registry.holdActivation(false);
}

bool RunPacer::check()
{
    if (m_stop)
        return false;
    const qint64 now = m_clock.elapsed();
    if (!m_busy) {
        if (now < m_timing.busyAfterMs)
            return true;
        enterBusy();
    }
    if (now - m_lastRefreshMs >= m_timing.refreshMs) {
        m_lastRefreshMs = now;
        if (m_surface)
            m_surface->repaintNow();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return !m_stop;
}

void RunPacer::enterBusy()
{
    if (m_busy)
        return;
    m_busy = true;
    if (!m_wasBusy) {
        m_wasBusy = true;
        m_registry.holdActivation(true);
    }
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    qApp->installEventFilter(this);
}

void RunPacer::leaveBusy()
{
    if (!m_busy)
        return;
    m_busy = false;
    qApp->removeEventFilter(this);
    QGuiApplication::restoreOverrideCursor();
}

void RunPacer::showMessage(const QString &text)
{
    const bool wasBusy = m_busy;
    leaveBusy();
    quorvel::showMessage(text);
    if (wasBusy) {
        enterBusy();
        m_lastRefreshMs = m_clock.elapsed();
    }
}

bool RunPacer::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            m_stop = true;
        return true;
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    case QEvent::Close:
        // A window closed now would take the drawing away from under the run.
        event->ignore();
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quorvel
