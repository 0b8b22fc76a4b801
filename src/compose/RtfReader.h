#pragma once
// Reads RTF into the rich-text model: our own RTF and RTF from word processors and other
// rich-text controls. Reading stops at the end of the outer group, so whatever follows it
// (the key lines of a newsletter document) is ignored. Damaged input gives what could be
// read, never an error.
#include "compose/RichText.h"

#include <string>

TRichDocument ReadRtf(const std::string &rtf);
