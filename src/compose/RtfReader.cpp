#include "compose/RtfReader.h"

#include "storage/Ansi.h"

#include <algorithm>
#include <climits>
#include <map>

namespace {

enum class TDest { dNormal, dSkip, dFontTable, dColorTable, dBullet };

// Everything a group saves and restores.
struct TGroupState {
  TDest Dest = TDest::dNormal;
  int Font = -1;  // index into the font table, -1 = the default font
  int SizeHalfPoints = 24;
  int Color = 0;
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
  int UnicodeSkip = 1;
  TRichAlign Align = TRichAlign::raLeft;
  int FirstIndent = 0, LeftIndent = 0, RightIndent = 0;  // twips, as written
};

// Destinations whose content is not text of the body.
const char *const kSkipped[] = {
    "stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf", "footer", "footerl",
    "footerr", "footerf", "footnote", "listtable", "listoverridetable", "rsidtbl", "generator",
    "xmlnstbl", "themedata", "colorschememapping", "latentstyles", "datastore", "object", "fldinst",
    "filetbl", "revtbl", "field_never", "pntxta", "pntxtb", "annotation", "atnid", "atnauthor",
    "shp", "shpinst", "nonshppict", "mmathPr", "bkmkstart", "bkmkend", "userprops", "docvar",
    "template", "objdata", "company", "operator", "author", "title", "subject", "comment",
    "doccomm", "keywords", "category", "manager", "hlinkbase", "passwordhash", "wgrffmtfilter",
    "pgdsctbl", "ftnsep", "ftnsepc", "aftnsep", "aftnsepc", "listtext", "pntext", "protusertbl",
    "fchars", "lchars", "xe", "tc", "txe", "rxe", "sp", "sn", "sv"};

bool IsSkippedDestination(const std::string &w) {
  for (const char *s : kSkipped)
    if (w == s) return true;
  return false;
}

constexpr size_t kMaxDepth = 256;
constexpr size_t kMaxTableEntries = 4096;

struct TFormatKey {
  int Font, Size, Color;
  bool Bold, Italic, Underline, StrikeOut;
  bool operator==(const TFormatKey &) const = default;
};

class TRtfReader {
public:
  explicit TRtfReader(const std::string &rtf) : in_(rtf) {}

  TRichDocument Run() {
    size_t start = in_.find('{');
    if (start == std::string::npos) return Finish();
    pos_ = start;
    while (pos_ < in_.size()) {
      const char c = in_[pos_];
      if (c == '{') {
        ++pos_;
        OpenGroup();
      } else if (c == '}') {
        ++pos_;
        if (!CloseGroup()) break;  // end of the outer group
      } else if (c == '\\') {
        ++pos_;
        ControlSymbolOrWord();
      } else {
        ++pos_;
        groupStart_ = false;
        if (c == '\r' || c == '\n' || c == '\0') continue;
        Char(static_cast<unsigned char>(c));
      }
    }
    return Finish();
  }

private:
  void OpenGroup() {
    if (stack_.size() >= kMaxDepth) {
      ++excessDepth_;
      return;
    }
    stack_.push_back(st_);
    groupStart_ = true;
  }

  // False when the outer group closed.
  bool CloseGroup() {
    if (excessDepth_ > 0) {
      --excessDepth_;
      return true;
    }
    if (st_.Dest == TDest::dFontTable && !fontName_.empty()) EndFontName();
    if (stack_.empty()) return false;
    st_ = stack_.back();
    stack_.pop_back();
    groupStart_ = false;
    return !stack_.empty();
  }

