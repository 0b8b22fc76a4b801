#pragma once
// The main window's placement, kept in section "Position" of "Brevant 20.ini".
#include <climits>
#include <string>

struct TWindowPosition {
  enum { psNormal = 0, psMaximized = 1, psMinimized = 2 };
  int State = psNormal;
  // A key that is not stored: the window keeps its centred design placement. Any other value
  // is kept, negative ones too (a monitor left of or above the primary one).
  static constexpr int kNotStored = INT_MIN;
  int Top = kNotStored, Left = kNotStored, Width = kNotStored, Height = kNotStored;
};

TWindowPosition ReadWindowPosition(const std::string &dataDir);
void WriteWindowPosition(const std::string &dataDir, const TWindowPosition &pos);
