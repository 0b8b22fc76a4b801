#pragma once
// The main window's placement, kept in section "Position" of "Brevant 20.ini".
#include <string>

struct TWindowPosition {
  enum { psNormal = 0, psMaximized = 1, psMinimized = 2 };
  int State = psNormal;
  // -1 means "not stored": the window keeps its centred design placement.
  int Top = -1, Left = -1, Width = -1, Height = -1;
};

TWindowPosition ReadWindowPosition(const std::string &dataDir);
void WriteWindowPosition(const std::string &dataDir, const TWindowPosition &pos);
