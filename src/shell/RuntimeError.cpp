// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RuntimeError.h"

#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace quorvel {

namespace {
EndProgramHook &endHook()
{
    static EndProgramHook h;
    return h;
}

std::atomic_bool reporting {false};

[[noreturn]] void terminate()
{
    std::fflush(nullptr);
    std::_Exit(kRuntimeErrorExitStatus);
}
} // namespace

void runtimeError(int code, const QString &description)
{
    const QString text
        = QStringLiteral("Errore di run-time '%1':\n\n%2").arg(code).arg(description);
    std::fprintf(stderr, "%s\n", qPrintable(text));
    if (reporting.exchange(true)
        || qobject_cast<QApplication *>(QCoreApplication::instance()) == nullptr)
        terminate();

    // The box is modal to the program; nothing else runs until it is closed, then the process
    // ends without returning to the caller.
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf16(kApplicationTitle), text,
                    QMessageBox::Ok, nullptr);
    box.setWindowModality(Qt::ApplicationModal);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    terminate();
}

EndProgramHook setEndProgramHook(EndProgramHook hook)
{
    return std::exchange(endHook(), std::move(hook));
}

void endProgram()
{
    if (endHook()) {
        endHook()();
        return;
    }
    // Leave every event loop (a modal box's included) with status 0; the windows go with the
    // application object when main() returns.
    for (QWidget *w : QApplication::topLevelWidgets())
        w->hide();
    QCoreApplication::exit(0);
}

} // namespace quorvel