  void ControlSymbolOrWord() {
    if (pos_ >= in_.size()) return;
    const char c = in_[pos_];
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      size_t s = pos_;
      while (pos_ < in_.size() && ((in_[pos_] >= 'a' && in_[pos_] <= 'z') || (in_[pos_] >= 'A' && in_[pos_] <= 'Z')))
        ++pos_;
      std::string word = in_.substr(s, std::min<size_t>(pos_ - s, 40));
      bool hasParam = false;
      long long param = 0;
      bool neg = false;
      if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && isdigit((unsigned char)in_[pos_ + 1])) {
        neg = true;
        ++pos_;
      }
      while (pos_ < in_.size() && isdigit(static_cast<unsigned char>(in_[pos_]))) {
        hasParam = true;
        if (param < INT_MAX) param = param * 10 + (in_[pos_] - '0');
        ++pos_;
      }
      if (param > INT_MAX) param = INT_MAX;
      if (neg) param = -param;
      if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
      Word(word, hasParam, static_cast<int>(param));
      groupStart_ = false;
      return;
    }
    ++pos_;
    switch (c) {
      case '\\': case '{': case '}': Char(static_cast<unsigned char>(c)); break;
      case '\'': {
        if (pos_ + 2 > in_.size()) {
          pos_ = in_.size();
          break;
        }
        const int hi = HexValue(in_[pos_]), lo = HexValue(in_[pos_ + 1]);
        if (hi >= 0 && lo >= 0) {
          pos_ += 2;
          Char(static_cast<unsigned char>(hi * 16 + lo));
        }
        break;
      }
      case '~': Char(0xA0); break;
      case '_': Char('-'); break;
      case '*':
        // An ignorable destination: skipped unless it is one we understand.
        if (groupStart_) starred_ = true;
        return;
      case '\r': case '\n': EndParagraph(); break;
      default: break;  // \- optional hyphen, \| and others
    }
    groupStart_ = false;
  }

  static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  void Word(const std::string &w, bool hasParam, int param) {
    const bool atGroupStart = groupStart_;
    const bool starred = starred_;
    starred_ = false;
    if (st_.Dest == TDest::dSkip) {
      if (w == "bin" && hasParam && param > 0) SkipBytes(param);
      return;
    }
    if (atGroupStart) {
      if (w == "fonttbl") { st_.Dest = TDest::dFontTable; return; }
      if (w == "colortbl") { st_.Dest = TDest::dColorTable; colorOpen_ = false; return; }
      if (w == "pn") { st_.Dest = TDest::dBullet; return; }
      if (w == "pntext" || w == "listtext") {
        // The bullet drawn before a list paragraph: the paragraph is a bullet item.
        paraBullet_ = true;
        st_.Dest = TDest::dSkip;
        return;
      }
      if (starred || IsSkippedDestination(w)) { st_.Dest = TDest::dSkip; return; }
    }
    if (st_.Dest == TDest::dFontTable) { FontTableWord(w, hasParam, param); return; }
    if (st_.Dest == TDest::dColorTable) { ColorTableWord(w, param); return; }
    if (st_.Dest == TDest::dBullet) {
      if (w == "pnlvlblt") bulletProp_ = true;
      return;
    }
    const bool on = !hasParam || param != 0;
    if (w == "par" || w == "page" || w == "sect") EndParagraph();
    else if (w == "pard") {
      st_.Align = TRichAlign::raLeft;
      st_.FirstIndent = st_.LeftIndent = st_.RightIndent = 0;
      bulletProp_ = false;
    }
    else if (w == "fi") st_.FirstIndent = Indent(hasParam, param);
    else if (w == "li") st_.LeftIndent = Indent(hasParam, param);
    else if (w == "ri") st_.RightIndent = Indent(hasParam, param);
    else if (w == "deff") defaultFont_ = param;
    else if (w == "plain") {
      st_.Font = -1; st_.SizeHalfPoints = 24; st_.Color = 0;
      st_.Bold = st_.Italic = st_.Underline = st_.StrikeOut = false;
    }
    else if (w == "f") st_.Font = hasParam ? param : -1;
    else if (w == "fs") { if (hasParam && param > 0) st_.SizeHalfPoints = std::min(param, 3276); }
    else if (w == "cf") st_.Color = hasParam ? param : 0;
    else if (w == "b") st_.Bold = on;
    else if (w == "i") st_.Italic = on;
    else if (w == "strike" || w == "striked") st_.StrikeOut = on;
    else if (w == "ulnone") st_.Underline = false;
    else if (w.size() >= 2 && w.compare(0, 2, "ul") == 0 && w != "ulc") st_.Underline = on;
    else if (w == "qc") st_.Align = TRichAlign::raCenter;
    else if (w == "qr") st_.Align = TRichAlign::raRight;
    else if (w == "ql" || w == "qj") st_.Align = TRichAlign::raLeft;
    else if (w == "ls") { if (hasParam && param > 0) bulletProp_ = true; }
    else if (w == "pnlvlblt") bulletProp_ = true;
    else if (w == "tab") Char('\t');
    else if (w == "line") Char('\v');
    else if (w == "uc") st_.UnicodeSkip = hasParam ? std::clamp(param, 0, 16) : 1;
    else if (w == "u" && hasParam) Unicode(param);
    else if (w == "emdash") Char(0x97);
    else if (w == "endash") Char(0x96);
    else if (w == "lquote") Char(0x91);
    else if (w == "rquote") Char(0x92);
    else if (w == "ldblquote") Char(0x93);
    else if (w == "rdblquote") Char(0x94);
    else if (w == "bullet") Char(0x95);
    else if (w == "emspace" || w == "enspace" || w == "qmspace") Char(' ');
    else if (w == "bin" && hasParam && param > 0) SkipBytes(param);
  }

  static int Indent(bool hasParam, int param) {
    return hasParam ? std::clamp(param, -kMaxIndentTwips, kMaxIndentTwips) : 0;
  }

  // The paragraph properties in force at its end; a bullet's own hanging indent is not the user's.
  void SetParagraphProperties() {
    para_.Align = st_.Align;
    para_.Bullet = bulletProp_ || paraBullet_;
    const int hang = para_.Bullet ? kBulletIndentTwips : 0;
    para_.FirstIndent = st_.FirstIndent + hang;
    para_.LeftIndent = st_.LeftIndent - hang;
    para_.RightIndent = st_.RightIndent;
  }

  void SkipBytes(int n) { pos_ = std::min(in_.size(), pos_ + static_cast<size_t>(n)); }

  void Unicode(int code) {
    if (code < 0) code += 65536;
    const std::string a = QStringToAnsi(QString(QChar(static_cast<char16_t>(code & 0xFFFF))));
    if (!a.empty() && static_cast<unsigned char>(a[0]) >= 0x20) Char(static_cast<unsigned char>(a[0]));
    // The next characters are the fallback for readers without Unicode.
    for (int skip = st_.UnicodeSkip; skip > 0 && pos_ < in_.size(); --skip) {
      if (in_[pos_] == '\\' && pos_ + 1 < in_.size() && in_[pos_ + 1] == '\'') pos_ = std::min(in_.size(), pos_ + 4);
      else if (in_[pos_] == '{' || in_[pos_] == '}' || in_[pos_] == '\\') break;
      else ++pos_;
    }
  }

  void FontTableWord(const std::string &w, bool hasParam, int param) {
    if (w == "f" && hasParam) {
      if (!fontName_.empty()) EndFontName();
      fontNumber_ = param;
    }
  }

  void EndFontName() {
    std::string name = fontName_;
    fontName_.clear();
    const size_t semi = name.find(';');
    if (semi != std::string::npos) name.erase(semi);
    name = CleanFaceName(name);
    if (fontNumber_ >= 0 && fonts_.size() < kMaxTableEntries && fonts_.find(fontNumber_) == fonts_.end())
      fonts_[fontNumber_] = name;
  }

  void ColorTableWord(const std::string &w, int param) {
    const int v = std::clamp(param, 0, 255);
    if (w == "red") { colorOpen_ = true; color_ = (color_ & 0x00FFFF) | (TRgb(v) << 16); }
    else if (w == "green") { colorOpen_ = true; color_ = (color_ & 0xFF00FF) | (TRgb(v) << 8); }
    else if (w == "blue") { colorOpen_ = true; color_ = (color_ & 0xFFFF00) | TRgb(v); }
  }

  void Char(unsigned char c) {
    switch (st_.Dest) {
      case TDest::dSkip: case TDest::dBullet: return;
      case TDest::dFontTable:
        if (fontName_.size() < 256) fontName_ += static_cast<char>(c);
        if (c == ';') EndFontName();
        return;
      case TDest::dColorTable:
        if (c == ';') {
          // An entry without a colour is the "automatic" colour: the default text colour.
          if (colors_.size() < kMaxTableEntries) colors_.push_back(colorOpen_ ? color_ : 0);
          colorOpen_ = false;
          color_ = 0;
        }
        return;
      case TDest::dNormal: break;
    }
    if (c < 0x20 && c != '\t' && c != '\v') return;
    std::vector<TRichRun> &runs = para_.Runs;
    // Most characters continue the run before them in the same state.
    const TFormatKey key{st_.Font, st_.SizeHalfPoints, st_.Color, st_.Bold, st_.Italic, st_.Underline, st_.StrikeOut};
    if (runs.empty() || !(key == lastKey_)) {
      TRichRun fmt = CurrentFormat();
      if (runs.empty() || !runs.back().SameFormat(fmt)) runs.push_back(std::move(fmt));
      lastKey_ = key;
    }
    runs.back().Text += static_cast<char>(c);
  }

  TRichRun CurrentFormat() const {
    TRichRun r;
    auto f = fonts_.find(st_.Font < 0 ? defaultFont_ : st_.Font);
    if (f == fonts_.end()) f = fonts_.find(defaultFont_);
    if (f == fonts_.end()) f = fonts_.begin();
    if (f != fonts_.end()) r.Face = f->second;
    r.SizeHalfPoints = st_.SizeHalfPoints;
    r.Color = st_.Color >= 0 && static_cast<size_t>(st_.Color) < colors_.size() ? colors_[st_.Color] : 0;
    r.Bold = st_.Bold;
    r.Italic = st_.Italic;
    r.Underline = st_.Underline;
    r.StrikeOut = st_.StrikeOut;
    return r;
  }

  void EndParagraph() {
    if (st_.Dest != TDest::dNormal) return;
    SetParagraphProperties();
    paraBullet_ = false;
    doc_.Paragraphs.push_back(std::move(para_));
    para_ = TRichParagraph();
  }

  TRichDocument Finish() {
    // A last paragraph without a paragraph mark still counts when it holds text.
    if (!para_.Runs.empty() || doc_.Paragraphs.empty()) {
      SetParagraphProperties();
      doc_.Paragraphs.push_back(std::move(para_));
    }
    return std::move(doc_);
  }

  const std::string &in_;
  size_t pos_ = 0;
  TGroupState st_;
  std::vector<TGroupState> stack_;
  size_t excessDepth_ = 0;
  bool groupStart_ = false;
  bool starred_ = false;
  bool bulletProp_ = false;  // a list paragraph property, kept until \pard
  bool paraBullet_ = false;  // a bullet text group seen in this paragraph
  std::map<int, std::string> fonts_;
  int fontNumber_ = -1;
  int defaultFont_ = 0;
  std::string fontName_;
  std::vector<TRgb> colors_;
  TRgb color_ = 0;
  bool colorOpen_ = false;
  TRichParagraph para_;
  TFormatKey lastKey_{};
  TRichDocument doc_;
};

}  // namespace

TRichDocument ReadRtf(const std::string &rtf) { return TRtfReader(rtf).Run(); }
