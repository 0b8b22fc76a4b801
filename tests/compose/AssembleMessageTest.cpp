#include <gtest/gtest.h>

#include <algorithm>

#include "compose/AssembleMessage.h"
#include "compose/RtfReader.h"
#include "compose/RtfWriter.h"
#include "compose/Scrooge.h"
#include "storage/FileErrors.h"
#include "storage/TextFile.h"
#include "support/RichDocs.h"
#include "support/TempDir.h"

namespace {
size_t Count(const std::string &text, const std::string &what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TAssemblyInput Newsletter(const TempDir &dir) {
  TAssemblyInput in;
  in.DataDir = dir.Path();
  in.BodyRtf = WriteRtf(PlainDoc({"Dear %Name%,", "bye"}));
  in.Subject = "Issue 5";
  in.Background = 0x00FFFFFF;
  in.GeneralTexts = {true, "General head", true, "General sig\r\nline 2", true, "General foot"};
  in.ListTexts = {true, "List head", false, "List sig", true, "List foot"};
  in.Recipient.Name = "Ann";
  in.Recipient.Email = "ann@example.org";
  return in;
}

// The newsletter and the converter as the main window sets it up.
class AssembleMessageTest : public ::testing::Test {
protected:
  AssembleMessageTest() { scrooge.ConfigureForMainWindow(); }
  TempDir dir;
  TAssemblyInput in = Newsletter(dir);
  TScrooge scrooge;
  TScroogeConverter converter{scrooge};
};
}  // namespace

TEST_F(AssembleMessageTest, PlainTextMergesCodesWithTheReplaceAllRules) {
  in.BodyLines = {"Dear %Name%, %name% stays", "%Name% again: mail %E-mail%", "Notes: [%Comments%]",
                  "%Unknown% is left"};
  in.Recipient.Name = "Ann <%E-mail%>";  // a later code inside an earlier value is merged too
  const TDigest d = AssembleMessage(in, true, true, nullptr);
  EXPECT_EQ(d.ContentType, TDigestContent::dcPlainText);
  const std::vector<std::string> expected = {
      "General head", "",  // no list chosen: the general texts
      "Dear Ann <ann@example.org>, %name% stays", "Ann <ann@example.org> again: mail ann@example.org",
      "Notes: []", "%Unknown% is left",
      "", "", "General sig", "line 2", "", "General foot"};
  EXPECT_EQ(d.Lines, expected);
  EXPECT_TRUE(d.Rtf.empty());
  EXPECT_TRUE(d.HtmlFile.empty());

  // Multi-line values become lines of their own; without merging the codes stay.
  in.Recipient.Comments = "first\r\nsecond";
  in.ListChosen = true;
  const TDigest merged = AssembleMessage(in, true, true, nullptr);
  EXPECT_EQ(merged.Lines[2], "Dear Ann <ann@example.org>, %name% stays");
  EXPECT_EQ(merged.Lines[4], "Notes: [first");
  EXPECT_EQ(merged.Lines[5], "second]");
  const TDigest raw = AssembleMessage(in, true, false, nullptr);
  EXPECT_EQ(raw.Lines[2], "Dear %Name%, %name% stays");
}

TEST_F(AssembleMessageTest, HeaderSignatureAndFooterSources) {
  in.BodyLines = {"body"};
  in.ListChosen = true;
  // A chosen list brings its own texts; its signature is not included.
  EXPECT_EQ(AssembleMessage(in, true, false, nullptr).Lines,
            (std::vector<std::string>{"List head", "", "body", "", "", "List foot"}));
  // "Use General Properties" of the send overrides the list.
  in.UseGeneralProperties = true;
  EXPECT_EQ(AssembleMessage(in, true, false, nullptr).Lines.front(), "General head");
  // An included but empty header still gives its empty line.
  in.UseGeneralProperties = false;
  in.ListTexts = {true, "", false, "", false, ""};
  EXPECT_EQ(AssembleMessage(in, true, false, nullptr).Lines, (std::vector<std::string>{"", "body", "", ""}));
}

TEST(InsertRtfLines, AfterTheTables) {
  // Insertion goes after the tables even when a generator group follows them.
  const std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red1\\green2\\blue3;}"
                          "{\\*\\generator Writer;}\\viewkind4 {\\b bold}\\par}\r\n";
  const std::string out = InsertRtfLines(rtf, {"A\\B", ""}, {"", "Z\tz"});
  EXPECT_EQ(out, "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red1\\green2\\blue3;}"
                 "{\\*\\generator Writer;}\\pard\\plain A\\\\B\\par\r\n\\par\r\n\\viewkind4 {\\b bold}\\par"
                 "\\pard\\plain \\par\r\nZ\\tab z\\par\r\n}\r\n");
  EXPECT_EQ(InsertRtfLines(rtf, {}, {}), rtf);
}

