#pragma once
// Core text is 8-bit Windows-1252; Qt and the file system speak Unicode.
// These two routines are the only crossing between the two worlds.
#include <QString>
#include <string>

QString AnsiToQString(const std::string &text);
// Characters that Windows-1252 cannot hold become '?'.
std::string QStringToAnsi(const QString &text);
