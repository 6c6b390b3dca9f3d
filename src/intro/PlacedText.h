// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>

namespace quorvel::intro {

// The page is laid out in twips, fine enough that font metrics and glyph boxes keep their
// fractions; fonts are sized in points.
constexpr qreal kTwipsPerInch = 1440;
constexpr int kTwipsPerPoint = 20;

// A run of text in one font at a fixed place. Coordinates are twips, y downwards, measured from
// the origin of whatever holds the run (a formula, or the page).
struct PlacedText
{
    enum class Role {
        Body, // body text of a paragraph
        Bullet, // the bullet of a bulleted paragraph
        Subscript, // lowered, smaller body text
        Symbol, // a symbol of a formula's main line
        FormulaSubscript, // a symbol of a formula's subscript
    };

    QString text;
    QFont font;
    Role role = Role::Body;
    QPointF origin; // left end of the baseline
    QRectF box; // the advance width by the font's ascent and descent
    QRectF ink; // where the glyphs actually mark the page
    int row = 0; // the formula row it belongs to, 0 outside the braced system

    // Measures `text` set in `font` with its baseline starting at `origin`.
    static PlacedText measured(const QString &text, const QFont &font, Role role, QPointF origin,
                               int row = 0);

    // A font of the page at `points` size. It is sized in twips, the units of the page, and drawn
    // through the painter's scale; unhinted, its metrics follow the design metrics and the layout
    // is the same at every resolution.
    static QFont pageFont(const QString &family, int points, bool italic = false);

    void translate(QPointF offset)
    {
        origin += offset;
        box.translate(offset);
        ink.translate(offset);
    }
};

} // namespace quorvel::intro
