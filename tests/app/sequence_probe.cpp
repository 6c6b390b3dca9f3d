// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The real program, driven through one scenario to its end, so a test can watch how the process
// ends: "esci2" and "esci4" press "ESCI" on the calibration or the curve window; "close-all"
// closes every window with its frame's close button, the introduction window first;
// "esci4-run" and "close-all-run" do the same while the curve window is in a run of 10^9 points.
#include "app/Program.h"
#include "shell/Form.h"
#include "shell/FormRegistry.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <utility>

using quorvel::FormRegistry;

namespace {

QPushButton *button(FormRegistry &registry, const char *form, const char *name)
{
    return registry.form(QString::fromLatin1(form))
        .window()
        ->findChild<QPushButton *>(QString::fromLatin1(name));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    quorvel::setUpApplication(app);
    FormRegistry registry;
    quorvel::registerForms(registry);
    const QByteArray scenario = argc > 1 ? argv[1] : "";
    registry.show(QStringLiteral("Form1"));

    QTimer::singleShot(100, [&] {
        button(registry, "Form1", "Command1")->click();
        QTimer::singleShot(100, [&] {
            QWidget *form2 = registry.form(QStringLiteral("Form2")).window();
            form2->findChild<QScrollBar *>(QStringLiteral("HScroll1"))->setValue(2);
            if (scenario == "esci2") {
                // Already queued when "ESCI" is pressed: must never run.
                QTimer::singleShot(0, [] { std::printf("handler after ESCI\n"); });
                button(registry, "Form2", "Command3")->click();
                return;
            }
            button(registry, "Form2", "Command1")->click();
            QTimer::singleShot(100, [&] {
                if (scenario.endsWith("-run")) {
                    QWidget *form4 = registry.form(QStringLiteral("Form4")).window();
                    for (const auto &[name, text] :
                         {std::pair {"Text10", "0"}, {"Text12", "0"}, {"Text4", "1000000000"}})
                        form4->findChild<QLineEdit *>(QString::fromLatin1(name))
                            ->setText(QString::fromLatin1(text));
                    if (scenario == "close-all-run") {
                        for (const char *name : {"Form1", "Form2"})
                            registry.form(QString::fromLatin1(name)).window()->close();
                    }
                    // Once the run is busy, as a user's click or close would come.
                    QTimer::singleShot(700, [&, form4] {
                        std::printf("during the run\n");
                        if (scenario == "esci4-run")
                            QTest::mouseClick(button(registry, "Form4", "Command3"),
                                              Qt::LeftButton);
                        else
                            form4->close();
                    });
                    button(registry, "Form4", "Command5")->click();
                    return;
                }
                if (scenario == "esci4") {
                    button(registry, "Form4", "Command3")->click();
                } else if (scenario == "close-all") {
                    for (const char *name : {"Form1", "Form2", "Form4"}) {
                        registry.form(QString::fromLatin1(name)).window()->close();
                        std::printf("closed %s\n", name);
                        std::fflush(stdout);
                    }
                }
            });
        });
    });
    // Nothing may keep the process alive: a scenario that does not end it fails here.
    QTimer::singleShot(20000, [] {
        std::printf("still running\n");
        std::fflush(stdout);
        std::_Exit(99);
    });
    const int status = QApplication::exec();
    std::printf("ended %d\n", status);
    return status;
}
