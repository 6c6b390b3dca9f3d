// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RunSummary.h"

#include "CurveChain.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace quorvel::model {

void RunSummary::addChain(const ChainPoint *points, int count)
{
    if (count <= 0)
        return;
    // In locals, so that the loop keeps them in registers.
    double l = drawn > 0 ? left : points[0].x;
    double r = drawn > 0 ? right : points[0].x;
    double b = drawn > 0 ? bottom : points[0].y;
    double t = drawn > 0 ? top : points[0].y;
    int upperRight = 0;
    int upperLeft = 0;
    int lowerLeft = 0;
    int colour = points[0].paletteIndex;
    int sameColour = 0; // points in a row in `colour`
    const auto addColour = [this](int paletteIndex, int n) {
        if (paletteIndex >= 0 && paletteIndex < static_cast<int>(pointsByColour.size()))
            pointsByColour[static_cast<std::size_t>(paletteIndex)] += n;
    };
    for (int k = 0; k < count; ++k) {
        const ChainPoint &p = points[k];
        l = std::min(l, p.x);
        r = std::max(r, p.x);
        b = std::min(b, p.y);
        t = std::max(t, p.y);
        const bool up = p.y >= 0;
        const bool rightSide = p.x >= 0;
        upperRight += static_cast<int>(up && rightSide);
        upperLeft += static_cast<int>(up && !rightSide);
        lowerLeft += static_cast<int>(!up && p.x < 0);
        if (p.paletteIndex != colour) {
            addColour(colour, sameColour);
            colour = p.paletteIndex;
            sameColour = 0;
        }
        ++sameColour;
    }
    addColour(colour, sameColour);
    left = l;
    right = r;
    bottom = b;
    top = t;
    pointsByQuadrant[0] += upperRight;
    pointsByQuadrant[1] += upperLeft;
    pointsByQuadrant[2] += lowerLeft;
    pointsByQuadrant[3] += count - upperRight - upperLeft - lowerLeft;
    drawn += count;
}

void RunSummary::addStraight(double x0, double y0, double x1, double y1, int count,
                             int paletteIndex, const std::array<int, 3> &quadrants)
{
    if (count <= 0)
        return;
    const double l = std::min(x0, x1);
    const double r = std::max(x0, x1);
    const double b = std::min(y0, y1);
    const double t = std::max(y0, y1);
    left = drawn > 0 ? std::min(left, l) : l;
    right = drawn > 0 ? std::max(right, r) : r;
    bottom = drawn > 0 ? std::min(bottom, b) : b;
    top = drawn > 0 ? std::max(top, t) : t;
    if (paletteIndex >= 0 && paletteIndex < static_cast<int>(pointsByColour.size()))
        pointsByColour[static_cast<std::size_t>(paletteIndex)] += count;
    pointsByQuadrant[0] += quadrants[0];
    pointsByQuadrant[1] += quadrants[1];
    pointsByQuadrant[2] += quadrants[2];
    pointsByQuadrant[3] += count - quadrants[0] - quadrants[1] - quadrants[2];
    drawn += count;
}

namespace {

// Whole units, the way a listener can take them in.
QString units(double value)
{
    const double rounded = std::round(value);
    return QString::number(rounded == 0 ? 0.0 : rounded, 'f', 0);
}

QString count(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? one : many));
}

} // namespace

QString colourName(int paletteIndex)
{
    static const char *const names[] = {
        "nero",        "blu scuro",     "verde scuro",  "ciano scuro",
        "rosso scuro", "magenta scuro", "giallo scuro", "grigio chiaro",
        "grigio",      "blu",           "verde",        "ciano",
        "rosso",       "magenta",       "giallo",       "bianco",
    };
    if (paletteIndex < 0 || paletteIndex >= static_cast<int>(std::size(names)))
        return QStringLiteral("colore %1").arg(paletteIndex);
    return QString::fromUtf8(names[paletteIndex]);
}

QString describeRun(const RunSummary &run)
{
    QStringList sentences;
    const int total = run.points();
    if (total == 0) {
        sentences << QStringLiteral("Nessun punto disegnato.");
    } else {
        QStringList colours;
        for (std::size_t i = 0; i < run.pointsByColour.size(); ++i) {
            if (run.pointsByColour[i] > 0)
                colours << QStringLiteral("%1 in %2")
                               .arg(run.pointsByColour[i])
                               .arg(colourName(static_cast<int>(i)));
        }
        sentences << QStringLiteral("%1: %2.").arg(
            total == 1 ? QStringLiteral("Disegnato 1 punto")
                       : QStringLiteral("Disegnati %1 punti").arg(total),
            colours.join(QStringLiteral(", ")));
    }

    switch (run.end) {
    case RunSummary::End::RangesDone:
        sentences << QStringLiteral("Esecuzione completata: %1.")
                         .arg(count(run.rangesDone, "intervallo di ALFA tracciato",
                                    "intervalli di ALFA tracciati"));
        break;
    case RunSummary::End::OutOfField:
        sentences << QStringLiteral("Esecuzione interrotta: %1.").arg(run.message.trimmed());
        break;
    case RunSummary::End::Stopped:
        sentences << QStringLiteral("Esecuzione interrotta con il tasto Esc.");
        break;
    case RunSummary::End::Refused:
        sentences << QStringLiteral("Esecuzione interrotta da un campo non accettato: %1.")
                         .arg(run.message.trimmed());
        break;
    }

    if (total > 0) {
        static const char *const quadrants[] = {"in alto a destra", "in alto a sinistra",
                                                "in basso a sinistra", "in basso a destra"};
        QStringList where;
        for (std::size_t q = 0; q < run.pointsByQuadrant.size(); ++q) {
            const int n = run.pointsByQuadrant[q];
            if (n == total)
                where << QString::fromUtf8(quadrants[q]);
            else if (n > 0)
                where << QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(quadrants[q]));
        }
        sentences << QStringLiteral("Rispetto all'incrocio degli assi i punti stanno %1; "
                                    "in orizzontale da %2 a %3, in verticale da %4 a %5.")
                         .arg(where.join(QStringLiteral(", ")), units(run.left), units(run.right),
                              units(run.bottom), units(run.top));
    }
    return sentences.join(QLatin1Char(' '));
}

} // namespace quorvel::model
