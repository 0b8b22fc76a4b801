#pragma once
// TMimeDecode: reads one stored mail message in a single forward pass and reports its
// header, its parts and their decoded body lines through events. It builds no tree; the
// owner reacts to the events (shows text, writes attachments through DestStream).
//
// DestStream is a plain std::ostream* so that the owner can hand it an std::ofstream for an
// attachment file. The decoder never owns it: the owner sets it in OnPartBegin and clears it
// (and closes its file) in OnPartEnd. A write that leaves the stream failed raises
// std::ios_base::failure, so a full disk is never reported as a good decode. The stream gets
// exactly the decoded bytes of base64 and uuencoded parts; text lines (plain, 7bit, 8bit,
// quoted-printable hard line ends) are joined with CR LF, the line end before the next
// delimiter being the delimiter's own.
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <unordered_set>

class TMimeDecode;

// Data: the decoded bytes, followed by a NUL; DataLen may be 0.
using TMimeDecodePartLine = std::function<void(TMimeDecode *Sender, const char *Data, std::size_t DataLen)>;
using TInlineDecodeBegin = std::function<void(TMimeDecode *Sender, const std::string &Filename)>;
using TInlineDecodeEnd = std::function<void(TMimeDecode *Sender, const std::string &Filename)>;
// Line: the raw line, NUL-terminated.
using TInlineDecodeLine = std::function<void(TMimeDecode *Sender, const char *Line)>;

// The small parsers the decoder is made of. Each works on one line held in memory, never
// reads outside it, and does no I/O.
namespace MimeParse {

// Reads a lower-case token that ends at NUL, tab, blank, colon, semicolon or equals sign,
// then skips blanks, tabs, CR and LF. `delim` receives the character that ended the token
// (NUL at the end of the text). Returns false when nothing but blanks was left.
bool ReadToken(std::string_view &cursor, std::string &token, char &delim);

// A parameter value: the text between double quotes when it starts with one (an unclosed
// quote runs to the end), else the text up to the next semicolon without trailing blanks.
// `quoted` tells which form was met. Skips the blanks after the value.
void ReadParamValue(std::string_view &cursor, std::string &value, bool &quoted);

// Reads the parameters that follow a media type or a disposition ("; name=value ...") and
// calls `onParam(lowerName, value, quoted)` for each that carries a value.
void ReadParams(std::string_view cursor,
                const std::function<void(const std::string &, const std::string &, bool)> &onParam);

// Header value: the text after the first colon, leading blanks, tabs, CR and LF skipped.
std::string HeaderValue(std::string_view line);

// Decodes one base64 line into `out` (which may be `in`: the output is never longer).
// Characters outside the alphabet are skipped; "=" closes the current group; a group cut
// short by the end of the line gives the bytes its characters hold. Returns the byte count.
std::size_t DecodeBase64Line(const char *in, std::size_t len, char *out);

// Decodes one quoted-printable line into `out` (which may be `in`). "=" and two hexadecimal
// digits give a byte; "=" with nothing but blanks after it is a soft line break
// (`softBreak` set); any other "=" is kept as it is. Returns the byte count.
std::size_t DecodeQuotedPrintableLine(const char *in, std::size_t len, char *out, bool &softBreak);

// Decodes one uuencoded data line (length character, then groups of four). Characters
// missing at the end of a short line count as zero. Appends at most 63 bytes to `out`.
void DecodeUULine(const char *in, std::size_t len, std::string &out);

// "begin", a blank, an octal mode, a blank and a name: the header of a uuencoded block.
// `name` receives the text after the mode.
bool IsUUBeginLine(std::string_view line, std::string &name);

// Whether `text` contains `lowerNeedle`, letters compared without regard to case.
bool ContainsText(std::string_view text, std::string_view lowerNeedle);

}  // namespace MimeParse

class TMimeDecode {
public:
  using TNotifyEvent = std::function<void(TMimeDecode *Sender)>;

  TMimeDecode();

  // Decodes the file; a file that cannot be opened raises std::runtime_error
  // ("Cannot open file <name>") before any event fires.
  void DecodeFile(const std::string &FileName);
  // Decodes from the stream's current position to its end; the position is not reset.
  // A read error of the stream raises std::ios_base::failure.
  void DecodeStream(std::istream &Stream);

  // Events, fired in this order of the message; an unassigned event does nothing.
  TNotifyEvent OnHeaderBegin;
  TNotifyEvent OnHeaderLine;
  TNotifyEvent OnHeaderEnd;
  TNotifyEvent OnPartHeaderBegin;
  TNotifyEvent OnPartHeaderLine;
  TNotifyEvent OnPartHeaderEnd;
  TNotifyEvent OnPartBegin;
  TMimeDecodePartLine OnPartLine;
  TNotifyEvent OnPartEnd;
  TInlineDecodeBegin OnInlineDecodeBegin;
  TInlineDecodeLine OnInlineDecodeLine;
  TInlineDecodeEnd OnInlineDecodeEnd;

