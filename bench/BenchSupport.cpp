#include "BenchSupport.h"

#include <QFile>
#include <QString>

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
} // namespace

void quietPlatformNotes()
{
    previousHandler = qInstallMessageHandler(dropPlatformNotes);
}

bool useOffscreenScreen(const QTemporaryDir &dir, int width, int height)
{
    const QString path = dir.filePath(QStringLiteral("screen.json"));
    QFile f(path);
    if (!dir.isValid() || !f.open(QIODevice::WriteOnly))
        return false;
    f.write(QStringLiteral(R"({"synchronousWindowSystemEvents": false,
"windowFrameMargins": false,
"screens": [{"name": "bench", "x": 0, "y": 0, "width": %1, "height": %2,
"logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                .arg(width)
                .arg(height)
                .toUtf8());
    f.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + path.toLocal8Bit());
    return true;
}

} // namespace quorvel::bench
