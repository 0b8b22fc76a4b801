#pragma once
// Moves formatted text between the editor (QTextDocument) and the core's rich-text model,
// so the editor can be saved and loaded as RTF and converted to HTML.
#include "compose/RichText.h"

class QTextDocument;

TRichDocument DocumentToRich(const QTextDocument &doc);
// Replaces the document's content.
void RichToDocument(const TRichDocument &rich, QTextDocument &doc);
