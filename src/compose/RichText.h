#pragma once
// A small rich-text model shared by the RTF writer, the RTF reader and the editor bridge.
// It holds what the newsletter editor offers and nothing more, so that core code can read
// and write formatted text without a widget.
#include <cstdint>
#include <string>
#include <vector>

// Colours are 0xRRGGBB.
using TRgb = std::uint32_t;

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

struct TRichParagraph {
  TRichAlign Align = TRichAlign::raLeft;
  bool Bullet = false;
  std::vector<TRichRun> Runs;

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
