// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ExplanatoryDocument.h"
#include "FormulaLayout.h"
#include "PlacedText.h"

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <vector>

namespace quorvel::intro {

// Lays out the explanatory document on its page: body text in a monospaced font at 12 point,
// word-wrapped in a column 72 characters wide a quarter inch in from the page's left edge,
// bullets, the lowered subscript and the two formulas in line with the text. Coordinates are
// twips (1/1440 inch) from the page's top-left corner, y downwards, the same at every screen
// resolution; the view scales them to the screen.
class DocumentLayout
{
public:
    static constexpr int kBodyPoints = 12;
    static constexpr int kSubscriptPoints = 8;
    static constexpr qreal kSubscriptDrop = 3 * kTwipsPerPoint; // the subscript's baseline
    static constexpr int kColumnCharacters = 72;
    static constexpr qreal kColumnLeft = kTwipsPerInch / 4;
    static constexpr qreal kTopMargin = kTwipsPerInch / 4;
    static constexpr qreal kBulletIndent = kTwipsPerInch / 4; // from the column
    static constexpr qreal kBulletSpaceAbove = 4 * kTwipsPerPoint; // above a bulleted paragraph

    // One line of a paragraph: the box from the left of its first mark to the end of its last,
    // by the tallest ascent and descent on it, and the baseline all its text sits on.
    struct Line
    {
        QRectF box;
        qreal baseline = 0;
    };

    // A formula standing in the text; `origin` is the left end of its baseline on the page.
    struct PlacedFormula
    {
        FormulaLayout layout;
        QPointF origin;
        QRectF box() const { return layout.box().translated(origin); }
        QRectF braceBox() const { return layout.braceBox().translated(origin); }
        QPainterPath brace() const { return layout.brace().translated(origin); }
    };

    struct Block
    {
        std::vector<Line> lines;
        // Everything drawn as text, in reading order: the bullet, the body text, subscripts and
        // the formulas' symbols.
        std::vector<PlacedText> texts;
        std::vector<PlacedFormula> formulas;
        bool bullet = false;
        // The paragraph as read: body text as it is, a subscript as "_{...}", a formula as its
        // linear text in square brackets.
        QString readingText;
    };

    DocumentLayout();
    explicit DocumentLayout(const std::vector<Paragraph> &paragraphs);

    const std::vector<Block> &blocks() const { return m_blocks; }
    // The whole document as read, one paragraph a line.
    QString readingText() const;

    // The page: 201.22 mm by 138.37 mm.
    static QSizeF pageSize();
    qreal columnWidth() const { return m_columnWidth; }

    static QFont bodyFont(int points = kBodyPoints);

private:
    void layOut(const Paragraph &paragraph, qreal &y);

    std::vector<Block> m_blocks;
    qreal m_columnWidth = 0;
};

} // namespace quorvel::intro
