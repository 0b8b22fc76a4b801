#pragma once
// What the assembly reads from a rich-text box.
#include <cstdint>
#include <string>
#include <vector>

class QTextEdit;

// The box's lines as it lays them out: a wrapped paragraph gives one line per wrap.
std::vector<std::string> LaidOutLines(QTextEdit *editor);
// The box's background as a direct colour 0x00BBGGRR: the colour on screen, so a system
// colour of the palette is already resolved.
uint32_t BackgroundValue(QTextEdit *editor);
