#pragma once
// Colours and date-times as the newsletter document stores them as text. Colour names and
// the "$" form are those of the settings files.
#include "storage/DisplayValues.h"

#include <QDateTime>
#include <string>

// The editor's background after Close: the system window colour.
constexpr TColor clWindow = clSystemColor + 5;

// Reads a colour as a document stores it: a colour name, "$" and hex digits, or a decimal
// integer (older files); false otherwise, leaving color untouched.
bool ReadColorText(const std::string &text, TColor &color);

// Date-times are days since 30 December 1899, the time of day as the fraction; zero = not set.
using TDateTime = double;

TDateTime NowDateTime();
TDateTime ToDateTime(const QDateTime &when);
// The system's short date format (with a four-digit year, so the year survives reading it
// back), a blank and the long time format; no time part at exactly midnight.
std::string DateTimeToText(TDateTime value);
// Parses the same form; false when the text is not a date-time.
bool TextToDateTime(const std::string &text, TDateTime &value);
