#include "compose/RtfReader.h"
#include "compose/RtfWriter.h"
#include "storage/TextFile.h"
#include "support/RichDocs.h"

#include <gtest/gtest.h>

namespace {

// Every format the editor offers, in one document.
TRichDocument FullDocument() {
  TRichDocument d;
  d.Paragraphs.push_back(RichPara({RichRun("Plain "), RichRun("bold ", "b"), RichRun("italic ", "i"),
                                   RichRun("under ", "u"), RichRun("strike", "s")}));
  d.Paragraphs.push_back(RichPara({RichRun("red 14pt Times", "", 0xFF0000, "Times New Roman", 28),
                                   RichRun("blue", "", 0x0000FF, "Courier New", 16)},
                                  TRichAlign::raCenter));
  d.Paragraphs.push_back(RichPara({RichRun("right \xE9\xE8 \x80 tab\there")}, TRichAlign::raRight));
  d.Paragraphs.push_back(RichPara({RichRun("first item")}, TRichAlign::raLeft, true));
  d.Paragraphs.push_back(RichPara({RichRun("second item")}, TRichAlign::raLeft, true));
  d.Paragraphs.push_back(RichPara({}));
  d.Paragraphs.push_back(RichPara({RichRun("braces {x} back\\slash line\vbreak")}));
  return d;
}

std::string DataFile(const std::string &name) {
  const char *dir = std::getenv("BREVANT_TEST_DATA");
  return std::string(dir ? dir : BREVANT_TESTS_DIR "/data") + "/rtf/" + name;
}

}  // namespace

