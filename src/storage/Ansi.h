#pragma once
// Core text is 8-bit Windows-1252; Qt and the file system speak Unicode.
// These two routines are the only crossing between the two worlds.
#include <QString>
#include <string>

QString AnsiToQString(const std::string &text);
// Characters that Windows-1252 cannot hold become '?'.
std::string QStringToAnsi(const QString &text);

// Bytes in a declared charset ("utf-8", "iso-8859-2", "windows-1251", ...); an empty or
// unknown charset reads as Windows-1252.
QString CharsetToQString(const std::string &bytes, const std::string &charset);
// The same, as Windows-1252 bytes ('?' for what it cannot hold).
std::string CharsetToAnsi(const std::string &bytes, const std::string &charset);
