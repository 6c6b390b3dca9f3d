// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RunPacer.h"

#include "model/NumericText.h"
#include "shell/AccessibleParts.h"
#include "shell/FormRegistry.h"
#include "shell/MessageBox.h"
#include "surface/DrawingSurface.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>

#include <algorithm>
#include <utility>

namespace quorvel::curve {

using namespace model;

namespace {
// Pixels between the hint and the drawing's bottom-right corner.
constexpr int kHintMargin = 8;

const QString kClosedText
    = QStringLiteral("Calcolo interrotto: la finestra della curva è stata chiusa.");

// A window of the program other than `closing` that is on screen (null if none).
QWidget *otherWindow(const QWidget *closing)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != closing && w->isVisible() && w->windowType() == Qt::Window)
            return w;
    }
    return nullptr;
}

bool isKey(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
        return true;
    default:
        return false;
    }
}

// Keys from the keyboard reach the program's windows during a run only as far as the
// widgets: the screen reader's bridge sees each first, passes it to the screen reader and
// gives back those it does not take; a key given back, or one the bridge did not hold, is
// discarded here (Esc stops the run).
class KeyGuard : public QObject
{
public:
    KeyGuard(QObject *parent, std::function<void()> stop)
        : QObject(parent)
        , m_stop(std::move(stop))
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (!isKey(event))
            return false;
        if (event->type() == QEvent::KeyPress
            && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            m_stop();
        return true;
    }

private:
    std::function<void()> m_stop;
};
} // namespace

RunPacer::RunPacer(DrawingSurface *surface, FormRegistry &registry, Timing timing)
    : m_surface(surface)
    , m_registry(registry)
    , m_timing(std::move(timing))
{
    if (m_surface)
        m_surface->raster().holdMapping(true);
    m_clock.start();
    m_startMs = nowMs();
}

RunPacer::~RunPacer()
{
    leaveBusy();
    // The run's window is gone: another of the program's windows says why the run ended.
    if (m_closed) {
        if (QWidget *other = otherWindow(m_surface ? m_surface->window() : nullptr))
            announce(other, kClosedText);
    }
    delete m_hint.data();
    if (m_surface)
        m_surface->raster().holdMapping(false);
    if (m_wasBusy)
        m_registry.holdActivation(false);
}

int RunPacer::rangesToWalk(const std::array<QString, 6> &texts, int first)
{
    int count = 0;
    for (int range = std::max(first, 1); range <= 3; ++range) {
        const std::optional<double> from = toNumber(texts[static_cast<std::size_t>(2 * range - 2)]);
        const std::optional<double> to = toNumber(texts[static_cast<std::size_t>(2 * range - 1)]);
        if (!from || !to || (*from == 0.0 && *to == 0.0))
            break;
        ++count;
    }
    return count;
}

void RunPacer::letThrough(QWidget *control)
{
    m_letThrough.emplace_back(control);
}

bool RunPacer::check(int range, double alfa)
{
    m_range = range;
    m_alfa = alfa;
    m_eventsProcessed = false;
    if (m_stop)
        return false;
    const qint64 now = runTimeMs();
    if (!m_busy) {
        if (now < m_timing.busyAfterMs)
            return true;
        enterBusy();
    }
    const bool refresh = now - m_lastRefreshMs >= m_timing.refreshMs;
    if (refresh) {
        m_lastRefreshMs = now;
        updateHint();
        if (m_surface)
            m_surface->repaintNow();
    }
    // The events waiting and those they post, for at most 20 ms; none waiting, the run goes
    // on at once.
    if (refresh || now - m_lastEventsMs >= m_timing.eventsMs) {
        m_lastEventsMs = now;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        m_eventsProcessed = true;
    }
    return !m_stop;
}

