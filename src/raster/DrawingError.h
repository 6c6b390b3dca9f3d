// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace quorvel::raster {

// Codes of the run-time errors a drawing operation raises.
inline constexpr int kInvalidProcedureCall = 5; // an argument out of its range (QBColor 16)
inline constexpr int kInvalidPropertyValue = 380; // a property set to a value it cannot take

// Exit status of a process ended by a drawing's run-time error when nobody reports it.
inline constexpr int kDrawingErrorExitStatus = 3;

// Reports a run-time error and ends the process; it must not return.
using DrawingErrorHandler = void (*)(int code, const QString &description);

// A drawing operation was given something it cannot take (a palette index beyond 15, a pen
// width of 0...): the handler in place reports it and ends the process. With none, the message
// goes to stderr and the process ends with kDrawingErrorExitStatus. Never returns.
[[noreturn]] void drawingError(int code, const QString &description);

// Puts `handler` in place (nullptr: none) and returns the previous one. A window that shows a
// drawing puts in the program's run-time error, which shows the message in a box first.
DrawingErrorHandler setDrawingErrorHandler(DrawingErrorHandler handler);

} // namespace quorvel::raster
