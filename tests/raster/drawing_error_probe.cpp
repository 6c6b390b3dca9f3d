// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Asks a drawing without any window or application for the palette colour given as its
// argument (16 when none). A colour that does not exist must end the process with the drawing's
// run-time error status before PSet returns.
#include "raster/RetainedDrawing.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    const int index = argc > 1 ? std::atoi(argv[1]) : 16;
    quorvel::raster::RetainedDrawing drawing(0xffefefef);
    drawing.setArea(QSize(200, 200));
    drawing.setScaleWidth(100);
    drawing.setScaleHeight(100);
    drawing.PSet(10, 10, index);
    std::printf("PSet returned\n");
    return 0;
}
