// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "DrawingSurface.h"

#include "shell/Scoped.h"

namespace quorvel {

// Watches a surface's drawing with an observer while alive, then puts back the one before.
using ScopedSurfaceObserver
    = ScopedObserver<DrawingSurface, raster::DrawingObserver, &DrawingSurface::observer,
                     &DrawingSurface::setObserver>;

} // namespace quorvel
