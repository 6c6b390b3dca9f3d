// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Asks the drawing surface for a palette colour that does not exist. With --answer the message
// box is answered after it appears, as a user would; without it nobody answers and the caller
// closes the box by other means. Either way the process must end with the run-time error status.
#include "support/TestSupport.h"
#include "surface/DrawingSurface.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool answer = argc > 1 && std::strcmp(argv[1], "--answer") == 0;
    const int index = argc > 2 ? std::atoi(argv[2]) : 16;
    quorvel::DrawingSurface surface;
    surface.resize(200, 200);
    surface.show();
    quorvel::test::BoxDriver *driver = answer ? new quorvel::test::BoxDriver : nullptr;
    QTimer::singleShot(0, &surface, [&] {
        surface.raster().setScaleWidth(100);
        surface.raster().setScaleHeight(100);
        surface.raster().PSet(10, 10, index);
        std::printf("PSet returned\n");
        QCoreApplication::exit(0);
    });
    const int status = QApplication::exec();
    if (driver)
        std::printf("answered: %s\n", qPrintable(driver->messages.join(u'|')));
    return status;
}
