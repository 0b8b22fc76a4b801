#include "storage/Strings.h"

namespace {
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
}  // namespace

std::string TrimLeft(const std::string &s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}

std::string TrimRight(const std::string &s) {
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return s.substr(0, e);
}

std::string Trim(const std::string &s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

int CompareText(const std::string &a, const std::string &b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(Lower(a[i])), y = static_cast<unsigned char>(Lower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(const std::string &a, const std::string &b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

std::string UpperCase(const std::string &s) {
  std::string r = s;
  for (auto &c : r) c = Upper(c);
  return r;
}

std::string LowerCase(const std::string &s) {
  std::string r = s;
  for (auto &c : r) c = Lower(c);
  return r;
}

void LowerCaseInto(std::string_view s, std::string *out) {
  out->assign(s);
  for (auto &c : *out) c = Lower(c);
}

std::string ReplaceAll(const std::string &s, const std::string &from, const std::string &to) {
  if (from.empty()) return s;
  std::string r;
  size_t pos = 0;
  for (size_t hit; (hit = s.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
    r.append(s, pos, hit - pos);
    r += to;
  }
  r.append(s, pos, std::string::npos);
  return r;
}

bool StartsText(const std::string &prefix, const std::string &s) {
  return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

std::string ExtractFileName(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtractFilePath(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileExt(const std::string &path) {
  const std::string name = ExtractFileName(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string IncludeTrailingSlash(const std::string &path) {
  return (!path.empty() && path.back() == '/') ? path : path + "/";
}

std::string EncodeLineBreaks(const std::string &text) { return ReplaceAll(text, "\r\n", ":|:"); }

std::string DecodeLineBreaks(const std::string &value) { return ReplaceAll(value, ":|:", "\r\n"); }

std::string ElideMiddle(const std::string &text, size_t limit) {
  if (text.size() <= limit || limit < 5) return text.size() <= limit ? text : text.substr(0, limit);
  const size_t keep = limit - 3;
  const size_t head = (keep + 1) / 2;
  return text.substr(0, head) + "..." + text.substr(text.size() - (keep - head));
}
