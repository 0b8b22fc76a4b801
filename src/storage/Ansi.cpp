#include "storage/Ansi.h"

#include <QStringDecoder>

namespace {
// Unicode code points of bytes 0x80..0x9F; 0 marks the five undefined bytes,
// which map to the C1 control of the same number.
const char16_t kHigh[32] = {
  0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
  0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

char16_t FromByte(unsigned char b) {
  if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] != 0) return kHigh[b - 0x80];
  return b;
}

char ToByte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c < 0x100)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == c) return static_cast<char>(0x80 + i);
  if (c >= 0x80 && c < 0xA0) return static_cast<char>(c);  // undefined bytes round-trip
  return '?';
}
}  // namespace

QString AnsiToQString(const std::string &text) {
  QString out;
  out.resize(static_cast<qsizetype>(text.size()));
  QChar *d = out.data();
  for (size_t i = 0; i < text.size(); ++i) d[i] = QChar(FromByte(static_cast<unsigned char>(text[i])));
  return out;
}

std::string QStringToAnsi(const QString &text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text.at(i).unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      ++i;
      out += '?';
      continue;
    }
    out += ToByte(c);
  }
  return out;
}

QString CharsetToQString(const std::string &bytes, const std::string &charset) {
  if (charset.empty()) return AnsiToQString(bytes);
  QStringDecoder decoder(charset.c_str());
  if (!decoder.isValid()) return AnsiToQString(bytes);
  return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string CharsetToAnsi(const std::string &bytes, const std::string &charset) {
  if (charset.empty()) return bytes;
  return QStringToAnsi(CharsetToQString(bytes, charset));
}
