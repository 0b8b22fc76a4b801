#pragma once
// Colours and font styles as the settings files store them.
//
// A colour value is 32 bits: 0x00BBGGRR for a plain colour (blue in the high byte, as the
// files were first written on Windows), 0x80000000 + index for a system colour, and
// clNone for "no colour".
#include <cstdint>
#include <optional>
#include <string>

using TColor = uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clSystemColor = 0x80000000;

// "clSilver" for a named colour, otherwise "$" and eight upper-case hexadecimal digits.
std::string ColorToText(TColor color);
// Accepts a colour name (any letter case) or "$" with one to eight hexadecimal digits;
// false for anything else, leaving *color untouched.
bool TextToColor(const std::string &text, TColor *color);

// The colour as 0xRRGGBB for drawing; system colours resolve to a fixed classic scheme.
// No value for clNone or an unknown system colour.
std::optional<uint32_t> ColorToRGB(TColor color);
// 0xRRGGBB back to a colour value.
TColor RGBToColor(uint32_t rgb);

// Font styles as a set of flags.
using TFontStyles = unsigned;
constexpr TFontStyles fsBold = 1;
constexpr TFontStyles fsItalic = 2;
constexpr TFontStyles fsUnderline = 4;
constexpr TFontStyles fsStrikeOut = 8;

// Markers in the fixed order "i," "b," "s," and "u"; no style gives "".
std::string FontStyleToText(TFontStyles style);
// Only the fifteen texts FontStyleToText produces carry a style; any other text is none.
TFontStyles TextToFontStyle(const std::string &text);
