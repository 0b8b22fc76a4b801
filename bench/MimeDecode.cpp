// Decoding a 10 MB multipart message (a text part, an HTML part in quoted-printable and three
// base64 attachments of about 3 MB each) with every part written to a file through
// DestStream, as the mail folders do when a message is viewed.
//
//   bench_MimeDecode                         Google Benchmark run
//   bench_MimeDecode --write-message FILE    writes the generated message (for mime_compare.sh)
//   bench_MimeDecode --decode FILE DIR       decodes FILE once, writing its parts into DIR
#include "net/MimeDec.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string PseudoRandomBytes(std::size_t len, std::uint32_t seed) {
  std::string s(len, '\0');
  for (char &c : s) {
    seed = seed * 1664525u + 1013904223u;
    c = char(seed >> 24);
  }
  return s;
}

std::string Base64Lines(const std::string &bytes) {
  const QByteArray b64 = QByteArray(bytes.data(), qsizetype(bytes.size())).toBase64();
  std::string r;
  r.reserve(std::size_t(b64.size()) * 78 / 76 + 2);
  for (qsizetype i = 0; i < b64.size(); i += 76) r.append(b64.constData() + i, std::size_t(std::min<qsizetype>(76, b64.size() - i))) += "\r\n";
  return r;
}

std::string QuotedPrintableLines(const std::string &text) {
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

std::string GenerateMessage() {
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

// Decodes the file, writing each part but the preamble into `dir`; returns the bytes written.
std::size_t DecodeToFiles(const std::string &file, const std::string &dir) {
  TMimeDecode mime;
  std::unique_ptr<std::ofstream> out;
  std::vector<char> fileBuffer(1 << 20);  // fewer, larger writes
  std::size_t written = 0;
  mime.OnPartBegin = [&](TMimeDecode *m) {
    if (m->PartNumber() == 0) return;
    std::string name = m->PartFileName();
    if (name.empty())
      name = "part" + std::to_string(m->PartNumber()) + (m->PartContentType() == "text/html" ? ".html" : ".txt");
    out = std::make_unique<std::ofstream>();
    out->rdbuf()->pubsetbuf(fileBuffer.data(), std::streamsize(fileBuffer.size()));
    out->open(dir + "/" + name, std::ios::binary | std::ios::trunc);
    if (!*out) throw std::runtime_error("Cannot create file " + dir + "/" + name);
    m->DestStream = out.get();
  };
  mime.OnPartEnd = [&](TMimeDecode *m) {
    m->DestStream = nullptr;
    if (!out) return;
    written += std::size_t(out->tellp());
    out.reset();
  };
  mime.DecodeFile(file);
  return written;
}

void BM_DecodeMultipart10MB(benchmark::State &state) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString();
  const std::string message = GenerateMessage();
  std::ofstream(path + "/message.eml", std::ios::binary) << message;
  std::size_t written = 0;
  for (auto _ : state) {
    // Fresh files each time, as when a message is first viewed (see mime_compare.sh).
    state.PauseTiming();
    for (const char *name : {"part1.txt", "part2.html", "attachment1.bin", "attachment2.bin", "attachment3.bin"})
      std::remove((path + "/" + name).c_str());
    state.ResumeTiming();
    written = DecodeToFiles(path + "/message.eml", path);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(message.size()));
  state.counters["message_MB"] = double(message.size()) / 1e6;
  state.counters["written_MB"] = double(written) / 1e6;
}
BENCHMARK(BM_DecodeMultipart10MB)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-message") == 0) {
    std::ofstream out(argv[2], std::ios::binary);
    out << GenerateMessage();
    return out.flush() ? 0 : 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "--decode") == 0) {
    DecodeToFiles(argv[2], argv[3]);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
