// The sending side of MIME, checked by decoding with the program's own decoders.
#include "net/MimeDec.h"
#include "net/MimeEncode.h"
#include "net/MimeWords.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {
using Lines = std::vector<std::string>;

// Decodes quoted-printable lines back into the original lines.
Lines DecodeQp(const Lines &encoded) {
  Lines out(1);
  for (const std::string &line : encoded) {
    std::string buf = line;
    bool soft = false;
    buf.resize(MimeParse::DecodeQuotedPrintableLine(buf.data(), buf.size(), buf.data(), soft));
    out.back() += buf;
    if (!soft) out.emplace_back();
  }
  out.pop_back();
  return out;
}

std::string Joined(const std::vector<TCharsetText> &parts) {
  std::string out;
  for (const TCharsetText &p : parts) out += p.Bytes;
  return out;
}

// The physical lines of a folded header value.
Lines Physical(const std::string &value) {
  Lines out;
  size_t start = 0;
  for (size_t end; (end = value.find("\r\n", start)) != std::string::npos; start = end + 2)
    out.push_back(value.substr(start, end - start));
  out.push_back(value.substr(start));
  return out;
}

std::string Unfolded(const std::string &value) {
  std::string out;
  for (const std::string &line : Physical(value)) out += line;
  return out;
}
}  // namespace

TEST(MimeEncode, QuotedPrintableKeepsEveryByteAndShortLines) {
  std::string all;
  for (int c = 0; c < 256; ++c)
    if (c != '\r' && c != '\n') all += static_cast<char>(c);
  const Lines table[] = {
      {all, all + all},
      {"Caf\xe9 \x93quoted\x94 \x80 5", "trailing blank ", "trailing tab\t", ""},
      {std::string(200, 'a'), std::string(75, 'b'), std::string(76, 'c'), std::string(77, 'd')},
      {"a=b", std::string(74, 'x') + "\xe9", ".leading dot", "From the start"},
  };
  for (const Lines &lines : table) {
    const Lines encoded = QuotedPrintableLines(lines);
    EXPECT_EQ(DecodeQp(encoded), lines);
    for (const std::string &line : encoded) {
      EXPECT_LE(line.size(), 76u) << line;
      EXPECT_TRUE(IsSevenBitText({line})) << line;
      EXPECT_TRUE(line.empty() || (line.back() != ' ' && line.back() != '\t')) << line;
    }
  }
  EXPECT_EQ(QuotedPrintableLines({"a=b \xe9 "}), (Lines{"a=3Db =E9=20"}));
  EXPECT_EQ(QuotedPrintableLines({std::string(76, 'c')}), (Lines{std::string(76, 'c')}));
  EXPECT_EQ(QuotedPrintableLines({std::string(77, 'c')}), (Lines{std::string(75, 'c') + "=", "cc"}));
}

TEST(MimeEncode, SevenBitOnlyForShortAsciiLines) {
  const struct {
    Lines lines;
    bool sevenBit;
  } table[] = {
      {{"plain", "", "text"}, true},
      {{std::string(998, 'a')}, true},
      {{std::string(999, 'a')}, false},
      {{"caf\xe9"}, false},
      {{"euro \x80"}, false},
      {{std::string("nul\0", 4)}, false},
      {{"bare\rCR"}, false},
  };
  for (const auto &row : table) EXPECT_EQ(IsSevenBitText(row.lines), row.sevenBit) << row.lines[0];
}

TEST(MimeEncode, HeaderWordsDecodeBackAndFold) {
  const std::string table[] = {
      "Caf\xe9 news",
      "Spring news from the \x93" "Caf\xe9\x94 \x80 10 off",
      std::string(50, 'a') + " \xe9t\xe9 " + std::string(30, 'b'),
      "Une tr\xe8s longue ligne d'objet: \xe9t\xe9, automne, hiver, printemps, \xe9t\xe9 encore et toujours \xe0 la mer",
      "looks =?encoded?= but is not",
      "under_score and ?question? = equals \xe9",
  };
  for (const std::string &text : table) {
    const std::string value = EncodeHeaderText(text, "windows-1252", 9);
    EXPECT_NE(value, text);
    // Unfolding drops the line breaks; the decoder drops blanks between encoded words.
    EXPECT_EQ(Joined(DecodeEncodedWords(Unfolded(value))), text) << value;
    const Lines lines = Physical(value);
    EXPECT_LE(lines[0].size() + 9, 76u) << value;
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_LE(lines[i].size(), 76u) << value;
      EXPECT_TRUE(IsSevenBitText({lines[i]})) << value;
      if (i > 0) {
        EXPECT_EQ(lines[i][0], ' ');
      }
    }
  }
  EXPECT_EQ(EncodeHeaderText("Spring news", "windows-1252", 9), "Spring news");
  EXPECT_EQ(EncodeHeaderText("Spring caf\xe9 news", "windows-1252", 9), "Spring =?windows-1252?Q?caf=E9?= news");
}

