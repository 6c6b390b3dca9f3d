// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The program as main() starts it, for the start-up benchmark (startup_bench.sh): the same set-up
// and the same first window, then it ends (status 0) as soon as that window has been painted for
// the first time, once that paint has reached the screen.
#include "app/Program.h"
#include "shell/Form.h"
#include "shell/FormRegistry.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

namespace {

class QuitAfterFirstPaint : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    quorvel::FormRegistry registry;
    quorvel::startProgram(app, registry);
    QuitAfterFirstPaint quitAfterFirstPaint;
    registry.form(QStringLiteral("Form1")).window()->installEventFilter(&quitAfterFirstPaint);
    return QApplication::exec();
}
