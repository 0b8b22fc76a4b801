#pragma once
// "Colors.dat": the colour dialog's sixteen custom colours, "ColorA=rrggbb"-style lines
// (six lower-case hexadecimal digits of the colour value) for the letters A to P.
#include "storage/DisplayValues.h"

#include <array>
#include <string>

inline constexpr const char *kCustomColorsFile = "Colors.dat";
using TCustomColors = std::array<TColor, 16>;

// False when the file is missing or cannot be read; then *colors is untouched. Lines
// that are missing or damaged leave their colour as it was.
bool ReadCustomColors(const std::string &dataDir, TCustomColors *colors);
void WriteCustomColors(const std::string &dataDir, const TCustomColors &colors);
