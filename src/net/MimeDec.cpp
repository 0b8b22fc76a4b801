#include "net/MimeDec.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <ios>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <utility>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsTokenEnd(char c) {
  return c == '\0' || c == '\t' || c == ' ' || c == ':' || c == ';' || c == '=';
}

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c; }

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char &c : r) c = LowerChar(c);
  return r;
}

void SkipBlanks(std::string_view &cur) {
  std::size_t i = 0;
  while (i < cur.size() && IsBlank(cur[i])) ++i;
  cur.remove_prefix(i);
}

bool StartsTextCI(std::string_view text, std::string_view lowerPrefix) {
  if (text.size() < lowerPrefix.size()) return false;
  for (std::size_t i = 0; i < lowerPrefix.size(); ++i)
    if (LowerChar(text[i]) != lowerPrefix[i]) return false;
  return true;
}

// "end" and nothing after it but blanks: the last line of a uuencoded block. A data line can
// start with the letters E, N, D too, but never stops there.
bool IsUUEndLine(std::string_view line) {
  if (!StartsTextCI(line, "end")) return false;
  for (std::size_t i = 3; i < line.size(); ++i)
    if (!IsBlank(line[i])) return false;
  return true;
}

// The decoration lines of posted uuencoded files ("BEGIN --- CUT HERE --- ...").
bool IsCutHereLine(std::string_view line) {
  return MimeParse::ContainsText(line, "--") && MimeParse::ContainsText(line, "cut here");
}

std::string_view UpToNul(const char *line, std::size_t len) {
  const void *nul = std::memchr(line, 0, len);
  return {line, nul ? std::size_t(static_cast<const char *>(nul) - line) : len};
}

constexpr std::array<signed char, 256> MakeBase64Table() {
  std::array<signed char, 256> t{};
  for (auto &v : t) v = -1;
  const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
  return t;
}
constexpr std::array<signed char, 256> kBase64 = MakeBase64Table();

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

constexpr std::size_t kChunk = 64 * 1024;

}  // namespace

