#pragma once
// Colours and date-times as the newsletter document stores them as text.
#include "storage/DisplayValues.h"

#include <cstdint>
#include <string>

// Colours are the settings' colour values (storage/DisplayValues.h); these are the few
// more that a document may carry.
constexpr TColor clWindow = clSystemColor + 5;
constexpr TColor clWindowText = clSystemColor + 8;
constexpr TColor clDefault = 0x20000000;

inline bool IsSystemColor(TColor c) { return c >= clSystemColor; }

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
