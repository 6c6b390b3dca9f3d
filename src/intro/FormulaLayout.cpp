// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FormulaLayout.h"

#include <QFontMetricsF>
#include <QStringList>

#include <algorithm>

namespace quorvel::intro {

namespace {

// Sizes in points; lengths in twips, as ems of the main size where mathematical setting
// measures them so.
constexpr int kMainPoints = 12;
constexpr int kSubscriptPoints = 7;
constexpr qreal kEm = kMainPoints * kTwipsPerPoint;
constexpr qreal kThinSpace = kEm * 3 / 18; // between the factors of a product
constexpr qreal kMediumSpace = kEm * 4 / 18; // around "+"
constexpr qreal kThickSpace = kEm * 5 / 18; // around "="
constexpr qreal kSubscriptDrop = kEm / 4; // subscript baseline below the main baseline
constexpr qreal kRowLeading = kEm * 0.15; // clear space between the two equations
constexpr qreal kBraceWidth = kEm * 0.45;
constexpr qreal kBraceStem = kEm * 0.1;
constexpr qreal kBraceGap = kEm * 0.12; // between the brace and the equations

const QString kSerif = QStringLiteral("Times New Roman");

// Sets one row of a formula from left to right along its baseline.
class RowBuilder
{
public:
    RowBuilder(std::vector<PlacedText> &out, int row, qreal baseline, qreal x)
        : m_out(out)
        , m_row(row)
        , m_baseline(baseline)
        , m_x(x)
    {
    }

    void italic(const QString &s) { put(s, true, false); }
    void upright(const QString &s) { put(s, false, false); }
    void thin() { space(kThinSpace); }
    void relation(const QString &s)
    {
        space(kThickSpace);
        upright(s);
        space(kThickSpace);
    }
    void binary(const QString &s)
    {
        space(kMediumSpace);
        upright(s);
        space(kMediumSpace);
    }
    // The subscript n−1 of a previous point's coordinate, with a true minus sign.
    void previousSubscript()
    {
        // Clear of the overhang of the italic letter it follows.
        if (m_hasLast)
            m_x = std::max(m_x, m_lastInk.right());
        m_linear += QStringLiteral("_{");
        put(QStringLiteral("n"), true, true);
        put(QStringLiteral("\u2212"), false, true);
        put(QStringLiteral("1"), false, true);
        m_linear += QLatin1Char('}');
    }

    qreal right() const { return m_x; }
    QString linear() const { return m_linear; }

private:
    void space(qreal twips)
    {
        m_x += twips;
        m_linear += QLatin1Char(' ');
    }

    void put(const QString &s, bool italicShape, bool subscript)
    {
        const QFont font
            = PlacedText::pageFont(kSerif, subscript ? kSubscriptPoints : kMainPoints, italicShape);
        const qreal baseline = m_baseline + (subscript ? kSubscriptDrop : 0);
        PlacedText piece = PlacedText::measured(
            s, font, subscript ? PlacedText::Role::FormulaSubscript : PlacedText::Role::Symbol,
            {m_x, baseline}, m_row);
        // Where the slant changes, an italic overhang or lean would touch the upright neighbour:
        // move the new piece clear of the ink of the last one.
        if (m_hasLast && m_lastItalic != italicShape) {
            const qreal overhang = std::max<qreal>(0, m_lastInk.right() - m_lastAdvanceEnd);
            const qreal lean = std::max<qreal>(0, piece.box.left() - piece.ink.left());
            piece.translate({overhang + lean, 0});
        }
        m_hasLast = true;
        m_lastItalic = italicShape;
        m_lastInk = piece.ink;
        m_lastAdvanceEnd = piece.box.right();
        m_x = piece.box.right();
        m_linear += s;
        m_out.push_back(piece);
    }

