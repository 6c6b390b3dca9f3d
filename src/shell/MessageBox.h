// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "Seams.h"

#include <QFont>
#include <QString>

#include <functional>

namespace quorvel {

// The title of every message box the program shows.
inline constexpr char16_t kApplicationTitle[] = u"QUORVEL";

// Shows `text` in a box titled "QUORVEL" with one OK button and no icon, modal to the whole
// program, and returns when the user has closed it. `concerning`, when not empty, names the
// field the message is about, for a screen reader (the box's text stays `text`).
void showMessage(const QString &text, const QString &concerning = {});

// The least width in pixels of a message box shown in `font`: room for the title "QUORVEL" in
// a window manager's title bar beside its buttons.
int messageBoxMinimumWidth(const QFont &font);

} // namespace quorvel
