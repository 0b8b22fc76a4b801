#include "storage/DisplayValues.h"

#include <gtest/gtest.h>

namespace {

TEST(DisplayValues, ColorTextsBothWays) {
  struct Case {
    const char *text;
    TColor value;
  };
  const Case cases[] = {
      {"clBlack", 0x000000},       {"clMaroon", 0x000080},    {"clNavy", 0x800000},     {"clSilver", 0xC0C0C0},
      {"clRed", 0x0000FF},         {"clBlue", 0xFF0000},      {"clWhite", 0xFFFFFF},    {"clNone", clNone},
      {"clScrollBar", 0x80000000}, {"clBtnFace", 0x8000000F}, {"clInfoBk", 0x80000018}, {"$00FF8040", 0xFF8040},
      {"$02123456", 0x02123456},   {"$80000019", 0x80000019},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    TColor read = 1;
    ASSERT_TRUE(TextToColor(c.text, &read));
    EXPECT_EQ(read, c.value);
    EXPECT_EQ(ColorToText(c.value), c.text);
  }
  // Names in any case, and short or lower-case hex, read; the written form is canonical.
  TColor c = 0;
  ASSERT_TRUE(TextToColor("CLSILVER", &c));
  EXPECT_EQ(c, clSilver);
  ASSERT_TRUE(TextToColor("$ff", &c));
  EXPECT_EQ(c, 0xFFu);
  EXPECT_EQ(ColorToText(0xFF), "clRed");
  for (const char *bad : {"", "$", "silver", "$123456789", "$12G456", "12345", "clSilver "}) {
    SCOPED_TRACE(bad);
    c = 7;
    EXPECT_FALSE(TextToColor(bad, &c));
    EXPECT_EQ(c, 7u);
  }
}

TEST(DisplayValues, ColorToRGBSwapsBlueAndRedAndResolvesSystemColors) {
  EXPECT_EQ(ColorToRGB(0x0000FF), std::optional<uint32_t>(0xFF0000));  // clRed
  EXPECT_EQ(ColorToRGB(0xFF8040), std::optional<uint32_t>(0x4080FF));
  EXPECT_EQ(ColorToRGB(0x02FF8040), std::optional<uint32_t>(0x4080FF));  // the flag byte is ignored
  EXPECT_EQ(ColorToRGB(0x8000000F), std::optional<uint32_t>(0xC0C0C0));  // clBtnFace
  EXPECT_EQ(ColorToRGB(0x80000018), std::optional<uint32_t>(0xFFFFE1));  // clInfoBk
  EXPECT_EQ(ColorToRGB(0x80000019), std::nullopt);
  EXPECT_EQ(ColorToRGB(clNone), std::nullopt);
  EXPECT_EQ(RGBToColor(0x4080FF), 0xFF8040u);
  for (TColor v : {0x000000u, 0x123456u, 0xFFFFFFu, 0xABCDEFu}) EXPECT_EQ(RGBToColor(*ColorToRGB(v)), v);
}

TEST(DisplayValues, FontStyleTextsBothWays) {
  struct Case {
    TFontStyles style;
    const char *text;
  };
  const TFontStyles i = fsItalic, b = fsBold, s = fsStrikeOut, u = fsUnderline;
  const Case cases[] = {
      {0, ""},           {i | b | s | u, "i,b,s,u"}, {i | b | s, "i,b,s,"}, {i | b | u, "i,b,u"},
      {i | s | u, "i,s,u"}, {b | s | u, "b,s,u"},   {i | b, "i,b,"},        {i | s, "i,s,"},
      {i | u, "i,u"},    {b | s, "b,s,"},           {b | u, "b,u"},         {s | u, "s,u"},
      {i, "i,"},         {b, "b,"},                 {s, "s,"},              {u, "u"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FontStyleToText(c.style), c.text);
    EXPECT_EQ(TextToFontStyle(c.text), c.style);
  }
  // Markers in another order, other case or with extra text mean no style.
  for (const char *other : {"b,i,", "B,", "b", "i,b", "u,", " b,", "b,x", "x"}) {
    SCOPED_TRACE(other);
    EXPECT_EQ(TextToFontStyle(other), 0u);
  }
}

}  // namespace