TEST(MimeEncode, Mailboxes) {
  EXPECT_EQ(MailboxText("Pat Publisher", "pat@example.org", "windows-1252", 6), "\"Pat Publisher\" <pat@example.org>");
  EXPECT_EQ(MailboxText("Pat \"the\" Pub\\", " <pat@example.org> ", "windows-1252", 6),
            "\"Pat \\\"the\\\" Pub\\\\\" <pat@example.org>");
  EXPECT_EQ(MailboxText("  ", "pat@example.org", "windows-1252", 6), "pat@example.org");
  const std::string encoded = MailboxText("Ren\xe9" "e Publi\xe9", "pat@example.org", "windows-1252", 6);
  EXPECT_EQ(encoded, "=?windows-1252?Q?Ren=E9e_Publi=E9?= <pat@example.org>");
  EXPECT_EQ(BareAddress("\"Pat\" <pat@example.org>"), "pat@example.org");
  EXPECT_EQ(BareAddress(" pat@example.org "), "pat@example.org");
}

TEST(MimeEncode, MessageIdsAndBoundariesAreUnique) {
  std::set<std::string> ids, boundaries;
  for (int i = 0; i < 1000; ++i) {
    ids.insert(NewMessageId("\"Pat\" <pat@example.org>"));
    boundaries.insert(NewBoundary());
  }
  EXPECT_EQ(ids.size(), 1000u);
  EXPECT_EQ(boundaries.size(), 1000u);
  const std::string id = *ids.begin();
  EXPECT_EQ(id.front(), '<');
  EXPECT_EQ(id.substr(id.size() - 13), "@example.org>");
  const std::string local = NewMessageId("no address");
  EXPECT_EQ(local.find('@'), local.rfind('@'));
  EXPECT_GT(local.size() - local.find('@'), 3u);
  for (const std::string &b : boundaries) EXPECT_LE(b.size(), 70u);
}

TEST(MimeEncode, AttachmentNamesWithFallback) {
  const struct {
    std::string name;
    std::string fallback;
    bool extended;
  } table[] = {
      {"report.pdf", "report.pdf", false},
      {"R\xe9sum\xe9 \"2026\".pdf", "R_sum_ _2026_.pdf", true},
      {"caf\xe9.txt", "caf_.txt", true},
      {std::string(40, 'x') + "\xe9\xe8\xe0\xf9\xe7" + std::string(40, 'y') + ".txt",
       std::string(40, 'x') + "_____" + std::string(40, 'y') + ".txt", true},
  };
  for (const auto &row : table) {
    const Lines lines = AttachmentHeaderLines("application/pdf", row.name, row.name, "windows-1252");
    EXPECT_EQ(lines[0], "Content-Type: application/pdf;");
    EXPECT_EQ(lines[1], "\tname=\"" + row.fallback + "\"");
    EXPECT_EQ(lines[2], "Content-Transfer-Encoding: base64");
    EXPECT_EQ(lines[3], "Content-Disposition: attachment;");
    if (!row.extended) {
      EXPECT_EQ(lines.back(), "\tfilename=\"" + row.fallback + "\"");
    } else {
      EXPECT_EQ(lines.back().find("filename=\""), std::string::npos);  // one parameter, not two
    }
    std::string params;
    for (size_t i = 4; i < lines.size(); ++i) {
      if (lines[i].find("filename*") != std::string::npos) {
        EXPECT_LE(lines[i].size(), 78u);
      }
      EXPECT_TRUE(IsSevenBitText({lines[i]}));
      params += lines[i];
    }
    const TCharsetText decoded = MimeParameter(params, "filename");
    EXPECT_EQ(decoded.Bytes, row.name);
    EXPECT_EQ(decoded.Charset, row.extended ? "windows-1252" : "");
  }
}
