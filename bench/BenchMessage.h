#pragma once
// The 10 MB multipart message of the decoding benchmarks: a text part, an HTML part in
// quoted-printable and three base64 attachments of about 3 MB each.
#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

inline std::string PseudoRandomBytes(std::size_t len, std::uint32_t seed) {
  std::string s(len, '\0');
  for (char &c : s) {
    seed = seed * 1664525u + 1013904223u;
    c = char(seed >> 24);
  }
  return s;
}

inline std::string Base64Lines(const std::string &bytes) {
  const QByteArray b64 = QByteArray(bytes.data(), qsizetype(bytes.size())).toBase64();
  std::string r;
  r.reserve(std::size_t(b64.size()) * 78 / 76 + 2);
  for (qsizetype i = 0; i < b64.size(); i += 76) r.append(b64.constData() + i, std::size_t(std::min<qsizetype>(76, b64.size() - i))) += "\r\n";
  return r;
}

inline std::string QuotedPrintableLines(const std::string &text) {
  std::string r, line;
  for (char c : text) {
    if (c == '\n') {
      r += line + "\r\n";
      line.clear();
      continue;
    }
    char esc[4] = {c, 0, 0, 0};
    if (c == '=' || static_cast<unsigned char>(c) > 126) std::snprintf(esc, sizeof esc, "=%02X", static_cast<unsigned char>(c));
    if (line.size() + std::strlen(esc) > 75) {
      r += line + "=\r\n";
      line.clear();
    }
    line += esc;
  }
  return r + line + "\r\n";
}

inline std::string GenerateMessage() {
  std::string text, html = "<html><body>\n";
  for (int i = 0; i < 3000; ++i) {
    text += "Line " + std::to_string(i) + " of the newsletter text, with some words to read.\n";
    html += "<p style=\"color:#102030\">Paragraph " + std::to_string(i) +
            " of the newsletter, with <b>bold</b> words and a link <a href=\"https://example.org/a?b=c\">here</a>.</p>\n";
  }
  html += "</body></html>\n";
  std::string m =
      "Return-Path: <news@example.org>\r\nFrom: News <news@example.org>\r\nTo: reader@example.org\r\n"
      "Subject: Benchmark message\r\nDate: Sun, 6 Dec 2026 12:00:00 +0000\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"=_outer_boundary\"\r\n\r\n"
      "This is a multi-part message in MIME format.\r\n"
      "--=_outer_boundary\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n";
  for (std::size_t p = 0; p < text.size();) {
    const std::size_t e = text.find('\n', p);
    m += text.substr(p, e - p) + "\r\n";
    p = e + 1;
  }
  m += "--=_outer_boundary\r\nContent-Type: text/html; charset=us-ascii\r\n"
       "Content-Transfer-Encoding: quoted-printable\r\n\r\n" + QuotedPrintableLines(html);
  for (int a = 0; a < 3; ++a) {
    const std::string name = "attachment" + std::to_string(a + 1) + ".bin";
    m += "--=_outer_boundary\r\nContent-Type: application/octet-stream; name=\"" + name +
         "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"" + name +
         "\"\r\n\r\n" + Base64Lines(PseudoRandomBytes(2300 * 1000, std::uint32_t(a + 1)));
  }
  return m + "--=_outer_boundary--\r\n";
}

