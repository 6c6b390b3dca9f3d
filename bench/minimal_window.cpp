// The reference for start-up time: the smallest Qt Widgets program that shows one empty window.
// With --quit-after-paint it leaves as soon as the window has been painted once.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstring>

class Window : public QWidget
{
public:
    bool quitAfterPaint = false;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (quitAfterPaint)
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Window w;
    w.quitAfterPaint = argc > 1 && std::strcmp(argv[1], "--quit-after-paint") == 0;
    w.resize(778, 487);
    w.show();
    return QApplication::exec();
}