void RunPacer::updateHint()
{
    if (!m_surface)
        return;
    bool announceHint = false; // the hint appears now: a screen reader says it
    if (m_hint.isNull()) {
        // A control over the drawing, never part of it: the retained picture stays as drawn.
        auto *hint = new QLabel(m_surface);
        hint->setObjectName(QStringLiteral("AvvisoCalcolo"));
        hint->setTextFormat(Qt::PlainText);
        hint->setAutoFillBackground(true);
        hint->setBackgroundRole(QPalette::ToolTipBase);
        hint->setForegroundRole(QPalette::ToolTipText);
        hint->setFrameShape(QFrame::Box);
        hint->setMargin(4);
        exposeAsStatus(hint);
        m_hint = hint;
        announceHint = true;
    }
    // A range beyond those counted at the start is not promised: the count is left out.
    const QString range = m_rangesToWalk >= m_range
        ? QStringLiteral("%1 di %2").arg(m_range).arg(m_rangesToWalk)
        : QString::number(m_range);
    m_hint->setText(
        QStringLiteral("Calcolo in corso: intervallo %1, ALFA = %2. Esc per interrompere")
            .arg(range, groupedDecimalText(m_alfa)));
    m_hint->adjustSize();
    const QSize room = m_surface->size();
    m_hint->move(std::max(0, room.width() - m_hint->width() - kHintMargin),
                 std::max(0, room.height() - m_hint->height() - kHintMargin));
    m_hint->show();
    m_hint->raise();
    describeProgress();
    if (announceHint)
        announce(m_surface, m_hint->text());
}

void RunPacer::describeProgress()
{
    if (!m_hint)
        return;
    if (!m_described) {
        QWidget *focus = QApplication::focusWidget();
        if (!focus && m_surface)
            focus = m_surface->window()->focusWidget();
        if (!focus)
            return;
        m_described = focus;
        m_descriptionBefore = focus->accessibleDescription();
    }
    describeQuietly(m_described, m_hint->text());
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
    if (QAccessible::isActive()) {
        auto *guard = new KeyGuard(this, [this] { m_stop = true; });
        for (QWidget *w : {QApplication::focusWidget(), QApplication::activeWindow()}) {
            if (w)
                w->installEventFilter(guard);
        }
        m_keyGuard = guard;
    }
}

void RunPacer::leaveBusy()
{
    if (!m_busy)
        return;
    m_busy = false;
    qApp->removeEventFilter(this);
    delete m_keyGuard.data();
    if (m_described)
        describeQuietly(m_described, m_descriptionBefore);
    m_described = nullptr;
    QGuiApplication::restoreOverrideCursor();
}

void RunPacer::showMessage(const QString &text, const QString &concerning)
{
    const bool wasBusy = m_busy;
    leaveBusy();
    const qint64 opened = nowMs();
    quorvel::showMessage(text, concerning);
    m_pausedMs += nowMs() - opened;
    if (wasBusy) {
        enterBusy();
        m_lastRefreshMs = runTimeMs();
    }
}

bool RunPacer::eventFilter(QObject *watched, QEvent *event)
{
    // A key from the keyboard goes on to the screen reader's bridge, which keeps the screen
    // reader's keys working; the key guard discards what reaches the widgets.
    if (m_keyGuard && isKey(event) && event->spontaneous())
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            m_stop = true;
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        // The window passes a click on to the control under the mouse, which is seen here next.
        if (!watched->isWidgetType())
            return false;
        return std::none_of(m_letThrough.begin(), m_letThrough.end(),
                            [watched](const QPointer<QWidget> &w) { return w.data() == watched; });
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    case QEvent::Close:
        // Closing the run's window ends the run; the window then closes as it does at any time.
        if (m_surface && watched == m_surface->window()) {
            m_stop = true;
            m_closed = true;
            // The last window: the program ends with it. The window says why while it is
            // still there, goes at once, and a screen reader gets its answers before the
            // window is deleted.
            if (!otherWindow(m_surface->window())) {
                QWidget *window = m_surface->window();
                announce(window, kClosedText);
                window->hide();
                letAnnouncementBeRead();
            }
        }
        return false;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quorvel::curve
