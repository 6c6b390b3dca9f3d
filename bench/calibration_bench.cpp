// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times one calibration redraw (clear, axes, the test circle plotted twice) into a 1920x1080
// surface against a raw loop writing the same pixels straight into an image.
#include "BenchSupport.h"
#include "app/Program.h"
#include "calibration/Form2.h"
#include "model/CircleModel.h"
#include "shell/FormRegistry.h"
#include "surface/DrawingSurface.h"

#include <QApplication>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using quorvel::bench::medianMs;

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quorvel::setUpApplication(app);
    quorvel::FormRegistry registry;
    quorvel::registerForms(registry);
    auto &form2 = registry.formAs<quorvel::calibration::Form2>(QStringLiteral("Form2"));
    form2.show();
    QWidget *window = form2.window();
    window->setWindowState(Qt::WindowNoState);
    window->resize(1920, 1080);
    QCoreApplication::processEvents();
    form2.Form_Activate();
    quorvel::DrawingSurface *surface = form2.surface();
    const int w = surface->width();
    const int h = surface->height();
    if (w != 1920 || h != 1080) {
        std::fprintf(stderr, "surface is %dx%d, not 1920x1080\n", w, h);
        return 1;
    }

    const int runs = 400;
    const double redraw = medianMs(runs, [&] {
        surface->raster().Cls();
        form2.COORDINATE();
        form2.TRACCIA();
    });

    // The same pixels, computed once, written directly.
    std::vector<std::pair<int, int>> pixels;
    const double kx = w / double(surface->raster().scaleWidth());
    const double ky = h / double(surface->raster().scaleHeight());
    const double p1 = form2.P1.toSingle();
    const double cx = form2.CX.toSingle();
    const double cy = form2.CY.toSingle();
    for (double a = 0; a <= 360.0; a += 0.1) {
        const float x = float(cx + std::cos(a * p1) * quorvel::model::kRadius);
        const float y = float(cy + std::sin(a * p1) * quorvel::model::kRadius);
        pixels.emplace_back(int(std::floor(x * kx)), int(std::floor(y * ky)));
    }
    const int axisX = int(std::floor(cx * kx));
    const int axisY = int(std::floor(cy * ky));
    QImage image(w, h, QImage::Format_RGB32);
    const QRgb background = surface->raster().backgroundRgb();
    const double raw = medianMs(runs, [&] {
        image.fill(background);
        uchar *bits = image.bits();
        const qsizetype stride = image.bytesPerLine();
        auto px = [&](int x, int y, QRgb c) {
            if (x >= 0 && y >= 0 && x < w && y < h)
                reinterpret_cast<QRgb *>(bits + y * stride)[x] = c;
        };
        for (int y = 0; y < h; ++y)
            px(axisX, y, 0xff000000);
        for (int x = 0; x < w; ++x)
            px(x, axisY, 0xff000000);
        for (int pass = 0; pass < 2; ++pass)
            for (const auto &[x, y] : pixels)
                px(x, y, 0xff800000);
    });
    std::printf("BENCH calibration_redraw median_ms=%.4f ratio=%.2f\n", redraw, redraw / raw);
    std::printf("BENCH calibration_raw_loop median_ms=%.4f ratio=1.00\n", raw);
    return 0;
}
