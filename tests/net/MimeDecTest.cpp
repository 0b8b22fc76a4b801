#include "net/MimeDec.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/TempDir.h"

using namespace std::string_literals;

namespace {

// Records every event as one text, with the properties a viewer would read at that moment.
struct Recorder {
  TMimeDecode mime;
  std::vector<std::string> log;
  std::ostringstream dest;  // DestStream of the part numbered `capturePart`
  int capturePart = -1;

  Recorder() {
    auto add = [this](const char *what) { return [this, what](TMimeDecode *) { log.push_back(what); }; };
    mime.OnHeaderBegin = add("HeaderBegin");
    mime.OnHeaderLine = [this](TMimeDecode *m) { log.push_back("HeaderLine " + std::string(m->CurrentData())); };
    mime.OnHeaderEnd = add("HeaderEnd");
    mime.OnPartHeaderBegin = [this](TMimeDecode *m) {
      log.push_back("PartHeaderBegin " + std::to_string(m->PartNumber()));
    };
    mime.OnPartHeaderLine = [this](TMimeDecode *m) {
      log.push_back("PartHeaderLine " + std::string(m->CurrentData()));
    };
    mime.OnPartHeaderEnd = add("PartHeaderEnd");
    mime.OnPartBegin = [this](TMimeDecode *m) {
      log.push_back("PartBegin " + m->PartContentType());
      if (m->PartNumber() == capturePart) m->DestStream = &dest;
    };
    mime.OnPartLine = [this](TMimeDecode *, const char *data, std::size_t len) {
      EXPECT_EQ(data[len], '\0');
      log.push_back("Line " + std::string(data, len));
    };
    mime.OnPartEnd = [this](TMimeDecode *m) {
      log.push_back("PartEnd");
      m->DestStream = nullptr;
    };
    mime.OnInlineDecodeBegin = [this](TMimeDecode *, const std::string &n) { log.push_back("InlineBegin " + n); };
    mime.OnInlineDecodeLine = [this](TMimeDecode *, const char *l) { log.push_back("InlineLine " + std::string(l)); };
    mime.OnInlineDecodeEnd = [this](TMimeDecode *, const std::string &n) { log.push_back("InlineEnd " + n); };
  }
  void Decode(const std::string &message) {
    std::istringstream in(message);
    mime.DecodeStream(in);
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> r;
    for (const auto &e : log)
      if (e.rfind("Line ", 0) == 0) r.push_back(e.substr(5));
    return r;
  }
  int Count(const std::string &event) const {
    int n = 0;
    for (const auto &e : log) n += e == event;
    return n;
  }
};

std::string AllBytes(std::size_t len, int seed = 0) {
  std::string s;
  for (std::size_t i = 0; i < len; ++i) s.push_back(char((i * 7 + std::size_t(seed)) % 256));
  return s;
}

std::string Wrap(const std::string &text, std::size_t width) {
  std::string r;
  for (std::size_t i = 0; i < text.size(); i += width) r += text.substr(i, width) + "\r\n";
  return r;
}

std::string Base64Lines(const std::string &bytes) {
  return Wrap(QByteArray(bytes.data(), qsizetype(bytes.size())).toBase64().toStdString(), 76);
}

std::string UUEncodeLines(const std::string &bytes) {
  auto ch = [](unsigned v) { return char(v ? v + 32 : '`'); };
  std::string r;
  for (std::size_t i = 0; i < bytes.size(); i += 45) {
    const std::string chunk = bytes.substr(i, 45);
    r += ch(unsigned(chunk.size()));
    for (std::size_t k = 0; k < chunk.size(); k += 3) {
      unsigned char b[3] = {0, 0, 0};
      for (std::size_t j = 0; j < 3 && k + j < chunk.size(); ++j) b[j] = static_cast<unsigned char>(chunk[k + j]);
      r += ch(b[0] >> 2), r += ch((b[0] << 4 | b[1] >> 4) & 63), r += ch((b[1] << 2 | b[2] >> 6) & 63), r += ch(b[2] & 63);
    }
    r += "\r\n";
  }
  return r + "`\r\n";
}

// A multipart/mixed message with one text part and one part of the given encoding.
std::string Multipart(const std::string &encoding, const std::string &body, const std::string &extra = "") {
  return "From: a@example.org\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
         "preamble\r\n--b1\r\nContent-Type: text/plain\r\n\r\nhello\r\n"
         "--b1\r\nContent-Type: application/octet-stream; name=\"Data.bin\"\r\n"
         "Content-Transfer-Encoding: " + encoding + "\r\n" + extra + "\r\n" + body + "--b1--\r\n";
}

}  // namespace

