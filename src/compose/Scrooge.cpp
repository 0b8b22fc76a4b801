#include "compose/Scrooge.h"

#include "storage/TextCharset.h"

#include "compose/RtfWriter.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

const char *const kLatin1Entities[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "die",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
    "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
    "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
    "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
    "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// A whole signed decimal number in 32 bits, as the control words carry them.
bool ParseInt(const std::string &s, int &value) {
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  if (i >= s.size()) return false;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (neg) v = -v;
  if (v > 2147483647LL) return false;
  value = static_cast<int>(v);
  return true;
}

// Upper-case hexadecimal with at least two digits; negative numbers as 32-bit values.
std::string IntToHex2(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(v));
  return buf;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool HasDigitAt(const std::string &w, size_t i) { return w.size() > i && IsDigit(w[i]); }

// "fi", "li" or "ri" with a number, which may be negative.
bool IsIndentWord(const std::string &w, const char *name) {
  return w.compare(0, 2, name) == 0 && (HasDigitAt(w, 2) || (w.size() > 3 && w[2] == '-' && IsDigit(w[3])));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// Position of the first occurrence of what (lower case) in s, ignoring ASCII case.
size_t FindNoCase(const std::string &s, const std::string &what, size_t from = 0) {
  if (what.empty() || s.size() < what.size()) return std::string::npos;
  // A first character that is no letter matches only itself, so the scan can jump to it.
  const bool letter = (what[0] >= 'a' && what[0] <= 'z') || (what[0] >= 'A' && what[0] <= 'Z');
  for (size_t i = from; i + what.size() <= s.size(); ++i) {
    if (!letter) {
      const void *hit = std::memchr(s.data() + i, what[0], s.size() - what.size() + 1 - i);
      if (!hit) return std::string::npos;
      i = static_cast<size_t>(static_cast<const char *>(hit) - s.data());
    } else if (Lower(s[i]) != what[0]) {
      continue;
    }
    size_t k = 1;
    while (k < what.size() && Lower(s[i + k]) == what[k]) ++k;
    if (k == what.size()) return i;
  }
  return std::string::npos;
}

bool ReplaceFirstNoCase(std::string &s, const std::string &what, const std::string &by) {
  const size_t p = FindNoCase(s, what);
  if (p == std::string::npos) return false;
  // Erase and insert rather than replace: GCC 12 at -O3 warns falsely about the latter here.
  s.erase(p, what.size());
  s.insert(p, by);
  return true;
}

const std::string kGt = "&gt;";

// Typed opening forms that end at the first "&gt;", closed by a closing form, such as a link.
void RestorePaired(std::string &line, const std::string &open, const std::string &openBy,
                   const std::string &close, const std::string &closeBy) {
  while (FindNoCase(line, open) != std::string::npos) {
    const size_t gt = FindNoCase(line, kGt), cl = FindNoCase(line, close);
    if (gt == std::string::npos || cl == std::string::npos || gt >= cl) break;
    ReplaceFirstNoCase(line, open, openBy);
    ReplaceFirstNoCase(line, kGt, ">");
    ReplaceFirstNoCase(line, close, closeBy);
  }
}

// An opening form that ends at the first "&gt;" of the line.
void RestoreOpen(std::string &line, const std::string &open, const std::string &openBy) {
  while (FindNoCase(line, open) != std::string::npos && FindNoCase(line, kGt) != std::string::npos) {
    ReplaceFirstNoCase(line, open, openBy);
    ReplaceFirstNoCase(line, kGt, ">");
  }
}

// A closing form; `start` is searched for, `whole` replaced when present. A start without
// its whole form changes nothing, which ends the step for this line.
void RestoreClose(std::string &line, const std::string &start, const std::string &whole, const std::string &by) {
  while (FindNoCase(line, start) != std::string::npos) {
    if (!ReplaceFirstNoCase(line, whole, by)) break;
  }
}

}  // namespace

TScrooge::TScrooge() { colors_.push_back(""); fonts_.push_back(""); }

void TScrooge::ConfigureForMainWindow() {
  DefaultFontName = "Arial,Helvetica";
  DefaultFontSize = 10;
  FailIfFileExists = false;
  MetaContentType = std::string("text/html; charset=") + kTextCharset;
  Options = {soUseColors,       soUseTitle,        soWrapHTML,       soOptimize,
             soProcessFontFace, soProcessFontSize, soMoreCompatible, soHyperlinks};
}

void TScrooge::ConvertRTF(const std::string &RTF, std::string &HTML) {
  const auto start = std::chrono::steady_clock::now();
  ConvertBody(RTF, HTML);
  if (Options.Contains(soReplaceStrings)) MergeReplaceStrings(ReplaceStrings, HTML);
  std::string head, tail;
  PageFrame(head, tail);
  HTML.insert(0, head);
  HTML += tail;
  Finished(start);
}

TScrooge::TPageParts TScrooge::ConvertParts(const std::string &RTF) {
  const auto start = std::chrono::steady_clock::now();
  TPageParts page;
  ConvertBody(RTF, page.Body);
  PageFrame(page.Head, page.Tail);
  Finished(start);
  return page;
}

void TScrooge::ConvertBody(const std::string &RTF, std::string &HTML) {
  colorOffset_ = Options.Contains(soIPCompatible) ? -1 : 0;
  if (RTF.compare(0, 6, "{\\rtf1") != 0) throw EScroogeError("Scrooge: RTF header is missing. Conversion aborted.");
  continue_ = true;
  percent_ = 0;
  progressCounter_ = 0;
  progressStep_ = static_cast<long long>(std::nearbyint(static_cast<double>(RTF.size()) / 10.0));
  plainSeen_ = false;
  fonts_.assign(1, "");
  lastFace_.clear();
  if (Options.Contains(soUseDefaultFont)) {
    currentSize_ = MapFontSize(DefaultFontSize, small_);
    std::string face = DefaultFontName;
    if (OnGetFontName) OnGetFontName(this, face);
  } else {
    currentSize_ = 2;
  }
  lastSize_ = currentSize_;
  fontNumber_ = 0;
  collecting_ = true;
  colors_.assign(1, "");
  bold_ = italic_ = underline_ = strike_ = inList_ = false;
  alignment_ = 0;
  firstIndent_ = leftIndent_ = rightIndent_ = 0;
  indentPending_ = indentOpen_ = false;
  HTML.clear();

  Tokenize(RTF, HTML);
}

void TScrooge::MergeReplaceStrings(const std::vector<std::string> &Replacements, std::string &Body) {
  // The value stored under a name: the first entry of that name wins.
  auto valueOf = [&Replacements](const std::string &entry, size_t nameLength) -> std::string {
    for (const std::string &e : Replacements) {
      if (e.find('=') != nameLength) continue;
      size_t k = 0;
      while (k < nameLength && Lower(e[k]) == Lower(entry[k])) ++k;
      if (k == nameLength) return e.substr(nameLength + 1);
    }
    return {};
  };
  for (const std::string &entry : Replacements) {
    const size_t eq = entry.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    ReplaceText(Body, entry.substr(0, eq), valueOf(entry, eq), true, true, Body);
  }
}

void TScrooge::PageFrame(std::string &Head, std::string &Tail) {
  Head.clear();
  Tail.clear();
  std::string fontOpen, fontClose;
  if (Options.Contains(soUseDefaultFont)) {
    fontOpen = "<FONT FACE=\"" + DefaultFontName + "\" SIZE=" + std::to_string(MapFontSize(DefaultFontSize, small_)) + ">";
    fontClose = "</FONT>";
  }
  if (!Options.Contains(soWrapHTML)) {
    Head = fontOpen;
    Tail = fontClose + "\r\n";
    return;
  }
  Head = "<HTML>\r\n<HEAD>\r\n";
  if (Options.Contains(soUseTitle)) {
    std::string title;
    EncodeText(Title, title);
    Head += "<TITLE>" + title + "</TITLE>\r\n";
  }
  for (const std::string &t : Headtags) Head += t + "\r\n";
  auto meta = [&Head](const char *attr, const char *key, const std::string &value) {
    if (!value.empty()) Head += std::string("<meta ") + attr + "=\"" + key + "\" content=\"" + value + "\">\r\n";
  };
  meta("name", "author", MetaAuthor);
  meta("http-equiv", "content-type", MetaContentType);
  meta("name", "description", MetaDescription);
  meta("name", "generator", MetaGenerator);
  meta("name", "keywords", MetaKeywords);
  Head += "</HEAD>\r\n<BODY";
  if (BodyOptions.empty()) {
    Head += ">";
  } else if (BodyOptions.size() == 1) {
    Head += " " + BodyOptions[0] + ">\r\n";
  } else {
    Head += " ";
    for (const std::string &b : BodyOptions) Head += b + "\r\n";
    Head += ">\r\n";
  }
  Head += fontOpen;
  Tail = fontClose + "\r\n</BODY>\r\n</HTML>";
}

void TScrooge::Finished(std::chrono::steady_clock::time_point start) {
  if (continue_ && OnProgress) {
    bool c = true;
    OnProgress(this, 100, c);
  }
  elapsed_ = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void TScrooge::Tokenize(const std::string &RTF, std::string &HTML) {
  const size_t n = RTF.size();
  bool inControl = true;
  std::string word, line, text;
  bool lineHasBreak = false;
  size_t sinceMessages = 0;
  auto emit = [&](const std::string &t) {
    if (t.empty()) return;
    line += t;
    if (t.find('\r') != std::string::npos) lineHasBreak = true;
  };
  auto isSpecial = [](char c) { return c == '\\' || c == '{' || c == '}'; };
  size_t i = 0;
  // The last two characters (the closing brace and the line end) are never read.
  while (n >= 2 && i < n - 2) {
    const char ch = RTF[i];
    if (inControl) {
      if (IsDigit(ch) || (ch >= 'a' && ch <= 'z') || ch == '*' || ch == '-') {
        word += ch;
      } else if (ch == '~') {
        ProcessControlWord("~", text);
        emit(text);
        inControl = false;
      } else if (ch == '\'') {
        const std::string token = RTF.substr(i, 3);
        i += 2;
        ProcessControlWord(token, text);
        emit(text);
        inControl = false;
      } else {
        if (!word.empty()) {
          ProcessControlWord(word, text);
          emit(text);
          word.clear();
        }
        if (ch == '\r' || ch == ' ') inControl = false;
      }
    } else if (collecting_) {
      if (fontNumber_ >= 0 && static_cast<size_t>(fontNumber_) == fonts_.size()) fonts_.emplace_back();
      if (fontNumber_ >= 0 && static_cast<size_t>(fontNumber_) < fonts_.size()) fonts_[fontNumber_] += ch;
    } else {
      if (indentPending_) line += OpenIndent();
      switch (ch) {
        case '&': line += "&amp;"; break;
        case '<': line += "&lt;"; break;
        case '>': line += "&gt;"; break;
        case '\r': case '\n': break;
        default: line += ch;
      }
    }
    if (ch == '}') inControl = false;

    ++i;
    if (i < n && isSpecial(RTF[i])) {
      inControl = true;
      if (ch == '\\') {
        // An escaped backslash or brace stands for itself.
        inControl = false;
        line += RTF[i];
        ++i;
        if (i < n && isSpecial(RTF[i])) inControl = true;
      }
    }

    if (OnProcessMessages && ++sinceMessages >= ProcessMessagesInterval) {
      sinceMessages = 0;
      OnProcessMessages(this);
    }
    if (OnProgress && ++progressCounter_ > progressStep_) {
      progressCounter_ = 0;
      percent_ = std::min(percent_ + 10, 100);
      OnProgress(this, percent_, continue_);
      if (!continue_) break;
    }
    if (lineHasBreak) {
      if (Options.Contains(soHyperlinks)) RestoreTypedTags(line);
      HTML += line;
      line.clear();
      lineHasBreak = false;
    }
  }
}

void TScrooge::RestoreTypedTags(std::string &Line) const {
  if (Line.find("&lt;") == std::string::npos) return;
  RestorePaired(Line, "&lt;a href=", "<a href=", "&lt;/a&gt;", "</a>");
  RestoreOpen(Line, "&lt;img src=", "<img src=");
  RestorePaired(Line, "&lt;center", "<center", "&lt;/center&gt;", "</center>");
  RestoreOpen(Line, "&lt;div align=", "<div align=");
  RestoreClose(Line, "&lt;/div&gt;", "&lt;/div&gt;", "</div>");
  RestoreOpen(Line, "&lt;pre", "<pre");
  RestoreClose(Line, "&lt;/pre", "&lt;/pre&gt;", "</pre>");
  RestoreOpen(Line, "&lt;body", "<body");
  RestoreOpen(Line, "&lt;table", "<table");
  RestoreClose(Line, "&lt;/table&gt;", "&lt;/table&gt;", "</table>");
  RestoreOpen(Line, "&lt;td", "<td");
  RestoreClose(Line, "&lt;/td", "&lt;/td&gt;", "</td>");
  RestoreOpen(Line, "&lt;tr", "<tr");
  RestoreClose(Line, "&lt;/tr", "&lt;/tr&gt;", "</tr>");
}

void TScrooge::ProcessControlWord(const std::string &Word, std::string &Text) {
  Text.clear();
  const std::string &w = Word;
  if (w == "par") {
    // An indented paragraph is a block of its own; the next one opens its block again.
    if (indentOpen_) {
      Text = "</DIV>\r\n";
      indentOpen_ = false;
      indentPending_ = firstIndent_ != 0 || leftIndent_ != 0 || rightIndent_ != 0;
    } else {
      Text = inList_ ? "</LI>\r\n" : "<BR>\r\n";
    }
  }
  else if (w == "ul") { Text = "<U>"; underline_ = true; }
  else if (w == "ul0" || w == "ulnone") { Text = "</U>"; underline_ = false; }
  else if (w == "b") { Text = "<B>"; bold_ = true; }
  else if (w == "b0") { Text = "</B>"; bold_ = false; }
  else if (w == "i") { Text = "<I>"; italic_ = true; }
  else if (w == "i0") { Text = "</I>"; italic_ = false; }
  else if (w == "strike") { Text = "<STRIKE>"; strike_ = true; }
  else if (w == "strike0") { Text = "</STRIKE>"; strike_ = false; }
  else if (w == "tab") Text = "\t";
  // RTF spells these words with a final "e"; both forms are accepted.
  else if (w == "rdblquot" || w == "ldblquot" || w == "rdblquote" || w == "ldblquote") Text = "\"";
  else if (w == "rquote" || w == "lquote") Text = "'";
  else if (w.size() == 3 && w[0] == '\'' && HexDigit(w[1]) >= 0 && HexDigit(w[2]) >= 0)
    CharToEntity(HexDigit(w[1]) * 16 + HexDigit(w[2]), inList_, Text);
  else if (w == "qr") { Text = "\r\n<p align=right>\r\n"; alignment_ = 1; }
  else if (w == "qc") { Text = "\r\n<p align=center>\r\n"; alignment_ = 2; }
  else if (w == "pnlvlblt") { Text = "\r\n<UL>\r\n"; inList_ = true; }
  else if (w == "pntext") Text = "<LI>";
  else if (w == "page") Text = "<HR>\r\n";
  else if (w == "endash") Text = "&ndash;";
  else if (w == "emdash") Text = "&mdash;";
  else if (w == "bullet") Text = inList_ ? "" : "&bull;";
  else if (IsIndentWord(w, "fi")) IndentChange(firstIndent_, w.substr(2));
  else if (IsIndentWord(w, "li")) IndentChange(leftIndent_, w.substr(2));
  else if (IsIndentWord(w, "ri")) IndentChange(rightIndent_, w.substr(2));
  else if (w == "pard") {
    if (indentOpen_) Text += "</DIV>";
    indentOpen_ = indentPending_ = false;
    firstIndent_ = leftIndent_ = rightIndent_ = 0;
    if (inList_) { Text += "</UL>\r\n\r\n"; inList_ = false; }
    if (alignment_ != 0) { Text += "</p>"; alignment_ = 0; }
    if (Options.Contains(soIPCompatible)) collecting_ = false;
  } else if (w == "plain") {
    if (strike_) Text += "</STRIKE>";
    if (underline_) Text += "</U>";
    if (italic_) Text += "</I>";
    if (bold_) Text += "</B>";
    strike_ = underline_ = italic_ = bold_ = false;
    if (colorNumber_ > 0) { Text += "</FONT>"; colorNumber_ = 0; }
    plainSeen_ = true;
    small_ = false;
    if (Options.Contains(soProcessFontSize) && !(Options.Contains(soOptimize) && lastSize_ == currentSize_)) {
      currentSize_ = MapFontSize(Options.Contains(soUseDefaultFont) ? DefaultFontSize : 10, small_);
      lastSize_ = currentSize_;
      Text += "<FONT SIZE=" + std::to_string(currentSize_) + ">";
    }
  } else if (w == "~") Text = "&nbsp;";
  else if (w.compare(0, 2, "fs") == 0 && HasDigitAt(w, 2)) {
    if (Options.Contains(soProcessFontSize)) SizeChange(w.substr(2), Text);
  } else if (w[0] == 'f' && HasDigitAt(w, 1)) {
    if (Options.Contains(soProcessFontFace)) FaceChange(w.substr(1), Text);
  } else if (w == "colortbl") {
    collecting_ = false;
    FinishFontTable();
  } else if (w.compare(0, 2, "cf") == 0 && HasDigitAt(w, 2)) {
    if (Options.Contains(soUseColors)) ColorChange(w.substr(2), Text);
  } else if (Options.Contains(soUseColors) && !plainSeen_) {
    ColorTableEntry(w, Text);
  }
  // Text of an indented paragraph (not a tag or a break) opens its block first.
  if (indentPending_ && !Text.empty() && Text[0] != '<' && Text[0] != '\r') Text = OpenIndent() + Text;
}

// A list indents by itself, so its paragraphs' indents are left to it.
void TScrooge::IndentChange(int &Indent, const std::string &Number) {
  int n = 0;
  Indent = ParseInt(Number, n) ? std::clamp(n, -kMaxIndentTwips, kMaxIndentTwips) : 0;
  indentPending_ = !inList_ && !indentOpen_ && (firstIndent_ != 0 || leftIndent_ != 0 || rightIndent_ != 0);
}

std::string TScrooge::OpenIndent() {
  indentPending_ = false;
  indentOpen_ = true;
  std::string style;
  auto add = [&style](const char *property, int twips) {
    if (twips == 0) return;
    char points[32];
    std::snprintf(points, sizeof points, "%g", twips / 20.0);
    style += std::string(style.empty() ? "" : ";") + property + ":" + points + "pt";
  };
  add("margin-left", leftIndent_);
  add("text-indent", firstIndent_);
  add("margin-right", rightIndent_);
  // The DIV ends an open "p align", so it carries the alignment itself.
  if (alignment_ != 0) style += std::string(";text-align:") + (alignment_ == 1 ? "right" : "center");
  return "<DIV style=\"" + style + "\">";
}

void TScrooge::SizeChange(const std::string &Number, std::string &Text) {
  int n = 0;
  const int points = ParseInt(Number, n) ? n / 2 : 10;
  currentSize_ = MapFontSize(points, small_);
  if (!(Options.Contains(soOptimize) && currentSize_ == lastSize_))
    Text = small_ ? "<SMALL>" : "<FONT SIZE=" + std::to_string(currentSize_) + ">";
  lastSize_ = currentSize_;
}

void TScrooge::FaceChange(const std::string &Number, std::string &Text) {
  int n = 0;
  fontNumber_ = ParseInt(Number, n) ? n : 0;
  if (collecting_) return;
  int index = fontNumber_;
  if (index < 0 || static_cast<size_t>(index) >= fonts_.size()) index = 0;
  std::string name;
  GetFontName(index, name);
  if (name == "Symbol" || (Options.Contains(soOptimize) && name == lastFace_)) return;
  Text = "<FONT FACE=\"" + name + "\">";
  lastFace_ = name;
}

void TScrooge::ColorChange(const std::string &Number, std::string &Text) {
  int n = 0;
  colorNumber_ = ParseInt(Number, n) ? n : 0;
  const long long index = static_cast<long long>(colorNumber_) + colorOffset_;
  const std::string &entry =
      index >= 0 && static_cast<unsigned long long>(index) < colors_.size() ? colors_[index] : colors_[0];
  Text = "<FONT COLOR=\"#" + entry + "\">";
}

void TScrooge::ColorTableEntry(const std::string &Word, std::string &) {
  auto number = [&Word](size_t len, std::string &hex) {
    if (Word.size() <= len || !(IsDigit(Word[len]) || Word[len] == '-')) return false;
    int v = 0;
    hex = ParseInt(Word.substr(len), v) ? IntToHex2(v) : "00";
    return true;
  };
  std::string hex;
  if (Word.compare(0, 3, "red") == 0 && number(3, hex)) colors_.back() = hex;
  else if (Word.compare(0, 5, "green") == 0 && number(5, hex)) colors_.back() += hex;
  else if (Word.compare(0, 4, "blue") == 0 && number(4, hex)) {
    colors_.back() += hex;
    colors_.emplace_back();
  }
}

void TScrooge::FinishFontTable() {
  for (std::string &f : fonts_) {
    const size_t semi = f.find(';');
    if (semi != std::string::npos) f.erase(semi);
    if (!Options.Contains(soMoreCompatible)) continue;
    if (f == "Arial") f = "Arial,Helvetica";
    else if (f.compare(0, 7, "Courier") == 0) f = "Courier,Courier New";
    else if (f.compare(0, 5, "Times") == 0) f = "Times";
  }
}

void TScrooge::GetFontName(int Index, std::string &Name) {
  Name = Index >= 0 && static_cast<size_t>(Index) < fonts_.size() ? fonts_[Index] : std::string();
  if (OnGetFontName) OnGetFontName(this, Name);
}

int TScrooge::MapFontSize(int Points, bool &Small) {
  int size;
  if (Points >= 0 && Points <= 8) size = 0;
  else if (Points >= 9 && Points <= 11) size = 2;
  else if (Points >= 12 && Points <= 13) size = 3;
  else if (Points >= 14 && Points <= 15) size = 4;
  else if (Points >= 16 && Points <= 18) size = 5;
  else if (Points >= 19 && Points <= 27) size = 6;
  else size = 9;
  if (OnGetFontSize) OnGetFontSize(this, Points, size);
  Small = size < 2;
  return size;
}

void TScrooge::CharToEntity(int Code, bool InList, std::string &Text) {
  if (Code >= 160 && Code <= 255) {
    if (Code == 183 && InList) Text.clear();
    else Text = std::string("&") + kLatin1Entities[Code - 160] + ";";
  } else {
    Text.assign(1, static_cast<char>(Code));
  }
}

void TScrooge::EncodeText(const std::string &Text, std::string &Result) {
  std::string out, one;
  for (char c : Text) {
    CharToEntity(static_cast<unsigned char>(c), false, one);
    out += one;
  }
  Result = std::move(out);
}

void TScrooge::ReplaceText(const std::string &Source, const std::string &Find, const std::string &Replace,
                           bool IgnoreCase, bool All, std::string &Result) {
  if (!Find.empty() && Replace.find(Find) != std::string::npos)
    throw EScroogeError("Scrooge: recursive string replace");
  size_t p = Find.empty() ? std::string::npos : IgnoreCase ? FindNoCase(Source, LowerCase(Find)) : Source.find(Find);
  // Nothing to replace: no copy of the text.
  if (p == std::string::npos) {
    if (&Result != &Source) Result = Source;
    return;
  }
  std::string r = Source;
  // Every search after the first one goes from the start again, with regard to case. Text
  // before the last replacement, less the length of Find, cannot hold a match, so the search
  // resumes there: the same result without scanning the whole text each time.
  while (p != std::string::npos) {
    r.replace(p, Find.size(), Replace);
    if (!All) break;
    const size_t from = p >= Find.size() - 1 ? p - (Find.size() - 1) : 0;
    p = r.find(Find, from);
  }
  Result = std::move(r);
}

void TScrooge::ConvertRichEdit(const TRichDocument &RichEdit, std::string &HTML) {
  ConvertRTF(JoinLines(SplitLines(WriteRtf(RichEdit))), HTML);
}

bool TScrooge::ConvertRichEditToFile(const TRichDocument &RichEdit, const std::string &FileName) {
  if (FailIfFileExists && FileExists(FileName)) throw EScroogeError("File exists");
  std::string html;
  ConvertRichEdit(RichEdit, html);
  WriteFileAtomic(FileName, JoinLines(SplitLines(html)));
  return true;
}
