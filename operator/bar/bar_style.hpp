// The bar style record: how the bars between the parts are filled. Stored byte
// for byte in the settings file, so its layout is fixed (172 bytes,
// little-endian).
#pragma once

#include <cstddef>
#include <cstdint>

#include "vxhost/txlib.h"

namespace tileron {

// Fill modes of BarStyle::mode.
inline constexpr uint16_t kBarColour = 0;
inline constexpr uint16_t kBarTexture = 1;
inline constexpr uint16_t kBarGradient = 2;

inline constexpr int kPaletteSize = 6;

struct BarStyle {
  uint16_t mode;               //   0: kBarColour, kBarTexture or kBarGradient
  int16_t angle;               //   2: gradient angle in degrees, 0..360
  uint32_t colourA;            //   4: gradient colour at ramp value 0 (YUVA word)
  uint32_t colourB;            //   8: gradient colour at ramp value 255
  uint8_t reserved0[2];        //  12: 0
  uint16_t tile;               //  14: texture: 0 scaled to the bar, else tiled
  int16_t paletteIndex;        //  16: selected palette colour, 0..5
  uint8_t reserved1[2];        //  18: 0
  uint32_t textureChosen;      //  20: 1 once texture settings were taken, else 0
  uint32_t reserved2;          //  24: 0
  TxSettings texture;          //  28: the texture library's record (112 bytes)
  uint32_t palette[kPaletteSize]; // 140: the six palette colours
  uint8_t reserved3[8];        // 164: 0
};

static_assert(sizeof(BarStyle) == 172);
static_assert(offsetof(BarStyle, mode) == 0);
static_assert(offsetof(BarStyle, angle) == 2);
static_assert(offsetof(BarStyle, colourA) == 4);
static_assert(offsetof(BarStyle, colourB) == 8);
static_assert(offsetof(BarStyle, reserved0) == 12);
static_assert(offsetof(BarStyle, tile) == 14);
static_assert(offsetof(BarStyle, paletteIndex) == 16);
static_assert(offsetof(BarStyle, reserved1) == 18);
static_assert(offsetof(BarStyle, textureChosen) == 20);
static_assert(offsetof(BarStyle, reserved2) == 24);
static_assert(offsetof(BarStyle, texture) == 28);
static_assert(offsetof(BarStyle, palette) == 140);
static_assert(offsetof(BarStyle, reserved3) == 164);

// The style a new effect state starts with: colour mode, palette colour 0
// (white), gradient black to white at angle 0, no texture.
BarStyle defaultBarStyle();

// The selected palette colour; an index outside 0..5 reads as 0.
uint32_t selectedColour(const BarStyle &style);

} // namespace tileron
