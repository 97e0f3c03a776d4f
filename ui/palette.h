// The 16-colour classic palette by which the logic names label colours.
#pragma once

#include <array>
#include <cstdint>

namespace r462xe {

inline constexpr int kPaletteBlack = 0;      // a meter answers on the chosen port
inline constexpr int kPaletteLightBlue = 9;  // the chosen port is open
inline constexpr int kPaletteLightRed = 12;  // the chosen port is not (yet) open

// 0xRRGGBB of each palette entry.
inline constexpr std::array<std::uint32_t, 16> kPaletteRgb = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
    0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

}  // namespace r462xe
