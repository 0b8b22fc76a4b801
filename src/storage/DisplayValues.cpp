#include "storage/DisplayValues.h"

#include "storage/Strings.h"

#include <cstdio>
#include <iterator>

namespace {

struct TNamedColor {
  const char *name;
  TColor value;
};

// Plain colours first, so that a value shared by two names is written with the first.
const TNamedColor kNamedColors[] = {
    {"clBlack", 0x000000},   {"clMaroon", 0x000080}, {"clGreen", 0x008000},  {"clOlive", 0x008080},
    {"clNavy", 0x800000},    {"clPurple", 0x800080}, {"clTeal", 0x808000},   {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},  {"clRed", 0x0000FF},    {"clLime", 0x00FF00},   {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},    {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},  {"clWhite", 0xFFFFFF},
    {"clNone", clNone},
};

struct TSystemColor {
  const char *name;
  uint32_t rgb;  // the classic grey desktop scheme, as 0xRRGGBB
};

// In the order of their indexes: clScrollBar is system colour 0.
const TSystemColor kSystemColors[] = {
    {"clScrollBar", 0xC0C0C0},     {"clBackground", 0x008080},    {"clActiveCaption", 0x000080},
    {"clInactiveCaption", 0x808080}, {"clMenu", 0xC0C0C0},        {"clWindow", 0xFFFFFF},
    {"clWindowFrame", 0x000000},   {"clMenuText", 0x000000},      {"clWindowText", 0x000000},
    {"clCaptionText", 0xFFFFFF},   {"clActiveBorder", 0xC0C0C0},  {"clInactiveBorder", 0xC0C0C0},
    {"clAppWorkSpace", 0x808080},  {"clHighlight", 0x000080},     {"clHighlightText", 0xFFFFFF},
    {"clBtnFace", 0xC0C0C0},       {"clBtnShadow", 0x808080},     {"clGrayText", 0x808080},
    {"clBtnText", 0x000000},       {"clInactiveCaptionText", 0xC0C0C0}, {"clBtnHighlight", 0xFFFFFF},
    {"cl3DDkShadow", 0x000000},    {"cl3DLight", 0xDFDFDF},       {"clInfoText", 0x000000},
    {"clInfoBk", 0xFFFFE1},
};
constexpr uint32_t kSystemCount = std::size(kSystemColors);

// The fifteen texts, indexed by the flag set they stand for.
const char *StyleText(TFontStyles style) {
  static const char *const kTexts[16] = {"",       "b,",      "i,",     "i,b,",   "u",      "b,u",
                                         "i,u",    "i,b,u",   "s,",     "b,s,",   "i,s,",   "i,b,s,",
                                         "s,u",    "b,s,u",   "i,s,u",  "i,b,s,u"};
  return kTexts[style & 15];
}

}  // namespace

std::string ColorToText(TColor color) {
  for (const auto &c : kNamedColors)
    if (c.value == color) return c.name;
  if (color >= clSystemColor && color - clSystemColor < kSystemCount) return kSystemColors[color - clSystemColor].name;
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%.8X", static_cast<unsigned>(color));
  return buf;
}

bool TextToColor(const std::string &text, TColor *color) {
  for (const auto &c : kNamedColors)
    if (SameText(text, c.name)) {
      *color = c.value;
      return true;
    }
  for (uint32_t i = 0; i < kSystemCount; ++i)
    if (SameText(text, kSystemColors[i].name)) {
      *color = clSystemColor + i;
      return true;
    }
  if (text.size() < 2 || text.size() > 9 || text[0] != '$') return false;
  TColor value = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else return false;
    value = value << 4 | digit;
  }
  *color = value;
  return true;
}

std::optional<uint32_t> ColorToRGB(TColor color) {
  if (color >= clSystemColor) {
    if (color - clSystemColor < kSystemCount) return kSystemColors[color - clSystemColor].rgb;
    return std::nullopt;
  }
  if (color == clNone) return std::nullopt;
  return RGBToColor(color & 0xFFFFFF);  // swapping red and blue works both ways
}

TColor RGBToColor(uint32_t rgb) { return (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF); }

std::string FontStyleToText(TFontStyles style) { return StyleText(style); }

TFontStyles TextToFontStyle(const std::string &text) {
  if (text.empty()) return 0;
  for (TFontStyles style = 1; style < 16; ++style)
    if (text == StyleText(style)) return style;
  return 0;
}
