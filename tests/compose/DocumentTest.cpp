#include "compose/Document.h"
#include "compose/RtfWriter.h"
#include "compose/Scrooge.h"
#include "storage/TextFile.h"
#include "support/RichDocs.h"
#include "support/TempDir.h"

#include <QDate>
#include <QLocale>
#include <gtest/gtest.h>

namespace {

TNewsletterContent Content(const std::string &text, const std::string &subject) {
  TNewsletterContent c;
  c.Body.Paragraphs.push_back(RichPara({RichRun(text, "b")}));
  c.Subject = subject;
  c.Background = 0x00FFFF;
  return c;
}

const TDateTime kNow = 46000.5;  // a day in 2025, at noon

// A folder, the converter as the main window sets it up, and the page's document state.
class Document : public ::testing::Test {
protected:
  Document() { conv.ConfigureForMainWindow(); }
  TempDir dir;
  TScrooge conv;
  TDocumentState st;
};

}  // namespace

TEST_F(Document, WritesTheDocumentFormatByteForByte) {
  const TNewsletterContent c = Content("Body text", "Hello = world");
  const std::string file = dir.File("issue.bvd");
  WriteDocument(st, file, dfDocument, c, std::string(60, 'A'), conv, kNow);
  // The key lines are written from the state, so they show what it holds now.
  EXPECT_EQ(st.FileName, file);
  EXPECT_EQ(st.Subject, "Hello = world");
  EXPECT_EQ(ReadFileBytes(file), WriteRtf(c.Body) + "\r\nSubject=Hello = world\r\nDate Created=" +
                                     DateTimeToText(kNow) + "\r\nDate Modified=" + DateTimeToText(kNow) +
                                     "\r\nAuthor=" + std::string(50, 'A') + "\r\nBG Color=clYellow\r\n");

  // A new document saved over an existing file keeps date created at zero.
  TDocumentState fresh;
  WriteDocument(fresh, file, dfDocument, c, "Me", conv, kNow + 1);
  EXPECT_NE(ReadFileBytes(file).find("\r\nDate Created=" + DateTimeToText(0) + "\r\n"), std::string::npos);
}

TEST_F(Document, ExportsRichTextPlainTextAndHtml) {
  // A send merged one recipient's values and set its title and colour: none of it is exported.
  conv.ReplaceStrings = {"%Name%=Jane Roe", "%E-mail%=jane@example.com"};
  conv.Options.Include(soReplaceStrings);
  conv.Title = "For Jane";
  conv.BodyOptions = {"BGCOLOR=#FF0000"};
  TNewsletterContent c = Content("Dear %Name%", "S");
  c.Body.Paragraphs.push_back(c.Body.Paragraphs[0]);
  c.Body.Paragraphs[1].Runs[0].Text = "tab\there\vbreak";
  WriteDocument(st, dir.File("a.rtf"), dfRichText, c, "Me", conv, kNow);
  EXPECT_EQ(ReadFileBytes(dir.File("a.rtf")), WriteRtf(c.Body));
  WriteDocument(st, dir.File("a.any"), dfAllFiles, c, "Me", conv, kNow);
  EXPECT_EQ(ReadFileBytes(dir.File("a.any")), WriteRtf(c.Body));
  WriteDocument(st, dir.File("a.txt"), dfText, c, "Me", conv, kNow);
  EXPECT_EQ(ReadFileBytes(dir.File("a.txt")), "Dear %Name%\r\ntab\there\r\nbreak\r\n");
  WriteDocument(st, dir.File("a.html"), dfHTML, c, "Me", conv, kNow);
  const std::string html = ReadFileBytes(dir.File("a.html"));
  EXPECT_EQ(html.compare(0, 8, "<HTML>\r\n"), 0);
  EXPECT_NE(html.find("<B>Dear %Name%<BR>\r\ntab\there"), std::string::npos) << html;
  for (const char *leak : {"Jane", "jane@example.com", "#FF0000"}) EXPECT_EQ(html.find(leak), std::string::npos) << leak;
  EXPECT_EQ(st.FileName, dir.File("a.html"));
}

TEST_F(Document, ReadsKeyLines) {
  const TNewsletterContent c = Content("Body", "Multi\r\nAuthor=Injected\r\nline");
  const std::string file = dir.File("multi.bvd");
  WriteDocument(st, file, dfDocument, c, "Writer", conv, kNow);

  TDocumentState back;
  const TReadResult r = ReadDocument(back, file);
  EXPECT_TRUE(r.IsDocument && r.IsRichText);
  EXPECT_EQ(r.Body, c.Body);
  EXPECT_EQ(back.FileName, file);
  EXPECT_EQ(back.Subject, "Multi");        // the first line only
  EXPECT_EQ(r.Subject, "Multi");
  EXPECT_EQ(back.Author, "Writer");        // the last occurrence of a key wins
  EXPECT_EQ(back.DateCreated, kNow);
  EXPECT_EQ(back.DateModified, kNow);
  EXPECT_TRUE(r.HasBackground);
  EXPECT_EQ(r.Background, 0x00FFFFu);

  // Hand-written key lines: an equals sign in the value, a bad date, colour forms, none.
  const struct {
    std::string keys, subject;
    size_t author;
    bool hasBackground;
    TColor background;
  } rows[] = {
      {"Subject=a=b\r\nDate Created=not a date\r\nAuthor=" + std::string(80, 'x') + "\r\nBG Color=$00FF0000\r\n", "a=b",
       50, true, 0xFF0000},
      {"BG Color=16777215\r\nSubject=x\r\n", "x", 0, true, 0xFFFFFF},
      {"BG Color=purplish\r\nSubject=after a bad colour\r\n", "after a bad colour", 0, false, clWhite},
      {"", "", 0, false, clWhite},
  };
  for (const auto &row : rows) {
    WriteAll(dir.File("k.bvd"), WriteRtf(c.Body) + "\r\n" + row.keys);
    TDocumentState s;
    s.DateCreated = 7;
    const TReadResult k = ReadDocument(s, dir.File("k.bvd"));
    EXPECT_TRUE(k.IsDocument);
    EXPECT_EQ(s.Subject, row.subject);
    EXPECT_EQ(s.DateCreated, 7);
    EXPECT_EQ(s.Author.size(), row.author);
    EXPECT_EQ(k.HasBackground, row.hasBackground) << row.keys;
    EXPECT_EQ(k.Background, row.background) << row.keys;
  }
  ClearDocumentState(back);  // as Open does before reading
  EXPECT_EQ(back.FileName + back.Subject + back.Author, "");
  EXPECT_EQ(back.DateCreated + back.DateModified, 0);
}

