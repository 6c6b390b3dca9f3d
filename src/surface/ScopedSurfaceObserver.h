#pragma once

#include "DrawingSurface.h"

#include <QPointer>

namespace quorvel {

// Watches a surface with `observer` for as long as it lives, then puts back the observer that was
// there before, however the scope is left. A surface deleted in the meantime (its window closed)
// is left alone.
class ScopedSurfaceObserver
{
public:
    ScopedSurfaceObserver(DrawingSurface &surface, SurfaceObserver *observer)
        : m_surface(&surface)
        , m_previous(surface.observer())
    {
        surface.setObserver(observer);
    }
    ~ScopedSurfaceObserver()
    {
        if (m_surface)
            m_surface->setObserver(m_previous);
    }
    ScopedSurfaceObserver(const ScopedSurfaceObserver &) = delete;
    ScopedSurfaceObserver &operator=(const ScopedSurfaceObserver &) = delete;

private:
    QPointer<DrawingSurface> m_surface;
    SurfaceObserver *m_previous;
};

} // namespace quorvel
