#pragma once
// Rich documents for the tests, written in a line: a run is its text and format, a
// paragraph its runs. Header-only, like the other small helpers.
#include "compose/RichText.h"

#include <string>
#include <vector>

// `style` holds "b", "i", "u" and "s" for bold, italic, underlined and struck.
inline TRichRun RichRun(std::string text, std::string_view style = "", TRgb color = 0, std::string face = "Arial",
                        int halfPoints = 20) {
  TRichRun r;
  r.Text = std::move(text);
  r.Bold = style.find('b') != std::string_view::npos;
  r.Italic = style.find('i') != std::string_view::npos;
  r.Underline = style.find('u') != std::string_view::npos;
  r.StrikeOut = style.find('s') != std::string_view::npos;
  r.Color = color;
  r.Face = std::move(face);
  r.SizeHalfPoints = halfPoints;
  return r;
}

inline TRichParagraph RichPara(std::vector<TRichRun> runs, TRichAlign align = TRichAlign::raLeft, bool bullet = false) {
  TRichParagraph p;
  p.Runs = std::move(runs);
  p.Align = align;
  p.Bullet = bullet;
  return p;
}

// One plain run per paragraph.
inline TRichDocument PlainDoc(const std::vector<std::string> &paragraphs) {
  TRichDocument d;
  for (const std::string &text : paragraphs) d.Paragraphs.push_back(RichPara({RichRun(text)}));
  return d;
}
