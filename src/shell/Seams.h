// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "Scoped.h"

#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;
class QWidget;

namespace quorvel {

// Every place where the program waits for the user or ends the process, as a function that
// tests may put in place of the real box, dialog or exit. Each setter returns the function that
// was there before; an empty function brings the real one back. The scoped forms put one in
// place while alive and bring back the one before, however the scope is left.

// Message boxes (showMessage): receives the text instead of the box, which then returns at once.
using MessageSink = std::function<void(const QString &text)>;
MessageSink setMessageSink(MessageSink sink);
using ScopedMessageSink = ScopedSetting<MessageSink, &setMessageSink>;

// The end of the program (endProgram): called instead of ending the process.
using EndProgramHook = std::function<void()>;
EndProgramHook setEndProgramHook(EndProgramHook hook);
using ScopedEndProgramHook = ScopedSetting<EndProgramHook, &setEndProgramHook>;

// What a save dialog is asked for.
struct SaveRequest
{
    QString title;
    QString folder;
    QStringList filters;
    QString defaultSuffix;
    QString suggestedName; // the file name offered, without folder
    // A check box the dialog offers beside the name (its text; none when empty), and the state
    // it starts in.
    QString choice {};
    bool choiceChecked = false;
};

// The save dialog (askSavePath): returns the chosen path, empty when cancelled.
using PathAsker = std::function<QString(QWidget *parent, const SaveRequest &request)>;
PathAsker setPathAsker(PathAsker asker);
using ScopedPathAsker = ScopedSetting<PathAsker, &setPathAsker>;

// The print dialog (askToPrint) for `printer`: whether to print.
using PrintAsker = std::function<bool(QWidget *parent, QPrinter &printer)>;
PrintAsker setPrintAsker(PrintAsker asker);
using ScopedPrintAsker = ScopedSetting<PrintAsker, &setPrintAsker>;

// A question answered with "Sì" (true) or "No" (askYesNo).
using QuestionAsker = std::function<bool(QWidget *parent, const QString &question)>;
QuestionAsker setQuestionAsker(QuestionAsker asker);
using ScopedQuestionAsker = ScopedSetting<QuestionAsker, &setQuestionAsker>;

} // namespace quorvel
