// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ExplanatoryDocument.h"
#include "PlacedText.h"

#include <QPainterPath>
#include <QRectF>
#include <QStringList>

#include <vector>

namespace quorvel::intro {

// A formula typeset the usual mathematical way: italic serif variables and Greek letters,
// upright function names, digits and operators, smaller lowered subscripts, and for the system of
// equations a tall left brace drawn as an outline. Coordinates are twips, y downwards, with the
// origin at the left end of the formula's baseline, where it meets the text it stands in.
class FormulaLayout
{
public:
    explicit FormulaLayout(FormulaId id);

    FormulaId id() const { return m_id; }
    qreal width() const { return m_width; }
    qreal ascent() const { return m_ascent; } // above the baseline, positive
    qreal descent() const { return m_descent; } // below the baseline, positive
    QRectF box() const { return {0, -m_ascent, m_width, m_ascent + m_descent}; }

    const std::vector<PlacedText> &pieces() const { return m_pieces; }
    // The baselines of the equations, top first: two for the system, one for the angle.
    const std::vector<qreal> &rowBaselines() const { return m_rowBaselines; }
    // The brace's filled outline, and the box it was drawn in; empty for the angle.
    const QPainterPath &brace() const { return m_brace; }
    QRectF braceBox() const { return m_braceBox; }

    // The formula as one line of text: a blank for each space set, subscripts as "_{...}", rows
    // joined by "; ".
    QString linearText() const;

    // The outline of a left curly brace filling `box`: thin tips at the right-hand corners, a
    // stem of `stem` thickness, and its point at the middle of the left edge.
    static QPainterPath braceOutline(const QRectF &box, qreal stem);

private:
    void typesetSystem();
    void typesetAngle();

    FormulaId m_id;
    std::vector<PlacedText> m_pieces;
    std::vector<qreal> m_rowBaselines;
    QStringList m_linearRows;
    QPainterPath m_brace;
    QRectF m_braceBox;
    qreal m_width = 0;
    qreal m_ascent = 0;
    qreal m_descent = 0;
};

} // namespace quorvel::intro
