// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include <cstring>

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

int countPixels(const QImage &image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == colour ? 1 : 0;
    return n;
}

QSet<QRgb> coloursIn(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return colours;
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

void RecordingObserver::scaleChanged(float w, float h)
{
    ops.push_back({SurfaceOp::Scale, w, h, 0, 0, 0, 0});
}

void RecordingObserver::cleared()
{
    ops.push_back({SurfaceOp::Clear, 0, 0, 0, 0, 0, 0});
}

void RecordingObserver::lineDrawn(float x1, float y1, float x2, float y2, int width, ColourValue c)
{
    ops.push_back({SurfaceOp::Line, x1, y1, x2, y2, width, c});
}

void RecordingObserver::pointSet(float x, float y, int width, int index)
{
    ops.push_back({SurfaceOp::Point, x, y, 0, 0, width, static_cast<unsigned>(index)});
}

std::vector<SurfaceOp> RecordingObserver::points() const
{
    std::vector<SurfaceOp> out;
    for (const SurfaceOp &op : ops)
        if (op.kind == SurfaceOp::Point)
            out.push_back(op);
    return out;
}

std::vector<SurfaceOp> RecordingObserver::lines() const
{
    std::vector<SurfaceOp> out;
    for (const SurfaceOp &op : ops)
        if (op.kind == SurfaceOp::Line)
            out.push_back(op);
    return out;
}

int RecordingObserver::count(SurfaceOp::Kind kind) const
{
    int n = 0;
    for (const SurfaceOp &op : ops)
        n += op.kind == kind ? 1 : 0;
    return n;
}

quint32 bitsOf(float f)
{
    quint32 u = 0;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

quint64 bitsOf(double d)
{
    quint64 u = 0;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

} // namespace quorvel::test
