// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times taking the picture out of the curve window on a 1920x1080 screen: the PNG of the
// retained drawing after one long run, and the SVG, PDF and CSV files of ten runs of 196,608
// points each, made again from the runs' recipes. Each line's ratio is against its reference:
// the PNG against encoding the same image into memory; the others against replaying the ten
// runs' dots alone, without writing anything. Then the SVG and PDF files of one run of 10^8
// points on a few pixels, against replaying that run's dots alone.
#include "BenchSupport.h"
#include "curve/Form4.h"
#include "curve/RunRecord.h"
#include "picture/PictureFiles.h"
#include "surface/DrawingSurface.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImageWriter>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <utility>

namespace {

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::model;
using quorvel::bench::medianMs;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRuns = 10;
constexpr std::size_t kRunPoints = bench::kLongRunPoints;

// "Cancella ed esegui" with INX 0,001, INY 0,001, epsilon 0,000001, t 0,000001 and range 1
// from 0 to 100000000: 10^8 points that stay on a few pixels.
const bench::Fields kFewPixelsFields = {
    {1, QStringLiteral("0,001")},     {2, QStringLiteral("0,001")},
    {10, QStringLiteral("0,000001")}, {11, QStringLiteral("55")},
    {12, QStringLiteral("0,000001")}, {3, QStringLiteral("0")},
    {4, QStringLiteral("100000000")}, {5, QStringLiteral("0")},
    {6, QStringLiteral("0")},
};
constexpr std::size_t kFewPixelsPoints = 100000001;

} // namespace

int main(int argc, char *argv[])
{
    bench::CurveWindowSession session(argc, argv, kWidth, kHeight);
    if (session.curveWindow() == nullptr)
        return 1;
    Form4 &form4 = *session.curveWindow();
    DrawingSurface *surface = form4.surface();
    // A message would end a run early: the session records them instead of opening boxes.
    const QStringList &messages = session.messages();
    const QTemporaryDir dir; // the files written
    form4.setRunTiming({});
    bench::setFields(form4, bench::longRunFields());
    for (int run = 0; run < kRuns; ++run)
        form4.Command5_Click();
    QCoreApplication::processEvents();
    const raster::DrawingRecord &record = surface->raster().record();
    std::size_t dots = 0;
    struct Count : raster::DotVisitor
    {
        std::size_t &n;
        explicit Count(std::size_t &count)
            : n(count)
        {
        }
        bool dot(const raster::RecordedDot &) override
        {
            ++n;
            return true;
        }
    } counter(dots);
    const auto replayAll = [&] {
        for (const raster::DrawingRecord::Entry &e : record.entries()) {
            if (const auto *batch = std::get_if<raster::RecordedDots>(&e))
                batch->source->replayDots(counter);
        }
    };
    replayAll();
    if (!messages.isEmpty() || dots != kRuns * kRunPoints) {
        std::fprintf(stderr, "the ten runs were not drawn whole (%zu dots)\n", dots);
        return 1;
    }

    const picture::Picture picture {
        {}, &record, surface->size(), surface->raster().backgroundRgb()};
    const QImage drawing = surface->raster().drawing();
    const QString png = dir.filePath(QStringLiteral("curva.png"));
    const double pngMs = medianMs(11, [&] {
        if (!picture::writePng(surface->raster().drawing(), png).isEmpty())
            std::abort();
    });
    const double encodeMs = medianMs(11, [&] {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "png").write(drawing);
    });
    bench::report("picture_png_1920x1080", pngMs, encodeMs);

    const double replayMs = medianMs(3, [&] {
        dots = 0;
        replayAll();
    });
    const auto timeWriter = [&](const char *name, const QString &file, auto &&write) {
        const QString path = dir.filePath(file);
        const double ms = medianMs(3, [&] {
            if (!write(path).isEmpty())
                std::abort();
        });
        bench::report(name, ms, replayMs);
        QFile::remove(path);
    };
    timeWriter("picture_svg_10x196608", QStringLiteral("curva.svg"),
               [&](const QString &p) { return picture::writeSvg(picture, p); });
    timeWriter("picture_pdf_10x196608", QStringLiteral("curva.pdf"),
               [&](const QString &p) { return picture::writePdf(picture, p); });
    timeWriter("picture_csv_10x196608", QStringLiteral("punti.csv"),
               [&](const QString &p) { return picture::writeCsv(record, p); });

    bench::setFields(form4, kFewPixelsFields);
    form4.Command1_Click();
    QCoreApplication::processEvents();
    dots = 0;
    replayAll();
    if (!messages.isEmpty() || dots != kFewPixelsPoints) {
        std::fprintf(stderr, "the long run was not drawn whole (%zu dots)\n", dots);
        return 1;
    }
    const double longReplayMs = medianMs(3, [&] {
        dots = 0;
        replayAll();
    });
    const auto timeLongRun = [&](const char *name, const QString &file, auto &&write) {
        const QString path = dir.filePath(file);
        const double ms = medianMs(3, [&] {
            if (!write(path).isEmpty())
                std::abort();
        });
        bench::report(name, ms, longReplayMs);
        std::printf("# %s file_bytes=%lld\n", name, static_cast<long long>(QFile(path).size()));
        QFile::remove(path);
    };
    timeLongRun("picture_svg_long_run", QStringLiteral("curva.svg"),
                [&](const QString &p) { return picture::writeSvg(picture, p); });
    timeLongRun("picture_pdf_long_run", QStringLiteral("curva.pdf"),
                [&](const QString &p) { return picture::writePdf(picture, p); });
    return 0;
}
