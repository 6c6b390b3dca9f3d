// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DocumentAccessible.h"

#include "shell/AccessibleParts.h"

#include <QWidget>

namespace quorvel::intro {

namespace {

// "n-1" (or with a true minus) as words.
QString spokenSubscript(const QString &text)
{
    QString s = text;
    s.replace(QChar(0x2212), QLatin1Char('-'));
    return s.replace(QLatin1Char('-'), QStringLiteral(" meno "));
}

// Greek letters, the functions written before them and the equals sign as words.
QString spokenText(const QString &text)
{
    QString s = text;
    s.replace(QStringLiteral("sin\u03b1"), QStringLiteral("seno di alfa"));
    s.replace(QStringLiteral("cos\u03b1"), QStringLiteral("coseno di alfa"));
    s.replace(QLatin1Char('='), QStringLiteral(" uguale "));
    s.replace(QChar(0x03b5), QStringLiteral("epsilon"));
    s.replace(QChar(0x03b2), QStringLiteral("beta"));
    s.replace(QChar(0x03b1), QStringLiteral("alfa"));
    return s;
}

QString equation(const QString &coordinate, const QString &function)
{
    return QStringLiteral("%1 uguale epsilon per IN%1 per %2 di beta per seno di t alfa, più %1 di "
                          "n meno 1")
        .arg(coordinate, function);
}

bool endsWithPunctuation(const QString &line)
{
    return !line.isEmpty() && line.back().isPunct();
}

} // namespace

QStringList spokenFormula(FormulaId id)
{
    if (id == FormulaId::System)
        return {equation(QStringLiteral("X"), QStringLiteral("coseno")),
                equation(QStringLiteral("Y"), QStringLiteral("seno"))};
    return {QStringLiteral("beta per seno di t alfa")};
}

QString spokenDocument(const std::vector<Paragraph> &paragraphs)
{
    QStringList lines;
    for (const Paragraph &paragraph : paragraphs) {
        QString line = paragraph.bullet ? QStringLiteral("\u2022 ") : QString();
        bool afterFormula = false;
        for (const Inline &item : paragraph.content) {
            switch (item.kind) {
            case Inline::Kind::Text: {
                QString text = spokenText(item.text);
                if (afterFormula && !text.trimmed().isEmpty() && !text.trimmed().front().isPunct())
                    line += QLatin1Char(',');
                line += text;
                afterFormula = false;
                break;
            }
            case Inline::Kind::Subscript:
                line += QStringLiteral(" di ") + spokenSubscript(item.text);
                break;
            case Inline::Kind::Formula: {
                // Where text leads into the formula, a colon; the equations of a system each on a
                // line of their own.
                while (line.endsWith(QLatin1Char(' ')))
                    line.chop(1);
                if (line == QStringLiteral("\u2022"))
                    line += QLatin1Char(' ');
                else if (!line.isEmpty() && !endsWithPunctuation(line))
                    line += QStringLiteral(": ");
                line += spokenFormula(item.formula).join(QStringLiteral(";\n"));
                afterFormula = true;
                break;
            }
            }
        }
        lines << line.trimmed();
    }
    return lines.join(QLatin1Char('\n'));
}

void exposeIntroductionWindow(QWidget *window, QWidget *document)
{
    exposeWindow(window, QStringLiteral("QUORVEL: introduzione"),
                 QStringLiteral("Spiegazione della curva che il programma disegna; AVANTI "
                                "porta alla calibrazione dello schermo."));
    if (document)
        exposeAsDocument(document, spokenDocument(ExplanatoryDocument::paragraphs()),
                         QStringLiteral("La teoria della curva, con due formule"));
}

} // namespace quorvel::intro
