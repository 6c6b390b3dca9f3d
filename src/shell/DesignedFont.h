// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>
#include <QString>

namespace quorvel {

// A font of a family the windows were designed with ("MS Sans Serif", "Courier New", "Times New
// Roman"), made by the name of its installed stand-in (the substitution set up at start). A
// family that is not installed would first be looked for among every font on the machine,
// which costs milliseconds per font.
inline QFont designedFont(const QString &family)
{
    return QFont(QFont::substitute(family));
}

} // namespace quorvel