TEST(MimeDecode, HeaderPropertiesAndFolding) {
  Recorder r;
  r.Decode("Return-Path: <list@example.org>\r\nFrom: Ann <ann@example.org>\r\nTo: bob@example.org\r\n"
           "Subject: first\r\n\tsecond\r\nDate:  Mon, 1 Jun 2026 10:00:00 +0000\r\nMIME-Version: 1.0\r\n"
           "X-Unknown: kept\r\n\r\nbody\r\n");
  EXPECT_EQ(r.mime.From(), "Ann <ann@example.org>");
  EXPECT_EQ(r.mime.Dest(), "bob@example.org");
  EXPECT_EQ(r.mime.Subject(), "first   second");  // CR, LF and tab became three blanks
  EXPECT_EQ(r.mime.Date(), "Mon, 1 Jun 2026 10:00:00 +0000");
  EXPECT_EQ(r.mime.MimeVersion(), "1.0");
  EXPECT_EQ(r.mime.ReturnPath(), "list@example.org");
  EXPECT_EQ(r.mime.Boundary(), "");
  EXPECT_EQ(r.Count("HeaderBegin"), 1);
  EXPECT_EQ(r.log[7], "HeaderLine X-Unknown: kept");
  EXPECT_EQ(r.Count("HeaderLine Subject: first   second"), 1);
  const std::vector<std::string> tail(r.log.end() - 4, r.log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"HeaderEnd", "PartBegin ", "Line body", "PartEnd"}));

  // A second decode starts afresh; bare LF folds into two blanks; "<>" is emptied.
  r.Decode("Subject: a\n b\nReturn-Path: <>\n\n");
  EXPECT_EQ(r.mime.Subject(), "a  b");
  EXPECT_EQ(r.mime.From(), "");
  EXPECT_EQ(r.mime.ReturnPath(), "");
  r.Decode("Return-Path: x@y\r\n\r\n");
  EXPECT_EQ(r.mime.ReturnPath(), "x@y");
}

TEST(MimeDecode, MultipartEventOrderAndDelimiterCase) {
  Recorder r;
  r.Decode("Content-Type: Multipart/Mixed; boundary=\"AbC\"\r\n\r\n"
           "--ABC\r\nContent-Type: text/plain; charset=US-ASCII\r\n\r\none\r\n\r\ntwo\r\n--abc--\r\n");
  EXPECT_EQ(r.mime.ContentType(), "multipart/mixed");
  EXPECT_EQ(r.mime.Boundary(), "--abc");
  const std::vector<std::string> expected = {
      "HeaderBegin", "HeaderLine Content-Type: Multipart/Mixed; boundary=\"AbC\"", "HeaderEnd", "PartBegin ",
      "PartEnd", "PartHeaderBegin 1", "PartHeaderLine Content-Type: text/plain; charset=US-ASCII",
      "PartHeaderEnd", "PartBegin text/plain", "Line one", "Line ", "Line two", "PartEnd"};
  EXPECT_EQ(r.log, expected);
}