    std::vector<PlacedText> &m_out;
    int m_row;
    qreal m_baseline;
    qreal m_x;
    QString m_linear;
    bool m_hasLast = false;
    bool m_lastItalic = false;
    QRectF m_lastInk;
    qreal m_lastAdvanceEnd = 0;
};

// Sets the right-hand side shared by both equations of the system after the coordinate's name:
// " = ε IN<c> <f>(β sin tα) + <c>_{n−1}".
// The direction angle (β sin tα), parentheses included.
void setAngle(RowBuilder &row)
{
    row.upright(QStringLiteral("("));
    row.italic(QStringLiteral("β"));
    row.thin();
    row.upright(QStringLiteral("sin"));
    row.thin();
    row.italic(QStringLiteral("tα"));
    row.upright(QStringLiteral(")"));
}

void setEquation(RowBuilder &row, const QString &coordinate, const QString &function)
{
    row.italic(coordinate);
    row.relation(QStringLiteral("="));
    row.italic(QStringLiteral("ε"));
    row.thin();
    row.italic(QStringLiteral("IN") + coordinate);
    row.thin();
    row.upright(function);
    setAngle(row);
    row.binary(QStringLiteral("+"));
    row.italic(coordinate);
    row.previousSubscript();
}

} // namespace

FormulaLayout::FormulaLayout(FormulaId id)
    : m_id(id)
{
    if (id == FormulaId::System)
        typesetSystem();
    else
        typesetAngle();
}

void FormulaLayout::typesetSystem()
{
    const QFontMetricsF main(PlacedText::pageFont(kSerif, kMainPoints));
    const QFontMetricsF sub(PlacedText::pageFont(kSerif, kSubscriptPoints));
    const qreal rowAscent = main.ascent();
    const qreal rowDescent = std::max(main.descent(), kSubscriptDrop + sub.descent());
    const qreal rowPitch = rowAscent + rowDescent + kRowLeading;

    // The brace's middle sits on the mathematical axis, the height of the minus sign, so the
    // system is centred on the text line it stands in.
    const qreal axis = main.strikeOutPos();
    const qreal height = rowAscent + rowPitch + rowDescent;
    const qreal top = -axis - height / 2;
    m_rowBaselines = {top + rowAscent, top + rowAscent + rowPitch};

    const qreal left = kBraceWidth + kBraceGap;
    RowBuilder first(m_pieces, 0, m_rowBaselines[0], left);
    setEquation(first, QStringLiteral("X"), QStringLiteral("cos"));
    RowBuilder second(m_pieces, 1, m_rowBaselines[1], left);
    setEquation(second, QStringLiteral("Y"), QStringLiteral("sin"));
    m_linearRows = {first.linear(), second.linear()};

    m_braceBox = QRectF(0, top, kBraceWidth, height);
    m_brace = braceOutline(m_braceBox, kBraceStem);
    m_width = std::max(first.right(), second.right());
    m_ascent = -top;
    m_descent = top + height;
}

void FormulaLayout::typesetAngle()
{
    const QFontMetricsF main(PlacedText::pageFont(kSerif, kMainPoints));
    m_rowBaselines = {0};
    RowBuilder row(m_pieces, 0, 0, 0);
    setAngle(row);
    m_linearRows = {row.linear()};
    m_width = row.right();
    m_ascent = main.ascent();
    m_descent = main.descent();
}

QString FormulaLayout::linearText() const
{
    return m_linearRows.join(QStringLiteral("; "));
}

QPainterPath FormulaLayout::braceOutline(const QRectF &box, qreal stem)
{
    // Local coordinates: x from the point (0) to the tips (w), y from the top (0) to the bottom
    // (h). The outer edge runs down the left of the stroke, the inner edge back up its right.
    const qreal w = box.width();
    const qreal h = box.height();
    const qreal mid = h / 2;
    const qreal outer = w / 2 - stem / 2; // left edge of the stems
    const qreal inner = w / 2 + stem / 2; // right edge of the stems
    const qreal tip = stem / 3; // thickness of the tips
    const qreal point = stem; // how far the inner edge stops short of the point
    const qreal curl = std::min(w, h / 5); // height of each bend
    constexpr qreal k = 0.55; // control arm of a quarter ellipse

    QPainterPath path;
    path.moveTo(w, 0);
    path.cubicTo(outer + (w - outer) * (1 - k), 0, outer, curl * k, outer, curl);
    path.lineTo(outer, mid - curl);
    path.cubicTo(outer, mid - curl * (1 - k), outer * (1 - k), mid, 0, mid);
    path.cubicTo(outer * (1 - k), mid, outer, mid + curl * (1 - k), outer, mid + curl);
    path.lineTo(outer, h - curl);
    path.cubicTo(outer, h - curl * k, outer + (w - outer) * (1 - k), h, w, h);
    path.lineTo(w, h - tip);
    path.cubicTo(inner + (w - inner) * (1 - k), h - tip, inner, h - tip - (curl - tip) * k, inner,
                 h - curl);
    path.lineTo(inner, mid + curl);
    path.cubicTo(inner, mid + curl * (1 - k), point + (inner - point) * (1 - k), mid, point, mid);
    path.cubicTo(point + (inner - point) * (1 - k), mid, inner, mid - curl * (1 - k), inner,
                 mid - curl);
    path.lineTo(inner, curl);
    path.cubicTo(inner, tip + (curl - tip) * k, inner + (w - inner) * (1 - k), tip, w, tip);
    path.closeSubpath();
    return path.translated(box.topLeft());
}

} // namespace quorvel::intro
