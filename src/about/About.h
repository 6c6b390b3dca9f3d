// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

class QWidget;

namespace quorvel::about {

// The program's version as the build sets it ("1.0.0").
QString version();

// The box's title, "Informazioni su QUORVEL", which is also the text of the menu item that
// opens it.
QString title();

// The box's text, as rich text: the name, the version, one line on what the program does, the
// licence and the copyright.
QString text();

// Shows the box, modal, over `parent`, and returns when the user has closed it. It is not one of
// the program's forms: showing it, or coming back from it, runs no activation handler.
void show(QWidget *parent);

} // namespace quorvel::about