TEST_F(AssembleMessageTest, HtmlThroughTheConverterMergesFirstMatchIgnoringCase) {
  in.BodyRtf = WriteRtf(PlainDoc({"Dear %name%,", "Hi %Name% and %name%. <a href=\"%PI WWW URL%\">site</a>",
                                  "Notes: [%Comments%] & more"}));
  in.SendHtml = true;
  in.Background = 0x00E0F0FF;
  in.Personal.WebURL = "http://example.org/";
  const TDigest d = AssembleMessage(in, true, true, &converter);
  std::string html;
  for (const auto &line : d.Lines) html += line + "\n";
  // The first occurrence is found whatever its case, the later ones only as written.
  EXPECT_NE(html.find("Dear Ann,"), std::string::npos) << html;
  EXPECT_NE(html.find("Hi Ann and %name%."), std::string::npos) << html;
  EXPECT_NE(html.find("<a href=\"http://example.org/\">site</a>"), std::string::npos) << html;
  EXPECT_NE(html.find("Notes: [] &amp; more"), std::string::npos) << html;
  EXPECT_NE(html.find("<BODY BGCOLOR=#FFF0E0>"), std::string::npos) << html;
  EXPECT_NE(html.find("<TITLE>Issue 5</TITLE>"), std::string::npos) << html;
  // Header at the start of the page's body, signature and footer at its end, all inside it.
  EXPECT_EQ(d.Lines[0], "<HTML>");
  const size_t open = std::find(d.Lines.begin(), d.Lines.end(), "<BODY BGCOLOR=#FFF0E0>") - d.Lines.begin();
  ASSERT_LT(open + 2, d.Lines.size());
  EXPECT_EQ(d.Lines[open + 1], "General head");
  EXPECT_EQ(d.Lines[open + 2], "");
  EXPECT_EQ(d.Lines.back(), "</HTML>");
  EXPECT_EQ(d.Lines[d.Lines.size() - 2], "</BODY>");
  EXPECT_EQ(d.Lines[d.Lines.size() - 3], "General foot");
  EXPECT_TRUE(scrooge.Options.Contains(soReplaceStrings));

  // Without merging the converter is told to leave the codes.
  const TDigest raw = AssembleMessage(in, true, false, &converter);
  EXPECT_FALSE(scrooge.Options.Contains(soReplaceStrings));
  std::string rawHtml;
  for (const auto &line : raw.Lines) rawHtml += line + "\n";
  EXPECT_EQ(Count(rawHtml, "%name%"), 2u);

  // The HTML is also the work file, without the header and the trailer lines in its body.
  std::vector<std::string> page = raw.Lines;
  const auto head = std::find(page.begin(), page.end(), "General head");
  ASSERT_NE(head, page.end());
  page.erase(head, head + 2);
  const auto close = std::find(page.begin(), page.end(), "</BODY>");
  ASSERT_GE(close - page.begin(), 6);
  page.erase(close - 6, close);
  EXPECT_EQ(SplitLines(ReadAll(dir.File("temp.dat"))), page);

  // A value holding its own code stops the assembly before anything is converted.
  in.Personal.Notes = "see %PI Notes% below";
  WriteAll(dir.File("temp.dat"), "before");
  try {
    AssembleMessage(in, true, true, &converter);
    ADD_FAILURE() << "a value holding its own code was merged";
  } catch (const ERecursiveFieldCode &e) {
    EXPECT_EQ(e.Code(), "%PI Notes%");
    EXPECT_NE(std::string(e.what()).find("%PI Notes%"), std::string::npos);
    EXPECT_EQ(e.StatusText(), "Field code %PI Notes% holds itself");
  }
  EXPECT_EQ(ReadAll(dir.File("temp.dat")), "before");
  // Without merging, or as plain text, the same value is harmless.
  EXPECT_NO_THROW(AssembleMessage(in, true, false, &converter));
  in.SendHtml = false;
  in.BodyLines = {"%PI Notes%"};
  EXPECT_EQ(AssembleMessage(in, true, true, nullptr).Lines[2], "see %PI Notes% below");
  in.SendHtml = true;
  in.Personal.Notes.clear();

  // A body that is no RTF is the converter's error, and reaches the caller.
  in.BodyRtf = "plain words";
  EXPECT_THROW(AssembleMessage(in, true, true, &converter), EScroogeError);
}

