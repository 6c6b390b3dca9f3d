// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DocumentLayout.h"

#include <QFontMetricsF>
#include <QStringList>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <limits>

namespace quorvel::intro {

namespace {

constexpr qreal kMillimetresPerInch = 25.4;
constexpr qreal kPageWidthMm = 201.22;
constexpr qreal kPageHeightMm = 138.37;

QString withoutTrailingBlanks(QString s)
{
    while (!s.isEmpty() && s.back().isSpace())
        s.chop(1);
    return s;
}

// A line being filled. Its pieces sit on a baseline at y = 0 until the line is closed at its
// place on the page; the body font's ascent and descent are its least height.
class PendingLine
{
public:
    explicit PendingLine(const QFontMetricsF &strut)
        : m_strutAscent(strut.ascent())
        , m_strutDescent(strut.descent())
    {
        reset();
    }

    void add(const PlacedText &piece)
    {
        m_ascent = std::max(m_ascent, -piece.box.top());
        m_descent = std::max(m_descent, piece.box.bottom());
        m_left = std::min(m_left, piece.box.left());
        // Blanks at the end of a piece take room but leave no mark.
        const qreal marked
            = QFontMetricsF(piece.font).horizontalAdvance(withoutTrailingBlanks(piece.text));
        m_right = std::max(m_right, piece.box.left() + marked);
        m_texts.push_back(piece);
    }

    void add(const FormulaLayout &formula, qreal x)
    {
        m_ascent = std::max(m_ascent, formula.ascent());
        m_descent = std::max(m_descent, formula.descent());
        m_left = std::min(m_left, x);
        m_right = std::max(m_right, x + formula.width());
        for (PlacedText piece : formula.pieces()) {
            piece.translate({x, 0});
            m_texts.push_back(piece);
        }
        m_formulas.push_back({formula, {x, 0}});
    }

    // Puts the line on the page with its top at `top`; returns the top of the next line.
    qreal close(qreal top, DocumentLayout::Block &block)
    {
        const qreal baseline = top + m_ascent;
        for (PlacedText &piece : m_texts) {
            piece.translate({0, baseline});
            block.texts.push_back(piece);
        }
        for (DocumentLayout::PlacedFormula &formula : m_formulas) {
            formula.origin.ry() += baseline;
            block.formulas.push_back(formula);
        }
        block.lines.push_back(
            {QRectF(m_left, top, m_right - m_left, m_ascent + m_descent), baseline});
        const qreal next = top + m_ascent + m_descent;
        reset();
        return next;
    }

private:
    void reset()
    {
        m_texts.clear();
        m_formulas.clear();
        m_ascent = m_strutAscent;
        m_descent = m_strutDescent;
        m_left = std::numeric_limits<qreal>::max();
        m_right = std::numeric_limits<qreal>::lowest();
    }

    qreal m_strutAscent;
    qreal m_strutDescent;
    std::vector<PlacedText> m_texts;
    std::vector<DocumentLayout::PlacedFormula> m_formulas;
    qreal m_ascent = 0;
    qreal m_descent = 0;
    qreal m_left = 0;
    qreal m_right = 0;
};

} // namespace

DocumentLayout::DocumentLayout()
    : DocumentLayout(ExplanatoryDocument::paragraphs())
{
}

DocumentLayout::DocumentLayout(const std::vector<Paragraph> &paragraphs)
{
    // The column holds exactly 72 characters of the monospaced body font (7.2 inches).
    m_columnWidth
        = QFontMetricsF(bodyFont()).horizontalAdvance(QString(kColumnCharacters, QLatin1Char('M')));
    qreal y = kTopMargin;
    for (const Paragraph &paragraph : paragraphs)
        layOut(paragraph, y);
}

QFont DocumentLayout::bodyFont(int points)
{
    return PlacedText::pageFont(QStringLiteral("Courier New"), points);
}

QSizeF DocumentLayout::pageSize()
{
    return {kPageWidthMm / kMillimetresPerInch * kTwipsPerInch,
            kPageHeightMm / kMillimetresPerInch * kTwipsPerInch};
}

QString DocumentLayout::readingText() const
{
    QStringList paragraphs;
    for (const Block &block : m_blocks)
        paragraphs.append(block.readingText);
    return paragraphs.join(QLatin1Char('\n'));
}

void DocumentLayout::layOut(const Paragraph &paragraph, qreal &y)
{
    const QFont body = bodyFont();
    const qreal textLeft = kColumnLeft + paragraph.indent * kTwipsPerInch;
    const qreal columnRight = kColumnLeft + m_columnWidth;
    Block block;
    block.bullet = paragraph.bullet;
    if (paragraph.bullet && !m_blocks.empty())
        y += kBulletSpaceAbove;

    PendingLine line {QFontMetricsF(body)};
    if (paragraph.bullet)
        line.add(PlacedText::measured(QStringLiteral("\u2022"), body, PlacedText::Role::Bullet,
                                      {kColumnLeft + kBulletIndent, 0}));
    qreal x = textLeft;
    for (const Inline &item : paragraph.content) {
        switch (item.kind) {
        case Inline::Kind::Text: {
            block.readingText += item.text;
            // Word wrap from where the line has got to; later lines hang at the text's indent.
            QTextLayout wrapper(item.text, body);
            QTextOption option;
            option.setWrapMode(QTextOption::WordWrap);
            wrapper.setTextOption(option);
            wrapper.beginLayout();
            bool first = true;
            for (QTextLine wrapped = wrapper.createLine(); wrapped.isValid();
                 wrapped = wrapper.createLine()) {
                if (!first) {
                    y = line.close(y, block);
                    x = textLeft;
                }
                first = false;
                wrapped.setLineWidth(columnRight - x);
                const PlacedText piece
                    = PlacedText::measured(item.text.mid(wrapped.textStart(), wrapped.textLength()),
                                           body, PlacedText::Role::Body, {x, 0});
                x = piece.box.right();
                line.add(piece);
            }
            wrapper.endLayout();
            break;
        }
        case Inline::Kind::Subscript: {
            block.readingText += QStringLiteral("_{") + item.text + QLatin1Char('}');
            const PlacedText piece
                = PlacedText::measured(item.text, bodyFont(kSubscriptPoints),
                                       PlacedText::Role::Subscript, {x, kSubscriptDrop});
            x = piece.box.right();
            line.add(piece);
            break;
        }
        case Inline::Kind::Formula: {
            const FormulaLayout formula(item.formula);
            block.readingText += QLatin1Char('[') + formula.linearText() + QLatin1Char(']');
            line.add(formula, x);
            x += formula.width();
            break;
        }
        }
    }
    y = line.close(y, block);
    m_blocks.push_back(std::move(block));
}

} // namespace quorvel::intro
