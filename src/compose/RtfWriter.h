#pragma once
// Writes the rich-text model as RTF in the shape the HTML converter expects:
// "{\rtf1\ansi\deff0", the font table, the colour table (colour N is entry N, entry 0 is
// black, the default text colour), the body, then "}" and CR LF.
#include "compose/RichText.h"

#include <string>

std::string WriteRtf(const TRichDocument &doc);