TEST_F(Document, TellsDocumentsFromImports) {
  ASSERT_TRUE(ForceDirectories(dir.File("old.BVD.d")));
  const std::string rtf = WriteRtf(Content("Rich", "").Body);
  const std::string inFolder = dir.File("old.BVD.d/letter.txt");
  WriteAll(inFolder, rtf + "\r\nSubject=Folder\r\n");
  TDocumentState st;
  EXPECT_TRUE(ReadDocument(st, inFolder).IsDocument);
  EXPECT_EQ(st.Subject, "Folder");
  EXPECT_TRUE(IsDocumentFileName("/x/news.bvd.bak"));
  EXPECT_FALSE(IsDocumentFileName("/x/news.bv"));

  TDocumentState untouched;
  untouched.Subject = "keep";
  WriteAll(dir.File("plain.txt"), "Just text\r\nSubject=not a key\r\n");
  const TReadResult t = ReadDocument(untouched, dir.File("plain.txt"));
  EXPECT_FALSE(t.IsDocument);
  EXPECT_FALSE(t.IsRichText);
  EXPECT_EQ(t.PlainText, "Just text\r\nSubject=not a key\r\n");
  EXPECT_EQ(untouched.Subject, "keep");
  EXPECT_EQ(untouched.FileName, "");
  WriteAll(dir.File("rich.rtf"), rtf);
  const TReadResult rr = ReadDocument(untouched, dir.File("rich.rtf"));
  EXPECT_TRUE(rr.IsRichText);
  EXPECT_EQ(rr.Body.Paragraphs.at(0).Text(), "Rich");
  EXPECT_EQ(DocumentWindowTitle(untouched), "Brevant 2.0:  ");

  EXPECT_EQ(FilterForFileName("/a/b.bvd", dfText), dfDocument);
  EXPECT_EQ(FilterForFileName("/a/b.RTF", dfText), dfRichText);
  EXPECT_EQ(FilterForFileName("/a/b.txt", dfDocument), dfText);
  EXPECT_EQ(FilterForFileName("/a/b.htm", dfText), dfHTML);
  EXPECT_EQ(FilterForFileName("/a/b.doc", dfText), dfText);
}

TEST(TextForms, ColoursAsText) {
  // The settings files' forms (their own tests hold the names), and decimal numbers of older files.
  TColor c = 0;
  const std::pair<const char *, TColor> table[] = {{"clWindow", clWindow}, {"255", 255}, {" 16777215 ", 0xFFFFFF},
                                                   {"-2147483643", clWindow}};
  for (auto [text, value] : table) {
    ASSERT_TRUE(ReadColorText(text, c)) << text;
    EXPECT_EQ(c, value) << text;
  }
  c = 42;
  for (const char *bad : {"", "red", "$", "$xyz", "12abc", "99999999999", "1.5"}) EXPECT_FALSE(ReadColorText(bad, c)) << bad;
  EXPECT_EQ(c, 42u);
  EXPECT_EQ(ColorToText(clWindow), "clWindow");
}

TEST(TextForms, DateTimesAsText) {
  // The system's short date with the year in full, as the older program's files hold it.
  const QLocale l = QLocale::system();
  QString fmt = l.dateFormat(QLocale::ShortFormat);
  EXPECT_EQ(DateTimeToText(46000), l.toString(QDate(2025, 12, 9), fmt.replace("yyyy", "yy").replace("yy", "yyyy")).toStdString());
  TDateTime v = 0;
  for (TDateTime t : {0.0, 46000.0, 46000.5, 46000.0 + 13.0 / 24 + 14.0 / 1440 + 15.0 / 86400, 1.75}) {
    ASSERT_TRUE(TextToDateTime(DateTimeToText(t), v)) << DateTimeToText(t);
    EXPECT_NEAR(v, t, 0.5 / 86400) << DateTimeToText(t);
  }
  v = 3;
  EXPECT_FALSE(TextToDateTime("yesterday", v));
  EXPECT_FALSE(TextToDateTime("", v));
  EXPECT_EQ(v, 3);
  EXPECT_GT(NowDateTime(), 45000);
}
