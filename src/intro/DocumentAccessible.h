// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ExplanatoryDocument.h"

#include <QString>
#include <QStringList>

#include <vector>

class QWidget;

namespace quorvel::intro {

// A formula as Italian words a listener understands, one string per equation.
QStringList spokenFormula(FormulaId id);

// The document as a screen reader reads it: one line per paragraph (the system of equations
// one line per equation), a bullet mark before each bulleted paragraph, subscripts and
// formulas in words.
QString spokenDocument(const std::vector<Paragraph> &paragraphs);

// The introduction window for a screen reader: its name, and its document area `document` as a
// document read through the Text interface.
void exposeIntroductionWindow(QWidget *window, QWidget *document);

} // namespace quorvel::intro
