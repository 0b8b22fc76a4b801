#include "compose/Document.h"

#include "compose/RtfReader.h"
#include "compose/RtfWriter.h"
#include "compose/Scrooge.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

namespace {

const char *const kSubject = "Subject=";
const char *const kCreated = "Date Created=";
const char *const kModified = "Date Modified=";
const char *const kAuthor = "Author=";
const char *const kBGColor = "BG Color=";

bool IsRtf(const std::string &bytes) { return bytes.compare(0, 5, "{\\rtf") == 0; }

std::string PlainTextFile(const TRichDocument &body) {
  std::string text = body.PlainText();
  if (!text.empty()) text += "\r\n";
  return text;
}

}  // namespace

void ClearDocumentState(TDocumentState &State) {
  State.FileName.clear();
  State.Subject.clear();
  State.Author.clear();
  State.DateCreated = 0;
  State.DateModified = 0;
}

bool IsDocumentFileName(const std::string &FileName) {
  return UpperCase(FileName).find(".BVD") != std::string::npos;
}

int FilterForFileName(const std::string &FileName, int fallback) {
  if (IsDocumentFileName(FileName)) return dfDocument;
  const std::string ext = UpperCase(ExtractFileExt(FileName));
  if (ext == ".RTF") return dfRichText;
  if (ext == ".TXT") return dfText;
  if (ext == ".HTM" || ext == ".HTML") return dfHTML;
  return fallback;
}

std::string DocumentKeyLines(const TDocumentState &State, const std::string &Subject, TColor Background) {
  return std::string(kSubject) + Subject + "\r\n" + kCreated + DateTimeToText(State.DateCreated) + "\r\n" +
         kModified + DateTimeToText(State.DateModified) + "\r\n" + kAuthor + State.Author + "\r\n" + kBGColor +
         ColorToText(Background) + "\r\n";
}

void WriteDocument(TDocumentState &State, const std::string &FileName, int FilterIndex,
                   const TNewsletterContent &Content, const std::string &PIName, TScrooge &Converter,
                   TDateTime Now) {
  State.FileName = FileName;
  State.Subject = Content.Subject.substr(0, kMaxSubject);
  if (!FileExists(FileName)) State.DateCreated = Now;
  State.DateModified = Now;
  State.Author = PIName.substr(0, kMaxAuthor);
  switch (FilterIndex) {
    case dfDocument:
      // The RTF first; the key lines follow the end of its outer group, where readers stop.
      WriteFileAtomic(FileName, WriteRtf(Content.Body) + "\r\n" + DocumentKeyLines(State, Content.Subject, Content.Background));
      break;
    case dfText:
      WriteFileAtomic(FileName, PlainTextFile(Content.Body));
      break;
    case dfHTML:
      // An export is never merged: what a send left in the converter (one recipient's
      // field values, its title and colour) must not reach the file.
      Converter.ConfigureForMainWindow();
      Converter.ReplaceStrings.clear();
      Converter.Title.clear();
      Converter.BodyOptions.clear();
      Converter.ConvertRichEditToFile(Content.Body, FileName);
      break;
    default:
      WriteFileAtomic(FileName, WriteRtf(Content.Body));
  }
}

TReadResult ReadDocument(TDocumentState &State, const std::string &FileName) {
  TReadResult r;
  const std::string bytes = ReadFileBytes(FileName);
  r.IsRichText = IsRtf(bytes);
  if (r.IsRichText) r.Body = ReadRtf(bytes);
  else r.PlainText = bytes;
  if (!IsDocumentFileName(FileName)) return r;

  r.IsDocument = true;
  State.FileName = FileName;
  for (const std::string &line : SplitLines(bytes)) {
    auto value = [&line]() { return line.substr(line.find('=') + 1); };
    if (line.compare(0, 8, kSubject) == 0) {
      State.Subject = value().substr(0, kMaxSubject);
    } else if (line.compare(0, 13, kCreated) == 0) {
      TextToDateTime(value(), State.DateCreated);  // a date that does not parse is skipped
    } else if (line.compare(0, 14, kModified) == 0) {
      TextToDateTime(value(), State.DateModified);
    } else if (line.compare(0, 7, kAuthor) == 0) {
      State.Author = value().substr(0, kMaxAuthor);
    } else if (line.compare(0, 9, kBGColor) == 0) {
      // A value that is no colour keeps the current one and reading goes on.
      TColor c;
      if (ReadColorText(value(), c)) {
        r.HasBackground = true;
        r.Background = c;
      }
    }
  }
  r.Subject = State.Subject;
  return r;
}

std::string DocumentSummary(const TDocumentState &State) {
  return "Author: " + State.Author + "\r\nDate Created: " + DateTimeToText(State.DateCreated) +
         "\r\nDate Modified: " + DateTimeToText(State.DateModified) + "\r\nFile Name: " + ExtractFileName(State.FileName);
}

std::string DocumentWindowTitle(const TDocumentState &State) {
  return "Brevant 2.0:  " + ExtractFileName(State.FileName);
}
