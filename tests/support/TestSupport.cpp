// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>

namespace quorvel::test {

namespace {
QtMessageHandler previousHandler = nullptr;

void noiseFilter(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("does not support propagateSizeHints()"))
        || message.contains(QLatin1String("does not support raise()"))
        || message.contains(QLatin1String("This plugin does not support")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

void filterPlatformNoise()
{
    QtMessageHandler current = qInstallMessageHandler(noiseFilter);
    if (current != noiseFilter)
        previousHandler = current;
}

MessageRecorder::MessageRecorder()
    : m_sink([this](const QString &text) {
        messages << text;
        if (onMessage)
            onMessage(text);
    })
{
}

QueueMark::QueueMark()
{
    // Two turns of the event loop: what the first turn handled may have queued more (a window
    // system event posting its follow-up).
    QTimer::singleShot(0, &m_context,
                       [this] { QTimer::singleShot(0, &m_context, [this] { m_reached = true; }); });
}

StubForm::StubForm(FormRegistry &registry, const QString &name)
    : Form(registry, name)
{
}

QWidget *StubForm::createWindow()
{
    ++windowsBuilt;
    auto *w = new QWidget;
    w->resize(200, 100);
    field = new QLineEdit(QStringLiteral("designed"), w);
    return w;
}

QString screenDiffersFromDrawing(const DrawingSurface &surface)
{
    const QImage drawing = surface.raster().drawing();
    const QPoint origin = surface.mapTo(surface.window(), QPoint(0, 0));
    const QImage shown = surface.screen()
                             ->grabWindow(surface.window()->winId(), origin.x(), origin.y(),
                                          surface.width(), surface.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    if (shown.size() != drawing.size())
        return QStringLiteral("the screen shows %1x%2 pixels of a %3x%4 drawing")
            .arg(shown.width())
            .arg(shown.height())
            .arg(drawing.width())
            .arg(drawing.height());
    // The controls over the drawing hide it: their pixels are theirs.
    QImage covered(drawing.size(), QImage::Format_Grayscale8);
    covered.fill(0);
    {
        QPainter p(&covered);
        for (const QWidget *child : surface.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisible() && !child->isWindow())
                p.fillRect(child->geometry(), Qt::white);
        }
    }
    for (int y = 0; y < drawing.height(); ++y) {
        const uchar *hidden = covered.constScanLine(y);
        for (int x = 0; x < drawing.width(); ++x) {
            if (hidden[x] == 0 && shown.pixel(x, y) != drawing.pixel(x, y))
                return QStringLiteral("pixel %1,%2 shows %3, the drawing has %4")
                    .arg(x)
                    .arg(y)
                    .arg(shown.pixel(x, y), 8, 16, QLatin1Char('0'))
                    .arg(drawing.pixel(x, y), 8, 16, QLatin1Char('0'));
        }
    }
    return {};
}

BoxDriver::BoxDriver()
{
    connect(&m_timer, &QTimer::timeout, this, &BoxDriver::poll);
    m_timer.start(10);
}

void BoxDriver::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    messages << box->text();
    if (QAbstractButton *ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}

} // namespace quorvel::test
