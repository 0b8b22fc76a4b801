#include "compose/RtfWriter.h"

#include <algorithm>

namespace {

const char kHex[] = "0123456789abcdef";

class TRtfWriter {
public:
  explicit TRtfWriter(const TRichDocument &doc) : doc_(doc) {}

  std::string Run() {
    CollectTables();
    out_.reserve(EstimateSize());
    out_ += "{\\rtf1\\ansi\\deff0{\\fonttbl";
    for (size_t i = 0; i < faces_.size(); ++i) {
      out_ += "{\\f" + std::to_string(i) + "\\fnil ";
      WriteText(faces_[i], true);
      out_ += ";}";
    }
    out_ += "}\r\n{\\colortbl";
    for (TRgb c : colors_)
      out_ += "\\red" + std::to_string((c >> 16) & 0xFF) + "\\green" + std::to_string((c >> 8) & 0xFF) + "\\blue" +
              std::to_string(c & 0xFF) + ";";
    out_ += "}\r\n";
    const TRichParagraph *prev = nullptr;
    for (const TRichParagraph &p : doc_.Paragraphs) {
      WriteParagraphStart(p, prev);
      for (const TRichRun &r : p.Runs) {
        if (r.Text.empty()) continue;
        WriteFormat(r);
        WriteText(r.Text, false);
      }
      Word("\\par");
      out_ += "\r\n";
      delimit_ = false;
      prev = &p;
    }
    if (doc_.Paragraphs.empty()) out_ += "\\pard\\par\r\n";
    out_ += "}\r\n";
    return std::move(out_);
  }

private:
  void CollectTables() {
    colors_.push_back(0);
    for (const TRichParagraph &p : doc_.Paragraphs)
      for (const TRichRun &r : p.Runs) {
        if (r.Text.empty()) continue;
        if (std::find(faces_.begin(), faces_.end(), FaceOf(r)) == faces_.end()) faces_.push_back(FaceOf(r));
        if (std::find(colors_.begin(), colors_.end(), r.Color) == colors_.end()) colors_.push_back(r.Color);
      }
    if (faces_.empty()) faces_.push_back("Arial");
  }

  size_t EstimateSize() const {
    size_t n = 256;
    for (const TRichParagraph &p : doc_.Paragraphs)
      for (const TRichRun &r : p.Runs) n += r.Text.size() + 24;
    return n;
  }

  static std::string FaceOf(const TRichRun &r) { return CleanFaceName(r.Face); }

  int FaceIndex(const TRichRun &r) const {
    return static_cast<int>(std::find(faces_.begin(), faces_.end(), FaceOf(r)) - faces_.begin());
  }
  int ColorIndex(TRgb c) const {
    return static_cast<int>(std::find(colors_.begin(), colors_.end(), c) - colors_.begin());
  }

  void Word(const std::string &w) {
    out_ += w;
    delimit_ = true;
  }

  void WriteParagraphStart(const TRichParagraph &p, const TRichParagraph *prev) {
    // Paragraph properties last until \pard, so only a change starts a new set.
    const bool changed = prev == nullptr || prev->Align != p.Align || prev->Bullet != p.Bullet ||
                         prev->FirstIndent != p.FirstIndent || prev->LeftIndent != p.LeftIndent ||
                         prev->RightIndent != p.RightIndent;
    if (changed) {
      Word("\\pard");
      if (p.Align == TRichAlign::raCenter) Word("\\qc");
      if (p.Align == TRichAlign::raRight) Word("\\qr");
      if (p.Bullet) out_ += "{\\*\\pn\\pnlvlblt\\pnindent360{\\pntxtb\\'b7}}";
      const int hang = p.Bullet ? kBulletIndentTwips : 0;
      if (p.FirstIndent - hang != 0) Word("\\fi" + std::to_string(p.FirstIndent - hang));
      if (p.LeftIndent + hang != 0) Word("\\li" + std::to_string(p.LeftIndent + hang));
      if (p.RightIndent != 0) Word("\\ri" + std::to_string(p.RightIndent));
    }
    if (p.Bullet) {
      out_ += "{\\pntext\\'b7\\tab}";
      delimit_ = false;
    }
  }

  void WriteFormat(const TRichRun &r) {
    if (!hasFormat_) {
      Word("\\plain\\f" + std::to_string(FaceIndex(r)) + "\\fs" + std::to_string(r.SizeHalfPoints));
      if (r.Color != 0) Word("\\cf" + std::to_string(ColorIndex(r.Color)));
      if (r.Bold) Word("\\b");
      if (r.Italic) Word("\\i");
      if (r.Underline) Word("\\ul");
      if (r.StrikeOut) Word("\\strike");
      hasFormat_ = true;
      cur_ = r;
      return;
    }
    if (FaceOf(r) != FaceOf(cur_)) Word("\\f" + std::to_string(FaceIndex(r)));
    if (r.SizeHalfPoints != cur_.SizeHalfPoints) Word("\\fs" + std::to_string(r.SizeHalfPoints));
    if (r.Color != cur_.Color) Word("\\cf" + std::to_string(ColorIndex(r.Color)));
    if (r.Bold != cur_.Bold) Word(r.Bold ? "\\b" : "\\b0");
    if (r.Italic != cur_.Italic) Word(r.Italic ? "\\i" : "\\i0");
    if (r.Underline != cur_.Underline) Word(r.Underline ? "\\ul" : "\\ulnone");
    if (r.StrikeOut != cur_.StrikeOut) Word(r.StrikeOut ? "\\strike" : "\\strike0");
    cur_ = r;
  }

  void WriteText(const std::string &text, bool inTable) {
    for (char ch : text) {
      const unsigned char c = static_cast<unsigned char>(ch);
      if (c == '\\' || c == '{' || c == '}') {
        out_ += '\\';
        out_ += ch;
        delimit_ = false;
      } else if (c == '\t' && !inTable) {
        Word("\\tab");
      } else if (c == '\v' && !inTable) {
        Word("\\line");
      } else if (c >= 0x80) {
        out_ += "\\'";
        out_ += kHex[c >> 4];
        out_ += kHex[c & 15];
        delimit_ = false;
      } else if (c >= 0x20) {
        // A control word is ended by one blank, which readers swallow.
        if (delimit_) out_ += ' ';
        out_ += ch;
        delimit_ = false;
      }
    }
  }

  const TRichDocument &doc_;
  std::vector<std::string> faces_;
  std::vector<TRgb> colors_;
  std::string out_;
  TRichRun cur_;
  bool hasFormat_ = false;
  bool delimit_ = false;
};

}  // namespace

std::string WriteRtf(const TRichDocument &doc) { return TRtfWriter(doc).Run(); }
