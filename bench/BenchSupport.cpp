// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "BenchSupport.h"

#include "app/Program.h"
#include "calibration/Form2.h"
#include "curve/Form4.h"
#include "shell/FormRegistry.h"
#include "shell/Seams.h"
#include "surface/DrawingSurface.h"

#include <QApplication>
#include <QFile>
#include <QString>

#include <cstdio>

namespace quorvel::bench {

namespace {
QtMessageHandler previousHandler = nullptr;

void dropPlatformNotes(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.contains(QLatin1String("does not support")))
        return;
    if (previousHandler)
        previousHandler(type, context, text);
}

// Drops the offscreen platform's notes about what it cannot do ("does not support raise()",
// "propagateSizeHints()"), which would end up among the results; everything else goes through.
void quietPlatformNotes()
{
    previousHandler = qInstallMessageHandler(dropPlatformNotes);
}

} // namespace

bool useOffscreenScreen(const QTemporaryDir &dir, int width, int height)
{
    const QString path = dir.filePath(QStringLiteral("screen.json"));
    QFile f(path);
    if (!dir.isValid() || !f.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write the offscreen screen configuration\n");
        return false;
    }
    f.write(QStringLiteral(R"({"synchronousWindowSystemEvents": false,
"windowFrameMargins": false,
"screens": [{"name": "bench", "x": 0, "y": 0, "width": %1, "height": %2,
"logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                .arg(width)
                .arg(height)
                .toUtf8());
    f.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + path.toLocal8Bit());
    quietPlatformNotes();
    return true;
}

curve::Form4 *openCurveWindow(QApplication &app, FormRegistry &registry, int width, int height)
{
    setUpApplication(app);
    registerForms(registry);
    // The curve window opens only once the calibration factor is above 0.53 (two scroll steps).
    registry.formAs<calibration::Form2>(QStringLiteral("Form2")).Incr = model::Variant::real(0.55);
    auto &form4 = registry.formAs<curve::Form4>(QStringLiteral("Form4"));
    registry.show(QStringLiteral("Form4"));
    for (int i = 0; i < 100 && form4.P1.isEmpty(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const DrawingSurface *surface = form4.surface();
    if (form4.P1.isEmpty() || surface == nullptr || surface->width() != width
        || surface->height() != height) {
        std::fprintf(stderr, "the curve window was not activated at %dx%d\n", width, height);
        return nullptr;
    }
    return &form4;
}

CurveWindowSession::CurveWindowSession(int &argc, char **argv, int width, int height)
{
    if (!useOffscreenScreen(m_configDir, width, height))
        return;
    m_app = std::make_unique<QApplication>(argc, argv);
    m_registry = std::make_unique<FormRegistry>();
    setMessageSink([this](const QString &text) { m_messages << text; });
    m_curveWindow = openCurveWindow(*m_app, *m_registry, width, height);
}

CurveWindowSession::~CurveWindowSession()
{
    setMessageSink({});
    // The forms go before the application.
    m_registry.reset();
}

const Fields &longRunFields()
{
    static const Fields fields = {
        {1, QStringLiteral("1")},      {2, QStringLiteral("1")},      {10, QStringLiteral("0,001")},
        {11, QStringLiteral("55")},    {12, QStringLiteral("0,5")},   {3, QStringLiteral("-32768")},
        {4, QStringLiteral("32767")},  {5, QStringLiteral("-32768")}, {6, QStringLiteral("32767")},
        {7, QStringLiteral("-32768")}, {8, QStringLiteral("32767")},
    };
    return fields;
}

void setFields(curve::Form4 &form, const Fields &fields)
{
    for (const auto &[number, text] : fields)
        form.field(number)->setText(text);
}

void report(const char *name, double ms, double reference)
{
    std::printf("BENCH %s median_ms=%.2f ratio=%.2f\n", name, ms, ms / reference);
    std::fflush(stdout);
}

} // namespace quorvel::bench
