#pragma once
// Message assembly: turns the newsletter into the digest that is sent (plain text or HTML,
// field codes merged for one recipient) or into the preview of the Digest page.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "compose/FieldCodes.h"

// What the SMTP client is to announce for the digest.
enum class TDigestContent { dcPlainText, dcHTML };

// Header, signature and footer texts with their include flags (general or of a list).
struct TDigestTexts {
  bool IncludeHeader = false;
  std::string Header;
  bool IncludeSig = false;
  std::string Signature;
  bool IncludeFooter = false;
  std::string Footer;
};

// A converted page cut where field values are merged: the page is Head + Body + Tail.
struct THtmlPageParts {
  std::string Head, Body, Tail;
};

// The RTF-to-HTML conversion the assembly needs; the converter component implements it.
class THtmlConverter {
public:
  virtual ~THtmlConverter() = default;
  // The HTML page for `rtf` with `title` and the BODY attributes `bodyOptions`. When
  // `replaceStrings` is given, its "code=value" lines are merged into the converted body.
  virtual std::string ConvertToHtml(const std::string &rtf, const std::string &title,
                                    const std::vector<std::string> &bodyOptions,
                                    const std::vector<std::string> *replaceStrings) = 0;
  // The same page without a merge, in parts, so that each recipient's merge needs no new
  // conversion; false when this converter cannot cut its pages.
  virtual bool ConvertToParts(const std::string & /*rtf*/, const std::string & /*title*/,
                              const std::vector<std::string> & /*bodyOptions*/, THtmlPageParts & /*parts*/) {
    return false;
  }
  // The page of `parts` with the "code=value" lines merged: what ConvertToHtml gives with
  // them for the same RTF. Only for parts this converter made.
  virtual std::string MergeParts(const THtmlPageParts &parts, const std::vector<std::string> &replaceStrings);
};

class TScrooge;

// The main window's converter in the role above: BodyOptions, Title and, for a merge,
// ReplaceStrings with soReplaceStrings are set before each conversion.
class TScroogeConverter : public THtmlConverter {
public:
  explicit TScroogeConverter(TScrooge &scrooge) : scrooge_(scrooge) {}
  std::string ConvertToHtml(const std::string &rtf, const std::string &title, const std::vector<std::string> &bodyOptions,
                            const std::vector<std::string> *replaceStrings) override;
  bool ConvertToParts(const std::string &rtf, const std::string &title, const std::vector<std::string> &bodyOptions,
                      THtmlPageParts &parts) override;
  std::string MergeParts(const THtmlPageParts &parts, const std::vector<std::string> &replaceStrings) override;

private:
  TScrooge &scrooge_;
};

struct TAssemblyInput {
  std::string BodyRtf;                 // the body editor's rich text
  std::vector<std::string> BodyLines;  // the body editor's lines as laid out (wrap points included)
  std::string Subject;
  uint32_t Background = 0x00FFFFFF;    // the editor's background, a direct colour 0x00BBGGRR
  bool SendHtml = false;               // "Send as HTML" or the list's "Send HTML mail"
  bool ListChosen = false;             // a list is chosen in the Newsletter page's list box
  bool UseGeneralProperties = false;   // the Send To dialog's "Use General Properties"
  TDigestTexts GeneralTexts, ListTexts;
  TRecipientFields Recipient;
  TListFields List;
  TPersonalFields Personal;
  std::string DataDir;                 // with a trailing slash; receives "temp.dat" and "temp.html"
};

struct TDigest {
  std::vector<std::string> Lines;  // the message as sent (for the preview: its text form)
  TDigestContent ContentType = TDigestContent::dcPlainText;
  // An HTML send: the same message in plain text (field codes merged the same way), for the
  // text/plain alternative.
  std::vector<std::string> TextLines;
  std::string Rtf;       // preview only: the formatted digest for the text view
  std::string HtmlFile;  // preview only: full path of the HTML preview
};

// A field value that holds its own code cannot be merged into HTML: the merge would never
// end. The message is not assembled; the caller shows what() and the status text.
class ERecursiveFieldCode : public std::runtime_error {
public:
  explicit ERecursiveFieldCode(const std::string &code);
  const std::string &Code() const { return code_; }
  std::string StatusText() const;

private:
  std::string code_;
};

// ForSend false gives the preview (codes are never merged then). `converter` may be null
// only for a plain-text send. Throws ERecursiveFieldCode, the converter's errors, and
// EFCreateError when a work file cannot be written.
TDigest AssembleMessage(const TAssemblyInput &input, bool ForSend, bool MergeCodes, THtmlConverter *converter);

// What the assembly of a send with merged codes does the same way for every recipient: the
// body converted to HTML before any merge (for an HTML send) and its plain text in one piece.
struct TPreparedBody {
  bool Html = false;
  THtmlPageParts Page;
  std::string Text;
};

// The prepared body of `input` for a send; false when the converter cannot cut its pages.
// Throws the converter's errors.
bool PrepareBody(const TAssemblyInput &input, THtmlConverter *converter, TPreparedBody &prepared);

// AssembleMessage(input, true, true, converter) from the body `input` was prepared with: the
// same digest, byte for byte, and the same ERecursiveFieldCode, but the work file is left as
// it is.
TDigest AssembleMerged(const TAssemblyInput &input, const TPreparedBody &prepared, THtmlConverter *converter);

// Removes "temp.dat" from the data directory: after a send it would keep the last
// recipient's merged message.
void RemoveWorkFile(const std::string &dataDir);

// The merge of plain-text mode: each code replaced in list order, each search going on
// after the inserted value (so later codes are also found inside earlier values).
std::string MergeFieldCodes(const std::string &text, const std::vector<std::string> &replacements);

// "#RRGGBB" from a direct colour whose lowest byte is red.
std::string HtmlColor(uint32_t color);

// Adds plain-text paragraphs to an RTF document: `before` ahead of the body (after the font
// and colour tables), `after` at its end, each line its own paragraph. The body's last
// paragraph is taken as ended by its paragraph mark, as the editor writes it.
std::string InsertRtfLines(const std::string &rtf, const std::vector<std::string> &before,
                           const std::vector<std::string> &after);
