// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PlacedText.h"

#include "shell/DesignedFont.h"

#include <QFontMetricsF>

namespace quorvel::intro {

PlacedText PlacedText::measured(const QString &text, const QFont &font, Role role, QPointF origin,
                                int row)
{
    const QFontMetricsF metrics(font);
    PlacedText placed;
    placed.text = text;
    placed.font = font;
    placed.role = role;
    placed.origin = origin;
    placed.box = QRectF(origin.x(), origin.y() - metrics.ascent(), metrics.horizontalAdvance(text),
                        metrics.ascent() + metrics.descent());
    placed.ink = metrics.tightBoundingRect(text).translated(origin);
    placed.row = row;
    return placed;
}

QFont PlacedText::pageFont(const QString &family, int points, bool italic)
{
    QFont font = designedFont(family);
    font.setPixelSize(points * kTwipsPerPoint);
    font.setItalic(italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace quorvel::intro