TEST_F(AssembleMessageTest, PreviewThroughTheConverterShowsTheWholeDigest) {
  in.BodyLines = {"Dear %Name%,", "bye"};
  in.Subject = "News <1> {x}";
  in.Background = 0x00336699;
  const TDigest d = AssembleMessage(in, false, false, &converter);
  const std::string html = ReadAll(d.HtmlFile);
  EXPECT_EQ(d.HtmlFile, dir.File("temp.html"));
  EXPECT_EQ(ReadAll(dir.File("temp.dat")), in.BodyRtf);  // the body's own rich text
  EXPECT_NE(html.find("<BODY BGCOLOR=#996633>"), std::string::npos) << html;
  EXPECT_NE(d.Rtf.find("Subject:  News <1> \\{x\\}\\par"), std::string::npos) << d.Rtf;
  const size_t subject = html.find("Subject:  News &lt;1&gt; {x}<BR>");
  const size_t head = html.find("General head<BR>");
  const size_t body = html.find("Dear %Name%,");
  const size_t sig = html.find("General sig<BR>");
  const size_t foot = html.find("General foot");
  ASSERT_NE(subject, std::string::npos) << html;
  ASSERT_NE(foot, std::string::npos) << html;
  EXPECT_LT(subject, head);
  EXPECT_LT(head, body);
  EXPECT_LT(body, sig);
  EXPECT_LT(sig, foot);
  // The text view reads the same digest back as paragraphs.
  const TRichDocument shown = ReadRtf(d.Rtf);
  ASSERT_GE(shown.Paragraphs.size(), 9u);
  EXPECT_EQ(shown.Paragraphs[0].Text(), "Subject:  News <1> {x}");
  EXPECT_EQ(shown.Paragraphs[3].Text(), "General head");
  EXPECT_EQ(shown.Paragraphs[5].Text(), "Dear %Name%,");
  EXPECT_EQ(shown.Paragraphs.back().Text(), "General foot");
  // A work file that cannot be written ends the assembly with the file's name.
  in.DataDir = dir.File("missing/");
  EXPECT_THROW(AssembleMessage(in, false, false, &converter), EFCreateError);
}

TEST_F(AssembleMessageTest, HtmlSendCarriesThePlainTextForm) {
  in.BodyLines = {"Dear %Name%,", "bye"};
  in.SendHtml = true;
  in.ListChosen = true;
  const TDigest merged = AssembleMessage(in, true, true, &converter);
  // The same document in plain-text mode, codes merged the same way, with the list's texts.
  EXPECT_EQ(merged.TextLines, (std::vector<std::string>{"List head", "", "Dear Ann,", "bye", "", "", "List foot"}));
  const TDigest raw = AssembleMessage(in, true, false, &converter);
  EXPECT_EQ(raw.TextLines[2], "Dear %Name%,");
  in.SendHtml = false;
  EXPECT_TRUE(AssembleMessage(in, true, true, &converter).TextLines.empty());  // plain text needs no second form
}
