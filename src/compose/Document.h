#pragma once
// The newsletter document: its state, the ".bvd" file (the body as RTF, CR LF, then five key
// lines) and the exports as rich text, plain text and HTML.
#include "compose/RichText.h"
#include "compose/TextForms.h"
#include "storage/FileNames.h"  // StripFileNameChars

#include <string>

class TScrooge;

struct TDocumentState {
  std::string FileName;  // empty while the document is untitled
  std::string Subject;   // as last written or read
  TDateTime DateCreated = 0;
  TDateTime DateModified = 0;
  std::string Author;
  bool Modified = false;
};

// Filter indexes of the save dialog.
enum TDocumentFilter { dfDocument = 1, dfRichText = 2, dfText = 3, dfHTML = 4, dfAllFiles = 5 };

// What the page holds when a document is written.
struct TNewsletterContent {
  TRichDocument Body;
  std::string Subject;
  TColor Background = clWhite;
};

// What reading a file gives the page.
struct TReadResult {
  bool IsDocument = false;  // a ".bvd" file: subject, background and tooltip change too
  bool IsRichText = false;  // Body holds the text; otherwise PlainText does
  TRichDocument Body;
  std::string PlainText;
  std::string Subject;
  bool HasBackground = false;
  TColor Background = clWhite;
};

constexpr size_t kMaxSubject = 255;
constexpr size_t kMaxAuthor = 50;

void ClearDocumentState(TDocumentState &State);

// True when the upper-case path holds ".BVD" anywhere: such a file is a document.
bool IsDocumentFileName(const std::string &FileName);

// The filter that writes a file in its own format (".bvd" anywhere, ".rtf", ".txt",
// ".htm"/".html"); `fallback` for any other name.
int FilterForFileName(const std::string &FileName, int fallback);

// The five key lines, each ending in CR LF.
std::string DocumentKeyLines(const TDocumentState &State, const std::string &Subject, TColor Background);

// Updates the state (file name, subject, dates, author) and then writes FileName in the
// format of FilterIndex. Throws on a failed write; the state is already updated by then.
void WriteDocument(TDocumentState &State, const std::string &FileName, int FilterIndex,
                   const TNewsletterContent &Content, const std::string &PIName, TScrooge &Converter,
                   TDateTime Now);

// Reads a document (file name and key lines go into the state) or imports another file as
// rich text or plain text (the state is left alone). Throws EFOpenError when unreadable.
TReadResult ReadDocument(TDocumentState &State, const std::string &FileName);

// The editor's tooltip after a save or an open.
std::string DocumentSummary(const TDocumentState &State);
// "Brevant 2.0:  " and the file name without its folder.
std::string DocumentWindowTitle(const TDocumentState &State);
