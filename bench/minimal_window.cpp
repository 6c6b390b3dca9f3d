// The reference for start-up time: the smallest Qt Widgets program that shows one empty window.
// With QUORVEL_QUIT_AFTER_FIRST_PAINT=1 it ends (status 0) as soon as the window has been painted
// once, as the program does under the same variable.
#include <QApplication>
#include <QTimer>
#include <QWidget>

class Window : public QWidget
{
public:
    bool quitAfterPaint = false;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (quitAfterPaint) {
            quitAfterPaint = false;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Window w;
    w.quitAfterPaint = qEnvironmentVariableIntValue("QUORVEL_QUIT_AFTER_FIRST_PAINT") == 1;
    w.resize(778, 487);
    w.show();
    return QApplication::exec();
}
