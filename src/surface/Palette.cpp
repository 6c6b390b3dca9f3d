// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Palette.h"

#include "shell/RuntimeError.h"

namespace quorvel {

void invalidPaletteIndex(int index)
{
    runtimeError(
        kInvalidProcedureCall,
        QStringLiteral("Chiamata di routine o argomento non validi (QBColor %1)").arg(index));
}

} // namespace quorvel