TEST(RtfWriter, WritesTheShapeTheConverterExpects) {
  TRichDocument d;
  d.Paragraphs.push_back(RichPara({RichRun("Hello "), RichRun("world", "b")}));
  EXPECT_EQ(WriteRtf(d),
            "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Arial;}}\r\n"
            "{\\colortbl\\red0\\green0\\blue0;}\r\n"
            "\\pard\\plain\\f0\\fs20 Hello \\b world\\par\r\n"
            "}\r\n");

  // Colours and faces are numbered in order of first use; black is always entry 0.
  TRichDocument c;
  c.Paragraphs.push_back(RichPara({RichRun("a", "", 0x00FF00, "Verdana", 24), RichRun("b", "", 0x102030, "Arial", 24),
                                   RichRun("k", "", 0, "Verdana", 24)}));
  const std::string rtf = WriteRtf(c);
  EXPECT_NE(rtf.find("{\\fonttbl{\\f0\\fnil Verdana;}{\\f1\\fnil Arial;}}"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("{\\colortbl\\red0\\green0\\blue0;\\red0\\green255\\blue0;\\red16\\green32\\blue48;}"),
            std::string::npos)
      << rtf;
  EXPECT_NE(rtf.find("\\plain\\f0\\fs24\\cf1 a\\f1\\cf2 b\\f0\\cf0 k\\par"), std::string::npos) << rtf;
}

TEST(RtfWriter, EscapesTextAndWritesEveryFormat) {
  const std::string rtf = WriteRtf(FullDocument());
  EXPECT_EQ(rtf.compare(0, 17, "{\\rtf1\\ansi\\deff0"), 0);
  EXPECT_EQ(rtf.substr(rtf.size() - 3), "}\r\n");
  for (const char *piece : {"\\b bold \\b0\\i italic \\i0\\ul under \\ulnone\\strike strike\\par",
                            "\\pard\\qc\\f1\\fs28\\cf1\\strike0 red 14pt Times\\f2\\fs16\\cf2 blue",
                            "\\pard\\qr\\f0\\fs20\\cf0 right \\'e9\\'e8 \\'80 tab\\tab here",
                            "{\\*\\pn\\pnlvlblt", "{\\pntext\\'b7\\tab}first item\\par",
                            "{\\pntext\\'b7\\tab}second item\\par", "\\pard\\par",
                            "braces \\{x\\} back\\\\slash line\\line break\\par"})
    EXPECT_NE(rtf.find(piece), std::string::npos) << piece << "\n" << rtf;
  // The bullet list is opened once for its two items.
  EXPECT_EQ(rtf.find("\\pnlvlblt"), rtf.rfind("\\pnlvlblt"));
}

TEST(RtfReader, ReadsBackWhatTheWriterWrote) {
  const TRichDocument doc = FullDocument();
  const std::string rtf = WriteRtf(doc);
  const TRichDocument back = ReadRtf(rtf);
  ASSERT_EQ(back.Paragraphs.size(), doc.Paragraphs.size());
  for (size_t i = 0; i < doc.Paragraphs.size(); ++i) EXPECT_EQ(back.Paragraphs[i], doc.Paragraphs[i]) << "paragraph " << i;
  EXPECT_EQ(WriteRtf(back), rtf);

  // Runs of equal format written separately come back as one; writing again changes nothing.
  TRichDocument split;
  split.Paragraphs.push_back(RichPara({RichRun("one "), RichRun("two")}));
  const std::string once = WriteRtf(split);
  EXPECT_EQ(ReadRtf(once).Paragraphs[0].Runs.size(), 1u);
  EXPECT_EQ(WriteRtf(ReadRtf(once)), once);

  // An empty document is one empty paragraph.
  const TRichDocument empty = ReadRtf(WriteRtf(TRichDocument()));
  ASSERT_EQ(empty.Paragraphs.size(), 1u);
  EXPECT_TRUE(empty.Paragraphs[0].Runs.empty());
}

TEST(RtfReader, ReadsRtfOfOtherProducers) {
  // The shape of a Windows rich-text control: empty first colour entry, a generator group,
  // Unicode with fallbacks, a Symbol bullet and a style sheet.
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
      "{\\f1\\fnil\\fcharset2 Symbol;}}\r\n"
      "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
      "{\\stylesheet{\\s0 Normal;}}{\\info{\\title Secret}{\\author Someone}}\r\n"
      "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1\\pard\\f0\\fs20 Caf\\'e9 \\cf1 red\\cf0  "
      "\\u8364?uro \\uc2\\u8220\\'93\\'93q\\u8221??\\line next\\par\r\n"
      "\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi-720\\li720 item\\par\r\n"
      "\\pard\\qc\\b\\i\\ul\\strike Centre\\ul0\\strike0\\b0\\i0\\par\r\n"
      "\\pard\\unknownword12 {\\*\\unknowndest hidden} tail\\par\r\n"
      "}\r\n\0";
  const TRichDocument d = ReadRtf(rtf);
  ASSERT_EQ(d.Paragraphs.size(), 4u);
  EXPECT_EQ(d.Paragraphs[0].Text(), "Caf\xE9 red \x80uro \x93q\x94\vnext");
  ASSERT_GE(d.Paragraphs[0].Runs.size(), 3u);
  EXPECT_EQ(d.Paragraphs[0].Runs[1].Text, "red");
  EXPECT_EQ(d.Paragraphs[0].Runs[1].Color, 0xFF0000u);
  EXPECT_EQ(d.Paragraphs[0].Runs[0].Color, 0u);
  EXPECT_EQ(d.Paragraphs[0].Runs[0].Face, "Arial");
  EXPECT_EQ(d.Paragraphs[0].Runs[0].SizeHalfPoints, 20);
  EXPECT_TRUE(d.Paragraphs[1].Bullet);
  EXPECT_EQ(d.Paragraphs[1].Text(), "item");
  EXPECT_FALSE(d.Paragraphs[2].Bullet);
  EXPECT_EQ(d.Paragraphs[2].Align, TRichAlign::raCenter);
  const TRichRun &c = d.Paragraphs[2].Runs.at(0);
  EXPECT_TRUE(c.Bold && c.Italic && c.Underline && c.StrikeOut);
  EXPECT_EQ(d.Paragraphs[3].Text(), " tail");
}

TEST(RtfReader, StopsAtTheEndOfTheOuterGroup) {
  const TRichDocument d = ReadRtf("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\pard text\\par\r\n}\r\nSubject=x\r\n{more}");
  ASSERT_EQ(d.Paragraphs.size(), 1u);
  EXPECT_EQ(d.Paragraphs[0].Text(), "text");
}

TEST(RtfReader, SurvivesDamagedInput) {
  // Unbalanced braces, a cut-off escape, huge numbers, NUL bytes, deep nesting, a long word.
  std::string nul("{\\rtf1 a\0b\\par}", 15);
  EXPECT_EQ(ReadRtf(nul).Paragraphs.at(0).Text(), "ab");
  EXPECT_EQ(ReadRtf("{\\rtf1 x\\'").Paragraphs.at(0).Text(), "x");
  EXPECT_EQ(ReadRtf("{\\rtf1 x\\'4").Paragraphs.at(0).Text(), "x");
  const TRichDocument huge = ReadRtf("{\\rtf1\\fs99999999999999999999\\cf4294967296\\f-7 big\\par}");
  EXPECT_EQ(huge.Paragraphs.at(0).Text(), "big");
  EXPECT_LE(huge.Paragraphs[0].Runs[0].SizeHalfPoints, 3276);
  EXPECT_EQ(huge.Paragraphs[0].Runs[0].Color, 0u);
  EXPECT_EQ(ReadRtf("}}}{\\rtf1 a}").Paragraphs.at(0).Text(), "a");  // reading starts at the first brace
  EXPECT_EQ(ReadRtf("{\\rtf1 open {group {deeper").Paragraphs.at(0).Text(), "open group deeper");
  std::string deep = "{\\rtf1 ";
  for (int i = 0; i < 100000; ++i) deep += "{";
  deep += "x";
  for (int i = 0; i < 100000; ++i) deep += "}";
  deep += " y}";
  EXPECT_EQ(ReadRtf(deep).Paragraphs.at(0).Text(), "x y");
  const std::string word = "{\\rtf1\\" + std::string(1 << 20, 'a') + " z\\bin999999999}";
  EXPECT_EQ(ReadRtf(word).Paragraphs.at(0).Text(), "z");
  EXPECT_EQ(ReadRtf("").Paragraphs.size(), 1u);
}

TEST(RtfReader, ReadsFilesWrittenByAWordProcessor) {
  const TRichDocument f = ReadRtf(ReadFileBytes(DataFile("formatted.rtf")));
  std::string all;
  for (const TRichParagraph &p : f.Paragraphs) all += p.Text() + "|";
  EXPECT_NE(all.find("Plain start, bold, italic, underlined, struck."), std::string::npos) << all;
  auto find = [&f](const std::string &text) -> const TRichParagraph & {
    for (const TRichParagraph &p : f.Paragraphs)
      if (p.Text() == text) return p;
    static TRichParagraph none;
    ADD_FAILURE() << "no paragraph " << text;
    return none;
  };
  EXPECT_EQ(find("Red centred line").Align, TRichAlign::raCenter);
  EXPECT_EQ(find("Red centred line").Runs.at(0).Color, 0xFF0000u);
  EXPECT_EQ(find("Right aligned caf\xE9 \x80 5").Align, TRichAlign::raRight);
  EXPECT_TRUE(find("First bullet").Bullet);
  EXPECT_TRUE(find("Second bullet").Bullet);
  EXPECT_FALSE(find("Red centred line").Bullet);
  std::string styled;  // the words of the first line that carry a style, and which
  for (const TRichRun &r : f.Paragraphs.at(0).Runs)
    if (r.Bold || r.Italic || r.Underline || r.StrikeOut)
      styled += r.Text + (r.Bold ? "b" : "") + (r.Italic ? "i" : "") + (r.Underline ? "u" : "") + (r.StrikeOut ? "s" : "") + ";";
  EXPECT_EQ(styled, "boldb;italici;underlinedu;strucks;");
  EXPECT_EQ(find("Braces {x} and back\\slash").Runs.at(0).Face, "Courier New");

  const TRichDocument u = ReadRtf(ReadFileBytes(DataFile("unicode.rtf")));
  ASSERT_GE(u.Paragraphs.size(), 2u);
  EXPECT_EQ(u.Paragraphs[0].Text(), "Gr\xFC\xDF" "e aus K\xF6ln \x96 \x93quoted\x94 text");
  EXPECT_EQ(u.Paragraphs[1].Text(), "second paragraph");
}

TEST(RtfIndents, WrittenReadAndWrittenAgainUnchanged) {
  // First-line, left and right indents (twips), on plain and bullet paragraphs alike.
  TRichDocument d;
  struct TCase {
    int First, Left, Right;
    bool Bullet;
  };
  const TCase cases[] = {{0, 0, 0, false}, {360, 720, 0, false}, {-360, 1440, 288, false}, {0, 0, 500, false},
                         {0, 0, 0, true},  {200, 400, 0, true},  {0, 0, 0, false}};
  for (const TCase &c : cases) {
    TRichParagraph p = RichPara({RichRun("text")}, TRichAlign::raLeft, c.Bullet);
    p.FirstIndent = c.First;
    p.LeftIndent = c.Left;
    p.RightIndent = c.Right;
    d.Paragraphs.push_back(p);
  }
  const std::string rtf = WriteRtf(d);
  for (const char *piece : {"\\pard\\fi360\\li720 ", "\\pard\\fi-360\\li1440\\ri288 ", "\\pard\\ri500 ",
                            "\\pnindent360{\\pntxtb\\'b7}}\\fi-360\\li360{\\pntext",
                            "\\pnindent360{\\pntxtb\\'b7}}\\fi-160\\li760{\\pntext"})
    EXPECT_NE(rtf.find(piece), std::string::npos) << piece << "\n" << rtf;
  const TRichDocument back = ReadRtf(rtf);
  ASSERT_EQ(back.Paragraphs.size(), d.Paragraphs.size());
  for (size_t i = 0; i < d.Paragraphs.size(); ++i) EXPECT_EQ(back.Paragraphs[i], d.Paragraphs[i]) << "paragraph " << i;
  EXPECT_EQ(WriteRtf(back), rtf);

  // Indents of other producers: kept until \pard, bounded, and a bare word is zero.
  const TRichDocument other = ReadRtf(
      "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\li567\\fi-283 a\\par b\\par\\pard\\ri99999999 c\\par\\pard\\li d\\par}");
  ASSERT_EQ(other.Paragraphs.size(), 4u);
  EXPECT_EQ(other.Paragraphs[0].LeftIndent, 567);
  EXPECT_EQ(other.Paragraphs[1].FirstIndent, -283);
  EXPECT_EQ(other.Paragraphs[2].LeftIndent, 0);
  EXPECT_EQ(other.Paragraphs[2].RightIndent, kMaxIndentTwips);
  EXPECT_EQ(other.Paragraphs[3].LeftIndent, 0);
  EXPECT_EQ(WriteRtf(ReadRtf(WriteRtf(other))), WriteRtf(other));
}
