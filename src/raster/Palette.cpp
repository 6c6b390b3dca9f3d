// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Palette.h"

#include "DrawingError.h"

namespace quorvel::raster {

void invalidPaletteIndex(int index)
{
    drawingError(
        kInvalidProcedureCall,
        QStringLiteral("Chiamata di routine o argomento non validi (QBColor %1)").arg(index));
}

} // namespace quorvel::raster
