// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The reference for start-up time: the smallest Qt Widgets program that shows one empty window.
// It ends (status 0) as soon as the window has been painted once, as the start-up driver does.
#include <QApplication>
#include <QTimer>
#include <QWidget>

class Window : public QWidget
{
protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!m_painted) {
            m_painted = true;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
    }

private:
    bool m_painted = false;
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Window w;
    w.resize(778, 487);
    w.show();
    return QApplication::exec();
}
