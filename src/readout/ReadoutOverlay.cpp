// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ReadoutOverlay.h"

#include "model/NumericText.h"

#include <QChildEvent>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <system_error>
#include <thread>
#include <utility>

namespace quorvel::readout {

namespace {
// Logical pixels between the cursor and the tip.
constexpr int kTipOffset = 16;

// A coordinate to as many decimals as a pixel of the view can tell apart.
QString userUnits(double value, double pixelsPerUnit)
{
    const double digits = pixelsPerUnit > 1 ? std::ceil(std::log10(pixelsPerUnit)) : 0.0;
    const int decimals = static_cast<int>(std::clamp(digits, 0.0, 12.0));
    // No "-0" for a value that rounds to nothing.
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals))
        value = 0.0;
    QString text = QString::number(value, 'f', decimals);
    return text.replace(QLatin1Char('.'), QLatin1Char(','));
}
} // namespace

struct ReadoutOverlay::Build
{
    std::atomic<bool> cancel {false};
    std::vector<PlacedRun> runs;
    int width = 0;
    int height = 0;
    std::shared_ptr<const DotIndex> result;
    std::thread thread;
};

ReadoutOverlay::ReadoutOverlay(QWidget *view, std::function<Scene()> scene)
    : QObject(view)
    , m_view(view)
    , m_label(new QLabel(view))
    , m_scene(std::move(scene))
{
    m_label->setObjectName(QStringLiteral("LetturaCursore"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setAutoFillBackground(true);
    m_label->setBackgroundRole(QPalette::ToolTipBase);
    m_label->setForegroundRole(QPalette::ToolTipText);
    m_label->setFrameShape(QFrame::Box);
    m_label->setMargin(3);
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_label->setFocusPolicy(Qt::NoFocus);
    m_label->setAccessibleName(QStringLiteral("Punto sotto il cursore"));
    m_label->hide();
    view->setMouseTracking(true);
    view->installEventFilter(this);
    for (QWidget *child : view->findChildren<QWidget *>())
        watch(child);
}

ReadoutOverlay::~ReadoutOverlay()
{
    stopBuild();
}

QString ReadoutOverlay::text() const
{
    return m_label->isVisible() ? m_label->text() : QString();
}

void ReadoutOverlay::watch(QWidget *widget)
{
    if (widget != m_label)
        widget->installEventFilter(this);
}

bool ReadoutOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view) {
        switch (event->type()) {
        case QEvent::MouseMove: {
            const QPoint pos = static_cast<QMouseEvent *>(event)->position().toPoint();
            QWidget *under = m_view->childAt(pos);
            if (under != nullptr && under != m_label)
                hide();
            else
                showAt(pos);
            break;
        }
        case QEvent::Leave:
        case QEvent::Hide:
            hide();
            break;
        case QEvent::ChildAdded:
            if (auto *child = qobject_cast<QWidget *>(static_cast<QChildEvent *>(event)->child()))
                watch(child);
            break;
        default:
            break;
        }
    } else if (event->type() == QEvent::Enter) {
        // Onto a control over the drawing: the view itself is not told that the cursor left.
        hide();
    }
    return QObject::eventFilter(watched, event);
}

void ReadoutOverlay::hide()
{
    m_cursor.reset();
    m_label->hide();
    if (m_label->text().isEmpty())
        return;
    m_label->clear();
    emit textChanged(QString());
}

void ReadoutOverlay::refresh()
{
    if (m_cursor)
        showAt(*m_cursor);
}

QString ReadoutOverlay::describe(QPointF userPoint, double pixelsPerUnit,
                                 const std::optional<FoundDot> &dot)
{
    QString text = QStringLiteral("X = %1   Y = %2")
                       .arg(userUnits(userPoint.x(), pixelsPerUnit),
                            userUnits(userPoint.y(), pixelsPerUnit));
    if (dot) {
        text += QStringLiteral("\nEsecuzione %1, intervallo %2\nALFA = %3   t x ALFA = %4\n"
                               "X11 = %5\nY11 = %6")
                    .arg(dot->run)
                    .arg(dot->range)
                    .arg(model::decimalText(dot->alfa))
                    .arg(dot->a2)
                    .arg(model::decimalText(dot->x11), model::decimalText(dot->y11));
    }
    return text;
}

void ReadoutOverlay::showAt(QPoint pos)
{
    if (!m_view)
        return;
    Scene scene = m_scene();
    if (!scene.axes) {
        hide();
        return;
    }
    if (scene.runs != m_indexedRuns || m_view->size() != m_indexedSize)
        startBuild(scene);
    m_cursor = pos;
    // The middle of the pixel under the cursor.
    const QPointF at(pos.x() + 0.5, pos.y() + 0.5);
    const std::optional<FoundDot> dot = m_index ? m_index->nearest(at) : std::nullopt;
    QString text = describe(scene.axes->toChain(at),
                            std::min(std::fabs(scene.axes->kx), std::fabs(scene.axes->ky)), dot);
    if (!m_index && !m_indexedRuns.empty())
        text += QStringLiteral("\n(ricerca dei punti in preparazione)");
    if (text != m_label->text()) {
        m_label->setText(text);
        m_label->setAccessibleDescription(text);
        m_label->adjustSize();
        emit textChanged(text);
    }
    const QSize room = m_view->size();
    const QSize tip = m_label->size();
    int x = pos.x() + kTipOffset;
    if (x + tip.width() > room.width())
        x = pos.x() - kTipOffset - tip.width();
    int y = pos.y() + kTipOffset;
    if (y + tip.height() > room.height())
        y = pos.y() - kTipOffset - tip.height();
    m_label->move(std::max(0, x), std::max(0, y));
    m_label->show();
    m_label->raise();
}

void ReadoutOverlay::startBuild(const Scene &scene)
{
    stopBuild();
    m_index.reset();
    m_indexedRuns = scene.runs;
    m_indexedSize = m_view->size();
    if (m_indexedRuns.empty())
        return;
    auto build = std::make_shared<Build>();
    build->runs = m_indexedRuns;
    build->width = m_indexedSize.width();
    build->height = m_indexedSize.height();
    m_build = build;
    try {
        build->thread = std::thread([this, build] {
            build->result = std::make_shared<const DotIndex>(
                DotIndex::build(build->runs, build->width, build->height, build->cancel));
            QMetaObject::invokeMethod(
                this, [this, build] { finishBuild(build); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error &) {
        // No thread to be had: the tip shows X and Y alone.
        m_build.reset();
    }
}

void ReadoutOverlay::finishBuild(const std::shared_ptr<Build> &build)
{
    if (build != m_build)
        return;
    if (build->thread.joinable())
        build->thread.join();
    m_build.reset();
    if (build->cancel.load())
        return;
    m_index = build->result;
    if (m_cursor)
        showAt(*m_cursor);
    emit indexBuilt();
}

void ReadoutOverlay::stopBuild()
{
    if (!m_build)
        return;
    m_build->cancel.store(true);
    if (m_build->thread.joinable())
        m_build->thread.join();
    m_build.reset();
}

} // namespace quorvel::readout
