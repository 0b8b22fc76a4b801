#pragma once
// Small string routines on 8-bit text, shared by every layer.
#include <string>
#include <string_view>
#include <vector>

// Removes blanks and control characters (every code up to the space) at both ends.
std::string Trim(const std::string &s);
std::string TrimLeft(const std::string &s);
std::string TrimRight(const std::string &s);
// ASCII letters compared without regard to case.
bool SameText(const std::string &a, const std::string &b);
int CompareText(const std::string &a, const std::string &b);
std::string UpperCase(const std::string &s);
std::string LowerCase(const std::string &s);
// The lower-case text into a buffer kept by the caller, for loops that must not allocate.
void LowerCaseInto(std::string_view s, std::string *out);
// Replaces every occurrence of `from` (non-empty) by `to`, scanning left to right.
std::string ReplaceAll(const std::string &s, const std::string &from, const std::string &to);
bool StartsText(const std::string &prefix, const std::string &s);
// The part after the last '/', and the part up to and including it.
std::string ExtractFileName(const std::string &path);
std::string ExtractFilePath(const std::string &path);
std::string ExtractFileExt(const std::string &path);
std::string IncludeTrailingSlash(const std::string &path);
// Multi-line text in a one-line value: each CR LF is stored as ":|:".
std::string EncodeLineBreaks(const std::string &text);
std::string DecodeLineBreaks(const std::string &value);
// A text shortened for a message: longer than `limit`, its middle gives way to "...", so
// that both ends of a path stay readable and no message grows with a damaged value.
std::string ElideMiddle(const std::string &text, size_t limit = 200);
