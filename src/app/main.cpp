#include "Program.h"

#include "shell/Form.h"
#include "shell/FormRegistry.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

namespace {

// For timing the start: ends the program (status 0) once the window it watches has been painted
// for the first time, as soon as that paint has reached the screen.
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
    quorvel::setUpApplication(app);
    quorvel::FormRegistry registry;
    quorvel::registerForms(registry);
    registry.show(QStringLiteral("Form1"));
    // QUORVEL_QUIT_AFTER_FIRST_PAINT=1: start-up benchmark (bench/startup_bench.sh).
    QuitAfterFirstPaint quitAfterFirstPaint;
    if (qEnvironmentVariableIntValue("QUORVEL_QUIT_AFTER_FIRST_PAINT") == 1)
        registry.form(QStringLiteral("Form1")).window()->installEventFilter(&quitAfterFirstPaint);
    return QApplication::exec();
}
