#pragma once
// What the assembly reads from a rich-text box and how the digest's formatted copy is put
// into one.
#include <cstdint>
#include <string>
#include <vector>

#include "compose/RichText.h"

class QTextEdit;

// The box's lines as it lays them out: a wrapped paragraph gives one line per wrap.
std::vector<std::string> LaidOutLines(QTextEdit *editor);
// Replaces the box's content by the document, formats included.
void ShowRichDocument(QTextEdit *editor, const TRichDocument &doc);
// The box's content as a rich-text document (what its RTF is written from).
TRichDocument RichDocumentOf(QTextEdit *editor);
// The box's background as a direct colour 0x00BBGGRR: the colour on screen, so a system
// colour of the palette is already resolved.
uint32_t BackgroundValue(QTextEdit *editor);
