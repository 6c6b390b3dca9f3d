// The real program, driven through one scenario to its end, so a test can watch how the process
// ends: "esci2" and "esci4" press "ESCI" on the calibration or the curve window; "close-all"
// closes every window with its frame's close button, the introduction window first.
#include "app/Program.h"
#include "shell/Form.h"
#include "shell/FormRegistry.h"

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

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