  // Every delivered part line is appended to it (see the top of this file).
  std::ostream *DestStream = nullptr;

  const std::string &From() const { return FFrom; }
  const std::string &Dest() const { return FDest; }
  const std::string &Subject() const { return FSubject; }
  const std::string &Date() const { return FDate; }
  const std::string &ReturnPath() const { return FReturnPath; }
  const std::string &ContentType() const { return FContentType; }
  const std::string &MimeVersion() const { return FMimeVersion; }
  const std::string &Boundary() const { return FBoundary; }
  int PartNumber() const { return FPartNumber; }
  const std::string &PartContentType() const { return FPartContentType; }
  const std::string &PartEncoding() const { return FPartEncoding; }
  const std::string &PartName() const { return FPartName; }
  const std::string &PartCharset() const { return FPartCharset; }
  const std::string &PartDisposition() const { return FPartDisposition; }
  // As the message gives it, so it may hold "/" or "..": make it safe before it names a file.
  const std::string &PartFileName() const { return FPartFileName; }
  // The line being processed, NUL-terminated; valid during an event only (empty for the
  // OnPartEnd that the end of the stream fires).
  const char *CurrentData() const { return FCurrentData; }
  // Its length in bytes (a line may hold NUL bytes of its own).
  std::size_t CurrentDataLen() const { return FCurrentLen; }
  // During OnPartLine: whether a line end followed the bytes in the message text (false
  // for a quoted-printable soft line break and for bytes decoded from base64 or uuencode,
  // which carry their own line ends).
  bool PartLineEnds() const { return FPartLineEnds; }

private:
  enum class THandler { hMessageHeader, hSingleBody, hPreamble, hPartHeader, hPartBody };

  void Reset();
  void ProcessLine(char *line, std::size_t len);
  void MessageHeaderLine(char *line, std::size_t len);
  void SingleBodyLine(char *line, std::size_t len);
  void PreambleLine(char *line, std::size_t len);
  void PartHeaderLine(char *line, std::size_t len);
  void PartBodyLine(char *line, std::size_t len);
  void StartNewPart();
  void ReadContentType(std::string_view rest, bool messageLevel);
  void ReadDisposition(std::string_view rest, std::string &disposition, std::string &fileName);
  void DecodeBodyLine(char *line, std::size_t len);
  void UUPartLine(char *line, std::size_t len);
  // `plainText`: the bytes are a line of text (not decoded from base64 or uuencode);
  // `lineBreak`: a line end followed them in the message.
  void Deliver(const char *data, std::size_t len, bool plainText, bool lineBreak);
  bool InlineTakes(const char *data, std::size_t len);
  // Whether the line is a delimiter; `closingToo` also accepts the closing form "--".
  bool IsDelimiter(std::string_view line, bool closingToo);
  void WriteDest(const char *data, std::size_t len);
  void Fire(const TNotifyEvent &event) {
    if (event) event(this);
  }

  std::string FFrom, FDest, FSubject, FDate, FReturnPath, FContentType, FMimeVersion, FBoundary;
  int FPartNumber = 0;
  std::string FPartContentType, FPartEncoding, FPartName, FPartCharset, FPartDisposition,
      FPartFileName;
  // The message header's own part fields, used when the message is a single part.
  std::string FMsgEncoding, FMsgName, FMsgCharset, FMsgDisposition, FMsgFileName;
  const char *FCurrentData = "";
  std::size_t FCurrentLen = 0;

  THandler FHandler = THandler::hMessageHeader;
  bool FJoining = true;          // folded header lines are joined
  std::size_t FHeaderCount = 0;  // lines of the current header (or body lines of a single part)
  bool FPartHeaderSeen = false;  // a header line was seen for the current part
  bool FPartBegun = false;       // OnPartBegin fired for the current part's body
  bool FPartLineEnds = false;
  bool FPendingBreak = false;    // a line end is owed to DestStream before the next text line
  // Delimiters of nested multipart parts. They are never popped, so a set is all that
  // matching needs, and it keeps matching fast however deep the nesting goes.
  std::unordered_set<std::string> FStack;
  std::string FLower;  // scratch: a line in lower case
  std::string FUUOut;  // scratch: bytes decoded from a uuencoded line
  bool FInUUBlock = false;  // inside the uuencoded block of an x-uuencode part
  std::string FInlineName;  // block found inline in plain text (empty: none open)
};