TEST(MimeDecode, BoundaryParameterAnywhereAndPartParameters) {
  Recorder r;
  std::vector<std::string> seen;  // name, charset, disposition and file name at each part's start
  auto logBegin = r.mime.OnPartBegin;
  r.mime.OnPartBegin = [&](TMimeDecode *m) {
    logBegin(m);
    seen.push_back(m->PartName() + "|" + m->PartCharset() + "|" + m->PartDisposition() + "|" + m->PartFileName());
  };
  r.Decode("Content-Type: multipart/related; type=\"text/html\"; boundary=Part_1; charset=x\r\n\r\n"
           "--Part_1\r\nContent-Type: image/gif;\r\n name=\"My Pic.GIF\"; charset=\"UTF-8\"\r\n"
           "Content-Disposition: attachment; size=3; filename=\"My Pic.GIF\"\r\n\r\nx\r\n"
           "--part_1  \r\nContent-Type: text/plain\r\n\r\ny\r\n--Part_1--\r\n");
  EXPECT_EQ(r.mime.Boundary(), "--part_1");
  EXPECT_EQ(r.Lines(), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(r.mime.PartNumber(), 2);
  EXPECT_EQ(seen, (std::vector<std::string>{"|||", "\"my pic.gif\"|utf-8|attachment|My Pic.GIF", "|||"}));
}

TEST(MimeDecode, NestedMultipartAndPartsWithoutHeader) {
  Recorder r;
  r.Decode("Content-Type: multipart/mixed; boundary=\"out\"\r\n\r\nIntro\r\n"
           "--out\r\nContent-Type: multipart/alternative; boundary=\"in\"\r\n\r\n"
           "--in\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
           "--in\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n<p a=3D\"1\">=\r\nhi</p>\r\n"
           "--in--\r\n\r\n--out\r\n  no header here\r\n--out--\r\n");
  EXPECT_EQ(r.Lines(), (std::vector<std::string>{"Intro", "plain", "<p a=\"1\">", "hi</p>", "  no header here"}));
  std::vector<std::string> begins;
  for (const auto &e : r.log)
    if (e.rfind("PartBegin", 0) == 0 || e.rfind("PartHeaderBegin", 0) == 0) begins.push_back(e);
  EXPECT_EQ(begins, (std::vector<std::string>{"PartBegin ", "PartHeaderBegin 1", "PartHeaderBegin 2", "PartBegin text/plain",
                                              "PartHeaderBegin 3", "PartBegin text/html", "PartHeaderBegin 4",
                                              "PartHeaderBegin 5", "PartBegin "}));
  EXPECT_EQ(r.log.back(), "PartEnd");
}

TEST(MimeDecode, Base64RoundTripAndEdgeLengths) {
  std::vector<std::string> payloads;
  for (std::size_t len : {0, 1, 2, 3, 4, 56, 57, 58, 59, 256, 1000}) payloads.push_back(AllBytes(len, int(len)));
  payloads.push_back("End of file\r\nbegin 644 x\r\nend\r\n");  // decoded bytes are never taken as text
  for (const std::string &bytes : payloads) {
    Recorder r;
    r.capturePart = 2;
    r.Decode(Multipart("BASE64", Base64Lines(bytes)));
    EXPECT_EQ(r.dest.str(), bytes) << "length " << bytes.size();
  }
  // Groups: padding, short groups and characters outside the alphabet.
  struct Case { std::string in, out; } cases[] = {
      {"QQ==", "A"}, {"QUI=", "AB"}, {"QUJD", "ABC"}, {"QQ", "A"}, {"QUI", "AB"}, {"Q", ""},
      {"  Q!U\tJ*D  ", "ABC"}, {"QQ==QUI=", "AAB"}, {"====", ""}, {"", ""}};
  for (const auto &c : cases) {
    std::string buf = c.in;
    EXPECT_EQ(buf.substr(0, MimeParse::DecodeBase64Line(buf.data(), buf.size(), buf.data())), c.out) << c.in;
  }
  // Any byte value as input: the output never outgrows the input.
  const std::string garbage = AllBytes(256) + AllBytes(256, 3);
  std::string out(garbage.size(), '\0');
  EXPECT_LE(MimeParse::DecodeBase64Line(garbage.data(), garbage.size(), out.data()), garbage.size() * 3 / 4);
}

// Every byte through the encoder and back: MimeEncodeTest.
TEST(MimeDecode, QuotedPrintableBadEscapesAndLineEnds) {
  struct Case { std::string in, out; bool soft; } cases[] = {
      {"a=3Db", "a=b", false}, {"=e9=E9", "\xe9\xe9", false}, {"end=", "end", true}, {"x= \t", "x", true},
      {"=G1", "=G1", false}, {"=4", "=4", false}, {"a=", "a", true}, {"100%=", "100%", true}, {"==41", "=A", false}};
  for (const auto &c : cases) {
    std::string buf = c.in;
    bool soft = false;
    EXPECT_EQ(buf.substr(0, MimeParse::DecodeQuotedPrintableLine(buf.data(), buf.size(), buf.data(), soft)), c.out);
    EXPECT_EQ(soft, c.soft) << c.in;
  }
  // Hard line ends stay in the file, soft ones join, the one before the delimiter is dropped.
  Recorder r;
  r.capturePart = 2;
  r.Decode(Multipart("Quoted-Printable", "one=\r\ntwo\r\n\r\nthree\r\n"));
  EXPECT_EQ(r.dest.str(), "onetwo\r\n\r\nthree");
  const std::vector<std::string> all = r.Lines();
  EXPECT_EQ(std::vector<std::string>(all.end() - 4, all.end()), (std::vector<std::string>{"one", "two", "", "three"}));
}

TEST(MimeDecode, UUEncodedPartsAndCutHere) {
  for (std::size_t len : {1, 2, 3, 44, 45, 46, 256}) {
    Recorder r;
    r.capturePart = 2;
    const std::string bytes = AllBytes(len, 11);
    r.Decode(Multipart("x-uuencode", "dropped before\r\nBegin 644 data.bin\r\n" + UUEncodeLines(bytes) +
                                         "end\r\ndropped after\r\n"));
    EXPECT_EQ(r.dest.str(), bytes) << "length " << len;
  }
  // A data line that starts with the letters E, N, D does not end the block.
  std::string tricky = "\xba\x40" + AllBytes(35);
  ASSERT_EQ(UUEncodeLines(tricky).substr(0, 3), "END");
  Recorder r;
  r.capturePart = 2;
  r.Decode(Multipart("x-uuencode", "BEGIN --- CUT HERE --- cut here\r\nbegin 600 t\r\n" + UUEncodeLines(tricky) +
                                       "END --- CUT HERE --- cut here\r\nend\r\n"));
  EXPECT_EQ(r.dest.str(), tricky);
  // A short line decodes its missing characters as zero bytes, never reading past it.
  std::string out;
  ASSERT_EQ(UUEncodeLines("Ca@"), "#0V%`\r\n`\r\n");
  MimeParse::DecodeUULine("#0V%", 4, out);
  EXPECT_EQ(out, "Ca@");
}

TEST(MimeDecode, InlineUUEncodeInPlainText) {
  Recorder r;
  r.Decode("Subject: s\r\n\r\nBegin forwarded message:\r\nbegin 644 my pic.gif\r\nM86)C\r\n`\r\nend\r\n"
           "End of story\r\nbegin --- cut here --- x\r\nend -- cut here\r\n");
  const std::vector<std::string> expected = {
      "HeaderBegin", "HeaderLine Subject: s", "HeaderEnd", "PartBegin ", "Line Begin forwarded message:",
      "InlineBegin my pic.gif", "InlineLine M86)C", "InlineLine `", "InlineEnd my pic.gif", "Line End of story",
      "PartEnd"};
  EXPECT_EQ(r.log, expected);
  std::string name;
  EXPECT_TRUE(MimeParse::IsUUBeginLine("BEGIN 0644  a b.txt  ", name));
  EXPECT_EQ(name, "a b.txt");
  EXPECT_FALSE(MimeParse::IsUUBeginLine("begin 64 x", name));
  EXPECT_FALSE(MimeParse::IsUUBeginLine("begin 644", name));
  EXPECT_FALSE(MimeParse::IsUUBeginLine("begin here and there", name));
}

TEST(MimeDecode, SinglePartMessagesAndDestStream) {
  Recorder r;
  r.capturePart = 0;
  const std::string pdf = AllBytes(300, 9);
  r.Decode("Content-Type: application/pdf\r\nContent-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=doc.pdf\r\n\r\n" + Base64Lines(pdf));
  EXPECT_EQ(r.dest.str(), pdf);
  EXPECT_EQ(r.mime.PartFileName(), "doc.pdf");
  EXPECT_EQ(r.Count("PartBegin application/pdf"), 1);
  EXPECT_EQ(r.Count("PartEnd"), 1);

  Recorder text;
  text.capturePart = 0;
  text.Decode("Subject: t\r\n\r\nline 1\r\n\r\nline 3");  // the last line has no line end
  EXPECT_EQ(text.dest.str(), "line 1\r\n\r\nline 3");
  EXPECT_EQ(text.Lines(), (std::vector<std::string>{"line 1", "", "line 3"}));

  Recorder empty;
  empty.Decode("Subject: t\r\n\r\n");
  EXPECT_EQ(empty.log, (std::vector<std::string>{"HeaderBegin", "HeaderLine Subject: t", "HeaderEnd", "PartEnd"}));
}

TEST(MimeDecode, FilesStreamsAndFailures) {
  TempDir dir;
  WriteAll(dir.File("m.eml"), "From: f@x\r\n\r\nbody\r\n");
  Recorder r;
  r.mime.DecodeFile(dir.File("m.eml"));
  EXPECT_EQ(r.mime.From(), "f@x");
  EXPECT_EQ(r.Lines(), std::vector<std::string>{"body"});
  r.log.clear();
  EXPECT_THROW(r.mime.DecodeFile(dir.File("missing.eml")), std::runtime_error);
  EXPECT_TRUE(r.log.empty());

  // Decoding starts at the stream's position.
  std::istringstream in("garbage\r\nSubject: here\r\n\r\n");
  in.seekg(9);
  r.mime.DecodeStream(in);
  EXPECT_EQ(r.mime.Subject(), "here");

  // A file that cannot take the bytes stops the decode.
  std::ostream broken(nullptr);
  r.mime.OnPartBegin = [&](TMimeDecode *m) { m->DestStream = &broken; };
  EXPECT_THROW(r.Decode("Subject: s\r\n\r\ndata\r\n"), std::ios_base::failure);
}

TEST(MimeDecode, HostileMessages) {
  {  // No header end, and a boundary never met.
    Recorder r;
    r.Decode("Subject: x\r\nContent-Type: multipart/mixed; boundary=q");
    EXPECT_EQ(r.log.back(), "HeaderLine Content-Type: multipart/mixed; boundary=q");
    r.log.clear();
    r.Decode("Content-Type: multipart/mixed; boundary=q\r\n\r\n--q-\r\n--qq\r\n");
    EXPECT_EQ(r.Lines(), (std::vector<std::string>{"--q-", "--qq"}));
    EXPECT_EQ(r.Count("PartEnd"), 0);
  }
  {  // A never-closed part ends with the stream; NUL bytes are data.
    Recorder r;
    r.Decode("Subject: a\0b\r\nContent-Type: multipart/mixed; boundary=q\r\n\r\n--q\r\n\r\nx\0y\r\n"s);
    EXPECT_EQ(r.mime.Subject(), "a");
    EXPECT_EQ(r.Lines(), std::vector<std::string>{std::string("x\0y", 3)});
    EXPECT_EQ(r.log.back(), "PartEnd");
  }
  {  // 100,000 nested boundaries.
    std::string m = "Content-Type: multipart/mixed; boundary=b0\r\n\r\n";
    for (int i = 0; i < 100000; ++i)
      m += "--b" + std::to_string(i) + "\r\nContent-Type: multipart/mixed; boundary=b" + std::to_string(i + 1) + "\r\n\r\n";
    m += "--b100000\r\n\r\nlast\r\n--b0--\r\n";
    Recorder r;
    r.Decode(m);
    EXPECT_EQ(r.mime.PartNumber(), 100001);
    EXPECT_EQ(r.Lines(), std::vector<std::string>{"last"});
  }
  {  // A header of a megabyte, on one line and folded over many.
    const std::string big(1 << 20, 'x');
    Recorder r;
    r.Decode("Subject: " + big + "\r\n\r\n");
    EXPECT_EQ(r.mime.Subject(), big);
    std::string folded = "Subject: a";
    for (int i = 0; i < 100000; ++i) folded += "\r\n b";
    r.log.clear();
    r.Decode(folded + "\r\n\r\n");
    EXPECT_EQ(r.mime.Subject().size(), 1 + 100000 * 4u);
    EXPECT_EQ(r.mime.Subject().substr(0, 9), "a   b   b");
    EXPECT_EQ(std::count_if(r.log.begin(), r.log.end(), [](const std::string &e) { return e.rfind("HeaderLine", 0) == 0; }), 1);
  }
  {  // Bare CR and bare LF line ends decode as CR LF ones do.
    const std::string crlf = Multipart("base64", Base64Lines(AllBytes(200)));
    Recorder a, b, c;
    a.Decode(crlf);
    std::string lf, cr;
    for (std::size_t i = 0; i < crlf.size(); ++i)
      if (crlf.compare(i, 2, "\r\n") == 0) lf += '\n', cr += '\r', ++i;
      else lf += crlf[i], cr += crlf[i];
    b.Decode(lf);
    c.Decode(cr);
    EXPECT_EQ(a.log, b.log);
    EXPECT_EQ(a.log, c.log);
  }
  {  // Many short lines ended by bare CRs, far from any LF, after a line that grew the buffer.
    std::string m = "Subject: s\r\r" + std::string(8 << 20, 'x') + "\r";
    for (int i = 0; i < 300000; ++i) m += "ab\r";
    Recorder r;
    r.Decode(m + "\n");
    EXPECT_EQ(r.Lines().size(), 300001u);
  }
  {  // One line of ten megabytes.
    Recorder r;
    r.capturePart = 0;
    r.Decode("Subject: s\r\n\r\n" + std::string(10 << 20, 'z'));
    EXPECT_EQ(r.dest.str().size(), std::size_t(10 << 20));
  }
}
