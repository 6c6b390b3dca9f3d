#include "Palette.h"

#include "shell/RuntimeError.h"

#include <array>

namespace quorvel {

namespace {
// RGB triplets of the sixteen palette colours, index order.
constexpr std::array<ColourValue, kPaletteSize> kPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};
} // namespace

ColourValue QBColor(int index)
{
    if (index < 0 || index >= kPaletteSize)
        runtimeError(5, QStringLiteral("Chiamata di routine o argomento non validi (QBColor %1)")
                            .arg(index));
    return kPalette[static_cast<std::size_t>(index)];
}

} // namespace quorvel
