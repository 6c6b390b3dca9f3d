// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ExplanatoryDocument.h"

namespace quorvel::intro {

namespace {

Inline text(const char16_t *s)
{
    return {Inline::Kind::Text, QString::fromUtf16(s), FormulaId::System};
}

Inline subscript(const char16_t *s)
{
    return {Inline::Kind::Subscript, QString::fromUtf16(s), FormulaId::System};
}

Inline formula(FormulaId id)
{
    return {Inline::Kind::Formula, QString(), id};
}

constexpr double kQuarterInch = 0.25;
constexpr double kHalfInch = 0.5;

} // namespace

const std::vector<Paragraph> &ExplanatoryDocument::paragraphs()
{
    // The apostrophes are typographic (U+2019); the two blanks after "usata" are part of the text.
    static const std::vector<Paragraph> document {
        {kQuarterInch, false, {text(u"PROGRAMMA: MIRALDO")}},
        {0,
         false,
         {text(u"Questo Programma traccia una curva per punti prendendo in considerazione i "
               u"parametri più importanti che servono a modificare la curva in modo "
               u"controllato.")}},
        {0,
         false,
         {text(u"In questo programma anziché far partire le figure dall\u2019origine sono fatte "
               u"partire da uno specifico punto: questo non varia le caratteristiche della curva "
               u"che seguono i dettami della teoria esposta.")}},
        {kHalfInch, false, {text(u"la formula usata  "), formula(FormulaId::System)}},
        {kHalfInch, true, {text(u"ε e il segmento punto")}},
        {kHalfInch,
         true,
         {formula(FormulaId::Angle),
          text(u" l\u2019angolo che determina la direzione e il verso di ε: β è l\u2019angolo "
               u"frazionato da sinα")}},
        {kHalfInch,
         true,
         {text(u"INX o INY incrementano le coordinate e variano la concavità delle curve")}},
        {kHalfInch, true, {text(u"In questo programma sinα può essere sostituito con cosα")}},
        {kHalfInch, true, {text(u"X"), subscript(u"n-1"), text(u" è il punto precedente")}},
        {kQuarterInch, false, {text(u"Per β=0 si ha un segmento-retta")}},
    };
    return document;
}

} // namespace quorvel::intro