namespace MimeParse {

bool ReadToken(std::string_view &cursor, std::string &token, char &delim) {
  std::size_t i = 0;
  while (i < cursor.size() && (cursor[i] == ' ' || cursor[i] == '\t')) ++i;
  const std::size_t start = i;
  while (i < cursor.size() && !IsTokenEnd(cursor[i])) ++i;
  token = Lower(cursor.substr(start, i - start));
  delim = i < cursor.size() ? cursor[i] : '\0';
  if (i < cursor.size()) ++i;
  while (i < cursor.size() && IsBlank(cursor[i])) ++i;
  // "Name : value" and "name = value": the sign after the blanks is the real delimiter.
  if ((delim == ' ' || delim == '\t') && i < cursor.size() &&
      (cursor[i] == ':' || cursor[i] == ';' || cursor[i] == '=')) {
    delim = cursor[i++];
    while (i < cursor.size() && IsBlank(cursor[i])) ++i;
  }
  cursor.remove_prefix(i);
  return !token.empty() || delim != '\0';
}

void ReadParamValue(std::string_view &cursor, std::string &value, bool &quoted) {
  quoted = !cursor.empty() && cursor[0] == '"';
  if (quoted) {
    const std::size_t close = cursor.find('"', 1);
    const std::size_t end = close == std::string_view::npos ? cursor.size() : close;
    value.assign(cursor.substr(1, end - 1));
    cursor.remove_prefix(close == std::string_view::npos ? cursor.size() : close + 1);
  } else {
    std::size_t end = cursor.find(';');
    if (end == std::string_view::npos) end = cursor.size();
    std::size_t last = end;
    while (last > 0 && IsBlank(cursor[last - 1])) --last;
    value.assign(cursor.substr(0, last));
    cursor.remove_prefix(end);
  }
  SkipBlanks(cursor);
}

void ReadParams(std::string_view cursor,
                const std::function<void(const std::string &, const std::string &, bool)> &onParam) {
  std::string name, value;
  while (!cursor.empty()) {
    if (cursor[0] == ';' || IsBlank(cursor[0])) {
      cursor.remove_prefix(1);
      continue;
    }
    char delim = '\0';
    ReadToken(cursor, name, delim);
    if (delim == '=') {
      bool quoted = false;
      ReadParamValue(cursor, value, quoted);
      if (!name.empty()) onParam(name, value, quoted);
    }
    if (delim != ';') {
      // Whatever stands before the next semicolon is not a parameter.
      const std::size_t next = cursor.find(';');
      cursor.remove_prefix(next == std::string_view::npos ? cursor.size() : next);
    }
  }
}

std::string HeaderValue(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  line.remove_prefix(colon + 1);
  SkipBlanks(line);
  return std::string(line);
}

std::size_t DecodeBase64Line(const char *in, std::size_t len, char *out) {
  std::uint32_t acc = 0;
  int held = 0;
  std::size_t o = 0;
  // A group of two or three characters holds one or two whole bytes.
  auto flush = [&] {
    if (held == 2) {
      out[o++] = char(acc >> 4);
    } else if (held == 3) {
      out[o++] = char(acc >> 10);
      out[o++] = char(acc >> 2);
    }
    acc = 0;
    held = 0;
  };
  for (std::size_t i = 0; i < len; ++i) {
    // Fast path: four characters of the alphabet in a row make three bytes.
    while (held == 0 && i + 4 <= len) {
      const int a = kBase64[static_cast<unsigned char>(in[i])], b = kBase64[static_cast<unsigned char>(in[i + 1])],
                c = kBase64[static_cast<unsigned char>(in[i + 2])], d = kBase64[static_cast<unsigned char>(in[i + 3])];
      if ((a | b | c | d) < 0) break;
      const std::uint32_t v = std::uint32_t(a) << 18 | std::uint32_t(b) << 12 | std::uint32_t(c) << 6 | std::uint32_t(d);
      out[o++] = char(v >> 16);
      out[o++] = char(v >> 8);
      out[o++] = char(v);
      i += 4;
    }
    if (i == len) break;
    const unsigned char c = static_cast<unsigned char>(in[i]);
    const int v = kBase64[c];
    if (v >= 0) {
      acc = (acc << 6) | std::uint32_t(v);
      if (++held == 4) {
        out[o++] = char(acc >> 16);
        out[o++] = char(acc >> 8);
        out[o++] = char(acc);
        acc = 0;
        held = 0;
      }
    } else if (c == '=') {
      flush();
    }
  }
  flush();
  return o;
}

std::size_t DecodeQuotedPrintableLine(const char *in, std::size_t len, char *out, bool &softBreak) {
  softBreak = false;
  std::size_t o = 0;
  std::size_t i = 0;
  while (i < len) {
    const char c = in[i];
    if (c != '=') {
      out[o++] = c;
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    while (j < len && (in[j] == ' ' || in[j] == '\t')) ++j;
    if (j == len) {
      softBreak = true;
      break;
    }
    const int hi = i + 1 < len ? HexValue(in[i + 1]) : -1;
    const int lo = i + 2 < len ? HexValue(in[i + 2]) : -1;
    if (hi >= 0 && lo >= 0) {
      out[o++] = char(hi * 16 + lo);
      i += 3;
    } else {
      out[o++] = '=';  // not an escape: kept as written
      ++i;
    }
  }
  return o;
}

void DecodeUULine(const char *in, std::size_t len, std::string &out) {
  if (len == 0) return;
  auto sextet = [&](std::size_t k) -> unsigned {
    return k < len ? (static_cast<unsigned char>(in[k]) - 32u) & 63u : 0u;
  };
  std::size_t count = sextet(0);
  for (std::size_t i = 1; count > 0; i += 4) {
    const unsigned a = sextet(i), b = sextet(i + 1), c = sextet(i + 2), d = sextet(i + 3);
    const char bytes[3] = {char(a << 2 | b >> 4), char((b << 4 | c >> 2) & 0xFF), char((c << 6 | d) & 0xFF)};
    for (int k = 0; k < 3 && count > 0; ++k, --count) out.push_back(bytes[k]);
  }
}

bool IsUUBeginLine(std::string_view line, std::string &name) {
  if (!StartsTextCI(line, "begin ")) return false;
  std::size_t i = 5;
  while (i < line.size() && line[i] == ' ') ++i;
  const std::size_t modeStart = i;
  while (i < line.size() && line[i] >= '0' && line[i] <= '7') ++i;
  const std::size_t modeLen = i - modeStart;
  if (modeLen < 3 || modeLen > 4 || i >= line.size() || line[i] != ' ') return false;
  while (i < line.size() && line[i] == ' ') ++i;
  std::size_t end = line.size();
  while (end > i && IsBlank(line[end - 1])) --end;
  if (end == i) return false;
  name.assign(line.substr(i, std::min<std::size_t>(end - i, 255)));
  return true;
}

bool ContainsText(std::string_view text, std::string_view lowerNeedle) {
  if (lowerNeedle.empty()) return true;
  if (text.size() < lowerNeedle.size()) return false;
  for (std::size_t i = 0; i + lowerNeedle.size() <= text.size(); ++i) {
    if (LowerChar(text[i]) != lowerNeedle[0]) continue;
    if (StartsTextCI(text.substr(i), lowerNeedle)) return true;
  }
  return false;
}

}  // namespace MimeParse

using namespace MimeParse;

TMimeDecode::TMimeDecode() = default;

void TMimeDecode::DecodeFile(const std::string &FileName) {
  std::ifstream file(FileName, std::ios::binary);
  if (!file) throw std::runtime_error("Cannot open file " + FileName);
  DecodeStream(file);
}

void TMimeDecode::Reset() {
  for (std::string *s : {&FFrom, &FDest, &FSubject, &FDate, &FReturnPath, &FContentType, &FMimeVersion,
                         &FBoundary, &FPartContentType, &FPartEncoding, &FPartName, &FPartCharset,
                         &FPartDisposition, &FPartFileName, &FMsgEncoding, &FMsgName, &FMsgCharset,
                         &FMsgDisposition, &FMsgFileName, &FInlineName})
    s->clear();
  FPartNumber = 0;
  FStack.clear();
  FInUUBlock = false;
  FJoining = true;
  FHeaderCount = 0;
  FPartHeaderSeen = false;
  FPartBegun = false;
  FPendingBreak = false;
  FHandler = THandler::hMessageHeader;
  FCurrentData = "";
  FCurrentLen = 0;
}

void TMimeDecode::DecodeStream(std::istream &Stream) {
  Reset();
  // The buffer holds the unprocessed bytes [start, end) and one spare byte for the NUL of a
  // last line. It doubles when a line does not fit, so a huge line costs linear time.
  std::vector<char> buf(kChunk + 1);
  std::size_t start = 0, end = 0, scan = 0;
  bool eof = false;
  std::size_t lf = 0;    // the next LF at or after `scan`, or `end` when none is held
  bool lfKnown = false;  // whether `lf` is still valid (reading moves and adds bytes)
  auto fill = [&] {
    if (eof) return;
    lfKnown = false;
    if (buf.size() - 1 - end < kChunk) {
      if (start > 0) {
        std::memmove(buf.data(), buf.data() + start, end - start);
        end -= start;
        scan -= start;
        start = 0;
      }
      if (buf.size() - 1 - end < kChunk) buf.resize(std::max(buf.size() * 2, end + kChunk + 1));
    }
    Stream.read(buf.data() + end, std::streamsize(buf.size() - 1 - end));
    const std::size_t got = std::size_t(Stream.gcount());
    if (Stream.bad()) throw std::ios_base::failure("Cannot read the message");
    end += got;
    if (!Stream || got == 0) eof = true;
  };

  for (;;) {
    char *p = buf.data();
    // The next LF (kept across the lines that bare CRs end before it), then the first CR
    // before it: two fast scans, and no byte is searched for an LF twice.
    if (!lfKnown || lf < scan) {
      const void *at = std::memchr(p + scan, '\n', end - scan);
      lf = at ? std::size_t(static_cast<const char *>(at) - p) : end;
      lfKnown = true;
    }
    std::size_t i = lf;
    if (const void *cr = std::memchr(p + scan, '\r', i - scan)) i = std::size_t(static_cast<const char *>(cr) - p);
    if (i == end) {
      scan = end;
      if (eof) break;
      fill();
      continue;
    }
    // A CR as the last byte held may be the first half of a CR LF.
    if (p[i] == '\r' && i + 1 == end && !eof) {
      scan = i;
      fill();
      continue;
    }
    const std::size_t next = i + ((p[i] == '\r' && i + 1 < end && p[i + 1] == '\n') ? 2 : 1);
    if (FJoining && i > start) {
      if (next == end && !eof) {
        scan = i;
        fill();
        continue;
      }
      if (next < end && (p[next] == ' ' || p[next] == '\t')) {
        // A folded line: its line end and the blank that continues it become blanks.
        for (std::size_t k = i; k <= next; ++k) p[k] = ' ';
        scan = next + 1;
        continue;
      }
    }
    p[i] = '\0';
    ProcessLine(p + start, i - start);
    start = scan = next;
  }
  if (end > start) {
    buf[end] = '\0';
    ProcessLine(buf.data() + start, end - start);
  }
  FCurrentData = "";
  FCurrentLen = 0;
  if (FBoundary.empty() || FPartBegun) Fire(OnPartEnd);
}

void TMimeDecode::ProcessLine(char *line, std::size_t len) {
  FCurrentData = line;
  FCurrentLen = len;
  switch (FHandler) {
    case THandler::hMessageHeader: MessageHeaderLine(line, len); break;
    case THandler::hSingleBody: SingleBodyLine(line, len); break;
    case THandler::hPreamble: PreambleLine(line, len); break;
    case THandler::hPartHeader: PartHeaderLine(line, len); break;
    case THandler::hPartBody: PartBodyLine(line, len); break;
  }
}

void TMimeDecode::MessageHeaderLine(char *line, std::size_t len) {
  if (len == 0) {
    FJoining = false;
    Fire(OnHeaderEnd);
    FHeaderCount = 0;
    FPendingBreak = false;
    if (!FBoundary.empty()) {
      Fire(OnPartBegin);  // the preamble counts as a part
      FHandler = THandler::hPreamble;
    } else {
      // A single-part message: its own header describes its one part.
      FPartContentType = FContentType;
      FPartEncoding = FMsgEncoding;
      FPartName = FMsgName;
      FPartCharset = FMsgCharset;
      FPartDisposition = FMsgDisposition;
      FPartFileName = FMsgFileName;
      FHandler = THandler::hSingleBody;
    }
    return;
  }
  if (FHeaderCount++ == 0) Fire(OnHeaderBegin);
  std::string_view cur = UpToNul(line, len);
  const std::string_view whole = cur;
  std::string name;
  char delim = '\0';
  ReadToken(cur, name, delim);
  if (delim == ':') {
    // Fields whose whole value is kept as it stands.
    static const std::pair<const char *, std::string TMimeDecode::*> kValues[] = {
        {"mime-version", &TMimeDecode::FMimeVersion}, {"from", &TMimeDecode::FFrom},
        {"to", &TMimeDecode::FDest}, {"subject", &TMimeDecode::FSubject},
        {"date", &TMimeDecode::FDate}, {"return-path", &TMimeDecode::FReturnPath}};
    if (name == "content-type") {
      ReadContentType(cur, true);
    } else if (name == "content-transfer-encoding") {
      ReadToken(cur, FMsgEncoding, delim);
    } else if (name == "content-disposition") {
      ReadDisposition(cur, FMsgDisposition, FMsgFileName);
    } else {
      for (const auto &[field, member] : kValues)
        if (name == field) this->*member = HeaderValue(whole);
    }
    if (name == "return-path" && FReturnPath.size() >= 2 && FReturnPath.front() == '<' && FReturnPath.back() == '>')
      FReturnPath = FReturnPath.substr(1, FReturnPath.size() - 2);
  }
  Fire(OnHeaderLine);
}

void TMimeDecode::ReadContentType(std::string_view rest, bool messageLevel) {
  char delim = '\0';
  std::string &type = messageLevel ? FContentType : FPartContentType;
  ReadToken(rest, type, delim);
  const bool multipart = type.rfind("multipart/", 0) == 0;
  ReadParams(rest, [&](const std::string &param, const std::string &value, bool quoted) {
    if (param == "boundary") {
      // A boundary is recognised wherever it stands among the parameters.
      if (value.empty()) return;
      if (!messageLevel)
        FStack.insert(Lower("--" + value));
      else if (multipart)
        FBoundary = Lower("--" + value);
    } else if (param == "name") {
      (messageLevel ? FMsgName : FPartName) = quoted ? Lower('"' + value + '"') : Lower(value);
    } else if (param == "charset") {
      (messageLevel ? FMsgCharset : FPartCharset) = Lower(value);
    }
  });
}

void TMimeDecode::ReadDisposition(std::string_view rest, std::string &disposition, std::string &fileName) {
  char delim = '\0';
  ReadToken(rest, disposition, delim);
  ReadParams(rest, [&](const std::string &param, const std::string &value, bool) {
    if (param == "filename") fileName = value;
  });
}

void TMimeDecode::SingleBodyLine(char *line, std::size_t len) {
  if (FHeaderCount++ == 0) {
    FPartBegun = true;
    Fire(OnPartBegin);
  }
  DecodeBodyLine(line, len);
}

void TMimeDecode::PreambleLine(char *line, std::size_t len) {
  if (IsDelimiter({line, len}, false))
    StartNewPart();
  else
    Deliver(line, len, true, true);
}

void TMimeDecode::StartNewPart() {
  FPartBegun = false;
  Fire(OnPartEnd);
  for (std::string *s : {&FPartContentType, &FPartEncoding, &FPartName, &FPartCharset, &FPartDisposition,
                         &FPartFileName, &FInlineName})
    s->clear();
  FInUUBlock = false;
  FPendingBreak = false;
  FJoining = true;
  FHeaderCount = 0;
  FPartHeaderSeen = false;
  FHandler = THandler::hPartHeader;
}

void TMimeDecode::PartHeaderLine(char *line, std::size_t len) {
  if (len == 0) {
    if (!FPartHeaderSeen) {
      if (FPartNumber < INT_MAX) ++FPartNumber;
      Fire(OnPartHeaderBegin);
    }
    Fire(OnPartHeaderEnd);
    FJoining = false;
    FHeaderCount = 0;
    FHandler = THandler::hPartBody;
    return;
  }
  if (FHeaderCount++ == 0) {
    if (FPartNumber < INT_MAX) ++FPartNumber;
    FPartHeaderSeen = true;
    Fire(OnPartHeaderBegin);
  }
  if (line[0] == ' ' || line[0] == '\t') {
    // Only the first line after a delimiter can start with a blank: the part has no header.
    Fire(OnPartHeaderEnd);
    FJoining = false;
    FHandler = THandler::hPartBody;
    PartBodyLine(line, len);
    return;
  }
  std::string_view cur = UpToNul(line, len);
  std::string name;
  char delim = '\0';
  ReadToken(cur, name, delim);
  if (delim == ':') {
    if (name == "content-type")
      ReadContentType(cur, false);
    else if (name == "content-transfer-encoding")
      ReadToken(cur, FPartEncoding, delim);
    else if (name == "content-disposition")
      ReadDisposition(cur, FPartDisposition, FPartFileName);
  }
  Fire(OnPartHeaderLine);
}

void TMimeDecode::PartBodyLine(char *line, std::size_t len) {
  if (IsDelimiter({line, len}, true)) {
    StartNewPart();  // the closing delimiter too: what follows is read as a part header
    return;
  }
  if (!FPartBegun) {
    FPartBegun = true;
    Fire(OnPartBegin);
  }
  DecodeBodyLine(line, len);
}

void TMimeDecode::DecodeBodyLine(char *line, std::size_t len) {
  if (FPartEncoding == "base64") {
    const std::size_t n = DecodeBase64Line(line, len, line);
    line[n] = '\0';
    Deliver(line, n, false, false);
  } else if (FPartEncoding == "quoted-printable") {
    bool soft = false;
    const std::size_t n = DecodeQuotedPrintableLine(line, len, line, soft);
    line[n] = '\0';
    Deliver(line, n, true, !soft);
  } else if (FPartEncoding == "x-uuencode") {
    UUPartLine(line, len);
  } else {
    Deliver(line, len, true, true);
  }
}

void TMimeDecode::UUPartLine(char *line, std::size_t len) {
  const std::string_view text(line, len);
  if (!FInUUBlock) {
    // Lines outside a block are dropped.
    if (StartsTextCI(text, "begin ") && !IsCutHereLine(text)) {
      FInUUBlock = true;
    }
    return;
  }
  if (IsUUEndLine(text)) {
    FInUUBlock = false;
    return;
  }
  if (StartsTextCI(text, "end") && IsCutHereLine(text)) return;
  FUUOut.clear();
  DecodeUULine(line, len, FUUOut);
  Deliver(FUUOut.data(), FUUOut.size(), false, false);
}

void TMimeDecode::Deliver(const char *data, std::size_t len, bool plainText, bool lineBreak) {
  if (plainText && len > 0 && InlineTakes(data, len)) return;
  FPartLineEnds = plainText && lineBreak;
  if (OnPartLine) OnPartLine(this, data, len);
  if (!DestStream) return;
  if (plainText) {
    // Text keeps its line ends in the file, except the one that belongs to the delimiter.
    if (FPendingBreak) WriteDest("\r\n", 2);
    FPendingBreak = lineBreak;
  }
  if (len > 0) WriteDest(data, len);
}

void TMimeDecode::WriteDest(const char *data, std::size_t len) {
  DestStream->write(data, std::streamsize(len));
  if (!*DestStream) throw std::ios_base::failure("Cannot write the decoded part");
}

bool TMimeDecode::InlineTakes(const char *data, std::size_t len) {
  const std::string_view line(data, len);
  const bool begin = StartsTextCI(line, "begin ");
  const bool end = StartsTextCI(line, "end");
  if ((begin || end) && IsCutHereLine(line)) return true;
  if (FInlineName.empty()) {
    // Only a real block header opens a block, so that prose starting with "Begin" stays.
    std::string name;
    if (!begin || !IsUUBeginLine(line, name)) return false;
    FInlineName = name;
    if (OnInlineDecodeBegin) OnInlineDecodeBegin(this, FInlineName);
    return true;
  }
  if (IsUUEndLine(line)) {
    const std::string name = FInlineName;
    FInlineName.clear();
    if (OnInlineDecodeEnd) OnInlineDecodeEnd(this, name);
    return true;
  }
  if (OnInlineDecodeLine) OnInlineDecodeLine(this, data);
  return true;
}

bool TMimeDecode::IsDelimiter(std::string_view line, bool closingToo) {
  if (line.size() < 3 || line[0] != '-' || line[1] != '-') return false;
  // Blanks after a delimiter are transport padding.
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  FLower.assign(line);
  for (char &c : FLower) c = LowerChar(c);
  auto known = [&] { return FLower == FBoundary || FStack.count(FLower) > 0; };
  if (known()) return true;
  if (!closingToo || FLower.size() < 4 || FLower.compare(FLower.size() - 2, 2, "--") != 0) return false;
  FLower.resize(FLower.size() - 2);
  return known();
}
