#pragma once
// What the assembly reads from a rich-text box and how the digest's formatted copy is put
// into one.
#include <string>
#include <vector>

#include "compose/RichText.h"

class QTextEdit;

// The box's lines as it lays them out: a wrapped paragraph gives one line per wrap.
std::vector<std::string> LaidOutLines(QTextEdit *editor);
// Replaces the box's content by the document, formats included.
void ShowRichDocument(QTextEdit *editor, const TRichDocument &doc);
