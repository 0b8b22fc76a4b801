#include "net/MimeWords.h"

#include "net/MimeDec.h"

#include <algorithm>
#include <map>

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char &c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string DecodeQWord(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_') {
      out += ' ';
    } else if (text[i] == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string DecodeBWord(std::string_view text) {
  std::string buf(text);
  buf.resize(MimeParse::DecodeBase64Line(buf.data(), buf.size(), buf.data()));
  return buf;
}

// Reads one encoded word at `at`; `end` receives the index after it.
bool ReadEncodedWord(std::string_view text, size_t at, size_t &end, TCharsetText &word) {
  if (text.compare(at, 2, "=?") != 0) return false;
  const size_t q1 = text.find('?', at + 2);
  if (q1 == std::string_view::npos || q1 + 2 >= text.size() || text[q1 + 2] != '?') return false;
  const size_t close = text.find("?=", q1 + 3);
  if (close == std::string_view::npos) return false;
  const std::string_view payload = text.substr(q1 + 3, close - q1 - 3);
  if (payload.find_first_of(" \t") != std::string_view::npos) return false;
  std::string charset = Lower(text.substr(at + 2, q1 - at - 2));
  charset = charset.substr(0, charset.find('*'));  // RFC 2231 language suffix
  const char encoding = text[q1 + 1];
  if (encoding == 'q' || encoding == 'Q')
    word.Bytes = DecodeQWord(payload);
  else if (encoding == 'b' || encoding == 'B')
    word.Bytes = DecodeBWord(payload);
  else
    return false;
  word.Charset = charset;
  end = close + 2;
  return true;
}

void AddPlain(std::vector<TCharsetText> &out, std::string_view text) {
  if (text.empty()) return;
  if (!out.empty() && out.back().Charset.empty())
    out.back().Bytes += text;
  else
    out.push_back({"", std::string(text)});
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}
}  // namespace

std::vector<TCharsetText> DecodeEncodedWords(std::string_view text) {
  std::vector<TCharsetText> out;
  size_t plainStart = 0;
  bool lastWasWord = false;
  for (size_t i = 0; i < text.size();) {
    TCharsetText word;
    size_t end = 0;
    if (!ReadEncodedWord(text, i, end, word)) {
      ++i;
      continue;
    }
    std::string_view between = text.substr(plainStart, i - plainStart);
    // Only blanks between two encoded words: they belong to the encoding, not the text.
    if (!(lastWasWord && between.find_first_not_of(" \t\r\n") == std::string_view::npos)) AddPlain(out, between);
    if (!out.empty() && out.back().Charset == word.Charset && !word.Charset.empty())
      out.back().Bytes += word.Bytes;  // a character may be split over two words
    else
      out.push_back(word);
    lastWasWord = true;
    i = plainStart = end;
  }
  AddPlain(out, text.substr(plainStart));
  return out;
}

TCharsetText MimeParameter(std::string_view params, const std::string &lowerName) {
  std::string plain;
  bool extendedWhole = false;
  std::string whole;
  std::map<int, std::pair<std::string, bool>> pieces;  // number -> value, encoded
  MimeParse::ReadParams(params, [&](const std::string &name, const std::string &value, bool) {
    if (name == lowerName) {
      plain = value;
    } else if (name == lowerName + "*") {
      extendedWhole = true;
      whole = value;
    } else if (name.compare(0, lowerName.size() + 1, lowerName + "*") == 0) {
      std::string rest = name.substr(lowerName.size() + 1);
      const bool encoded = !rest.empty() && rest.back() == '*';
      if (encoded) rest.pop_back();
      if (rest.empty() || rest.size() > 3 || !std::all_of(rest.begin(), rest.end(), ::isdigit)) return;
      pieces[std::stoi(rest)] = {value, encoded};
    }
  });
  std::string charset, bytes;
  auto takeCharset = [&charset](std::string_view value) {
    // charset'language'text
    const size_t q1 = value.find('\'');
    const size_t q2 = q1 == std::string_view::npos ? q1 : value.find('\'', q1 + 1);
    if (q2 == std::string_view::npos) return value;
    charset = Lower(value.substr(0, q1));
    return value.substr(q2 + 1);
  };
  if (extendedWhole) {
    bytes = PercentDecode(takeCharset(whole));
  } else if (!pieces.empty()) {
    for (const auto &[number, piece] : pieces) {
      std::string_view value = piece.first;
      if (number == pieces.begin()->first && piece.second) value = takeCharset(value);
      bytes += piece.second ? PercentDecode(value) : std::string(value);
    }
  } else if (!plain.empty()) {
    // Many mailers put an encoded word into a plain parameter; take it as such.
    // Plain runs around the words are ASCII as a rule: read the whole in the words' charset.
    for (const TCharsetText &w : DecodeEncodedWords(plain)) {
      bytes += w.Bytes;
      if (charset.empty()) charset = w.Charset;
    }
  }
  return {charset, bytes};
}
