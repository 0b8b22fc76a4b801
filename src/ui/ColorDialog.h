#pragma once
// The colour dialog with the sixteen custom colours kept in "Colors.dat".
#include <QColor>
#include <string>

class QWidget;

// Shows the colour dialog preset to *color, its custom colours read from the data
// directory's "Colors.dat" (the dialog's own when the file cannot be read). When the user
// confirms, *color takes the choice, the custom colours are written back and true is returned.
bool PickColor(QWidget *parent, const std::string &dataDir, QColor *color);
