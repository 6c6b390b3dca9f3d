// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "Seams.h"

#include <QString>

class QPrinter;
class QWidget;

namespace quorvel {

// The program's dialogs, each modal, each giving the focus back to `parent`'s window when it
// closes, and each replaced by its seam (Seams.h) when one is set.

// Qt's own save dialog (not the desktop's, so that it behaves the same everywhere), in Italian
// through Qt's translations; it asks before overwriting. The chosen path, empty when cancelled.
// `chosen`, when not null, receives the state of the request's check box once the dialog is
// accepted.
QString askSavePath(QWidget *parent, const SaveRequest &request, bool *chosen = nullptr);

// Qt's print dialog for `printer`; "Stampa su file" offers `suggestedFile`. Whether to print.
// With a `choice` text, a tab named `choiceTab` offers it as a check box that starts as
// *chosen and leaves its state there once the dialog is accepted.
bool askToPrint(QWidget *parent, QPrinter &printer, const QString &suggestedFile,
                const QString &choiceTab = {}, const QString &choice = {}, bool *chosen = nullptr);

// A box titled "QUORVEL" with `question` and the buttons "Sì" (the default) and "No" (Esc).
bool askYesNo(QWidget *parent, const QString &question);

} // namespace quorvel
