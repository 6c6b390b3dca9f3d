#include "BenchSupport.h"

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

} // namespace quorvel::bench
