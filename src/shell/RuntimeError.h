// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "Seams.h"

#include <QString>

#include <functional>

namespace quorvel {

// Codes of the run-time errors the program can raise.
inline constexpr int kInvalidProcedureCall = 5; // an argument out of its range (QBColor 16)
inline constexpr int kInvalidPropertyValue = 380; // a property set to a value it cannot take

// Exit status of a process ended by a run-time error.
inline constexpr int kRuntimeErrorExitStatus = 3;

// An operation failed in a way the program does not handle (an invalid argument to a drawing
// operation, say): the run-time error message is shown in a box, then the process ends with a
// non-zero status. Never returns, never hangs: a second error while the first is being reported
// ends the process at once, and without a running application the message goes to stderr only.
[[noreturn]] void runtimeError(int code, const QString &description);

// Ends the program at once with status 0: every window closes and no further handler runs.
void endProgram();

} // namespace quorvel
