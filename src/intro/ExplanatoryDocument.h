// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <vector>

namespace quorvel::intro {

// The two typeset formulas of the document.
enum class FormulaId {
    System, // the pair of equations for the next point, joined by a brace
    Angle, // the direction angle alone: (β sin tα)
};

// One piece of a paragraph, in reading order.
struct Inline
{
    enum class Kind {
        Text, // body text
        Subscript, // body text set smaller and lowered
        Formula, // a typeset formula, in line with the text
    };
    Kind kind = Kind::Text;
    QString text; // Text and Subscript only
    FormulaId formula = FormulaId::System; // Formula only
};

// A paragraph of the page. `indent` is the extra indent of its text from the text column, in
// inches; a bulleted paragraph hangs its bullet a quarter inch in from the column, with a little
// extra space above.
struct Paragraph
{
    double indent = 0;
    bool bullet = false;
    std::vector<Inline> content;
};

// The explanatory document shown by the introduction window: the theory of the curve the
// program draws. The text is Italian and fixed.
class ExplanatoryDocument
{
public:
    static const std::vector<Paragraph> &paragraphs();
};

} // namespace quorvel::intro
