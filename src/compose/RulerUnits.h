#pragma once
// Paragraph indents (points) and the positions of the ruler's markers (ruler units), both
// ways. An indent of N points sits N * 4/3 units from the ruler's zero, which is two units
// in from its left edge.

// FirstIndent: the first line from the left margin; LeftIndent: the other lines, counted
// from the first line's indent; RightIndent: from the right margin.
struct TParaIndents {
  int FirstIndent = 0, LeftIndent = 0, RightIndent = 0;
  bool operator==(const TParaIndents &) const = default;
};

struct TRulerMarkers {
  int First = 0, Left = 0, Right = 0;
  bool operator==(const TRulerMarkers &) const = default;
};

TRulerMarkers IndentsToMarkers(const TParaIndents &indents, int clientWidth);
// A dragged left marker: the left indent, the first indent staying.
int LeftIndentFromMarker(int leftMarker, int firstIndent);
int RightIndentFromMarker(int rightMarker, int clientWidth);
int FirstIndentFromMarker(int firstMarker);

// The same indents in the terms of a text layout: all lines from the left margin
// (leftMargin), the first line's offset from it (textIndent), and the right margin.
void IndentsToLayout(const TParaIndents &indents, double &leftMargin, double &textIndent, double &rightMargin);
TParaIndents LayoutToIndents(double leftMargin, double textIndent, double rightMargin);
