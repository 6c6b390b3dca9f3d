#pragma once

#include "DrawingSurface.h"

#include "shell/Scoped.h"

namespace quorvel {

// Watches a surface with an observer while alive, then puts back the one before.
using ScopedSurfaceObserver
    = ScopedObserver<DrawingSurface, SurfaceObserver, &DrawingSurface::observer,
                     &DrawingSurface::setObserver>;

} // namespace quorvel
