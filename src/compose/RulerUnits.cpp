#include "compose/RulerUnits.h"

#include <cmath>

namespace {
constexpr double kUnitsPerPoint = 4.0 / 3.0;
int Nearest(double v) { return static_cast<int>(std::lround(v)); }
}  // namespace

TRulerMarkers IndentsToMarkers(const TParaIndents &p, int clientWidth) {
  return {Nearest(p.FirstIndent * kUnitsPerPoint) + 2, Nearest((p.LeftIndent + p.FirstIndent) * kUnitsPerPoint) + 2,
          clientWidth - 6 - Nearest((p.RightIndent + 6) * kUnitsPerPoint)};
}

int LeftIndentFromMarker(int leftMarker, int firstIndent) { return Nearest(leftMarker / kUnitsPerPoint) - firstIndent; }

int RightIndentFromMarker(int rightMarker, int clientWidth) {
  return Nearest((clientWidth - rightMarker - 10) / kUnitsPerPoint);
}

int FirstIndentFromMarker(int firstMarker) { return Nearest(firstMarker / kUnitsPerPoint); }

void IndentsToLayout(const TParaIndents &p, double &leftMargin, double &textIndent, double &rightMargin) {
  leftMargin = p.FirstIndent + p.LeftIndent;
  textIndent = -p.LeftIndent;
  rightMargin = p.RightIndent;
}

TParaIndents LayoutToIndents(double leftMargin, double textIndent, double rightMargin) {
  return {Nearest(leftMargin + textIndent), Nearest(-textIndent), Nearest(rightMargin)};
}
