// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrawingError.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace quorvel::raster {

namespace {
std::atomic<DrawingErrorHandler> handlerInPlace {nullptr};
} // namespace

void drawingError(int code, const QString &description)
{
    if (const DrawingErrorHandler handler = handlerInPlace.load())
        handler(code, description);
    std::fprintf(stderr, "Errore di run-time '%d':\n\n%s\n", code, qPrintable(description));
    std::fflush(nullptr);
    std::_Exit(kDrawingErrorExitStatus);
}

DrawingErrorHandler setDrawingErrorHandler(DrawingErrorHandler handler)
{
    return handlerInPlace.exchange(handler);
}

} // namespace quorvel::raster
