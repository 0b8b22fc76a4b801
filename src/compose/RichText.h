#pragma once
// A small rich-text model shared by the RTF writer, the RTF reader and the editor bridge.
// It holds what the newsletter editor offers and nothing more, so that core code can read
// and write formatted text without a widget.
#include <cstdint>
#include <string>
#include <vector>

// Colours are 0xRRGGBB.
using TRgb = std::uint32_t;

// A face name as the font table can hold it: no ';' (it ends a name there), no control
// characters, no blanks at either end; an empty name is the default face.
inline std::string CleanFaceName(const std::string &name) {
  std::string f;
  for (char c : name)
    if (c != ';' && static_cast<unsigned char>(c) >= 0x20) f += c;
  const size_t b = f.find_first_not_of(' '), e = f.find_last_not_of(' ');
  return b == std::string::npos ? std::string("Arial") : f.substr(b, e - b + 1);
}

// One stretch of text with one character format. Text is Windows-1252; '\t' is a tab and
// '\v' a line break inside the paragraph.
struct TRichRun {
  std::string Text;
  std::string Face = "Arial";
  int SizeHalfPoints = 20;
  TRgb Color = 0;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;

  // True when both runs carry the same format (the text is not compared).
  bool SameFormat(const TRichRun &o) const {
    return Face == o.Face && SizeHalfPoints == o.SizeHalfPoints && Color == o.Color && Bold == o.Bold &&
           Italic == o.Italic && Underline == o.Underline && StrikeOut == o.StrikeOut;
  }
  bool operator==(const TRichRun &) const = default;
};

enum class TRichAlign { raLeft, raCenter, raRight };

// Paragraph indents in twips (1/20 point), as RTF counts them: the first line's offset from
// the left indent, the left indent of every line, and the right indent.
constexpr int kMaxIndentTwips = 31680;  // 22 inches: wider than any page
// A bullet paragraph hangs its text this far right of the bullet; the stored indents of a
// bullet paragraph are the user's, on top of this.
constexpr int kBulletIndentTwips = 360;

struct TRichParagraph {
  TRichAlign Align = TRichAlign::raLeft;
  bool Bullet = false;
  std::vector<TRichRun> Runs;
  int FirstIndent = 0;
  int LeftIndent = 0;
  int RightIndent = 0;

  bool operator==(const TRichParagraph &) const = default;
  std::string Text() const {
    std::string s;
    for (const TRichRun &r : Runs) s += r.Text;
    return s;
  }
};

struct TRichDocument {
  std::vector<TRichParagraph> Paragraphs;

  bool operator==(const TRichDocument &) const = default;
  // The text without formatting: paragraphs joined by CR LF, line breaks as CR LF.
  std::string PlainText() const {
    std::string s;
    for (size_t i = 0; i < Paragraphs.size(); ++i) {
      if (i > 0) s += "\r\n";
      for (char c : Paragraphs[i].Text()) {
        if (c == '\v') s += "\r\n";
        else s += c;
      }
    }
    return s;
  }
};
