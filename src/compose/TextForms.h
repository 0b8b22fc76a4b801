#pragma once
// Colours and date-times as the newsletter document stores them as text.
#include <cstdint>
#include <string>

// A colour of the user-interface toolkit: 0x00BBGGRR for a direct colour, or a system
// colour (0x80000000 + index), clNone or clDefault.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clWindow = static_cast<TColor>(0x80000005u);
constexpr TColor clWindowText = static_cast<TColor>(0x80000008u);
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

inline bool IsSystemColor(TColor c) { return static_cast<std::uint32_t>(c) >= 0x80000000u; }

// The colour's name ("clWhite", "clWindow", ...) or "$" and eight upper-case hex digits.
std::string ColorToString(TColor color);
// A name of the table (any case), a decimal integer or "$" and hex digits; false otherwise.
bool StringToColor(const std::string &text, TColor &color);
// "#RRGGBB" of a direct colour (red is the lowest byte of the value).
std::string ColorToHtml(TColor color);

// Date-times are days since 30 December 1899, the time of day as the fraction; zero = not set.
using TDateTime = double;

TDateTime NowDateTime();
// The system's short date format (with a four-digit year, so the year survives reading it
// back), a blank and the long time format; no time part at exactly midnight.
std::string DateTimeToText(TDateTime value);
// Parses the same form; false when the text is not a date-time.
bool TextToDateTime(const std::string &text, TDateTime &value);
