#include <gtest/gtest.h>

#include "compose/AssembleMessage.h"
#include "compose/RtfWriter.h"
#include "compose/Scrooge.h"
#include "compose/SendAssembly.h"
#include "storage/TextFile.h"
#include "support/RichDocs.h"
#include "support/TempDir.h"

namespace {

// A newsletter with the codes where merging can go wrong: split by formatting, in another
// case, next to markup, forming a code only once a value is in, in a line long enough for
// quoted-printable to wrap, beside Windows-1252 bytes.
TAssemblyInput Newsletter(const TempDir &dir) {
  TRichDocument doc;
  doc.Paragraphs = {
      RichPara({RichRun("%NAME% first, then Dear %Name% of %Address 1%, %Address 2%")}),
      RichPara({RichRun("Split %Na"), RichRun("me% by bold, <b>markup</b> & %Phone%", "b")}),
      RichPara({RichRun("Formed: %Custom%Phone% 1% and %Custom 1%")}),
      RichPara({RichRun("\x93quoted\x94 \x80 caf\xE9 <a href=\"%PI WWW URL%\">site</a> %E-mail% %List Name%")}),
      RichPara({RichRun(std::string(120, 'w') + " %Custom 2% " + std::string(120, 'z') + " %Custom 3%")}),
      RichPara({RichRun("Notes: %Comments% / %PI Notes% / %To Address%")}),
  };
  TAssemblyInput in;
  in.DataDir = dir.Path();
  in.BodyRtf = WriteRtf(doc);
  for (const TRichParagraph &p : doc.Paragraphs) {
    std::string line;
    for (const TRichRun &r : p.Runs) line += r.Text;
    in.BodyLines.push_back(line);
  }
  in.BodyLines.emplace_back();  // the editor's last, empty line
  in.Subject = "Issue <5> & \x93more\x94";
  in.Background = 0x00E0F0FF;
  in.SendHtml = true;
  in.ListChosen = true;
  in.ListTexts = {true, "Head %Name%", true, "Sig", true, "Foot"};
  in.List.ListName = "News & <Views>";
  in.List.ToAddress = "list@example.org";
  in.Personal.WebURL = "https://example.org/?a=1&b=2";
  in.Personal.Notes = "PI notes";
  return in;
}

struct TRecipientCase {
  const char *What;
  TRecipientFields Fields;
};

const std::vector<TRecipientCase> &Recipients() {
  static const std::vector<TRecipientCase> cases = {
      {"plain values", {"Ann", "1 High St", "Springfield", "555 0100", "gold", "since 2020", "weekly", "ann@example.org", ""}},
      {"HTML special characters", {"<b>Bo & \"Co\"</b>", "a<b", "x>y", "&amp;", "", "", "", "bo@example.org", ""}},
      {"a value holding other codes", {"%Phone% / %name% / %Custom 1%", "%E-mail%", "", "555", "%List Name%", "", "", "c@example.org", ""}},
      {"empty values", {"", "", "", "", "", "", "", "", ""}},
      {"Windows-1252 bytes", {"Zo\xEB \x93Z\x94", "Stra\xDF" "e 1", "", "", "\x80 100", "", "", "z@example.org", ""}},
      {"long values that quoted-printable wraps",
       {std::string(200, 'n'), "", "", "", "", std::string(90, '=') + " " + std::string(90, 'v'), std::string(300, '\xE9'),
        "l@example.org", ""}},
      {"a value of several lines", {"Di", "", "", "", "", "", "", "d@example.org", "line 1\r\nline 2\r\n\r\nline 4"}},
      {"a value that closes the page", {"Eve", "", "\r\n</BODY>\r\n", "", "", "", "", "e@example.org", "</BODY>"}},
      {"a value with the percent sign and the case of a code", {"100%", "%ADDRESS 1%", "%", "%Phone", "", "", "", "p@example.org", ""}},
  };
  return cases;
}

void ExpectSameDigest(const TDigest &fast, const TDigest &whole, const std::string &what) {
  EXPECT_EQ(fast.ContentType, whole.ContentType) << what;
  EXPECT_EQ(fast.Lines, whole.Lines) << what;
  EXPECT_EQ(fast.TextLines, whole.TextLines) << what;
}

// The newsletter, the converter as the main window sets it up, and the assembly of a run.
class SendAssembly : public ::testing::Test {
protected:
  SendAssembly() { scrooge.ConfigureForMainWindow(); }
  TempDir dir;
  TAssemblyInput in = Newsletter(dir);
  TScrooge scrooge;
  TScroogeConverter converter{scrooge};
  TSendAssembly assembly;
};
}  // namespace

TEST_F(SendAssembly, MergingIntoThePreparedBodyGivesTheWholeAssemblyByteForByte) {
  TScrooge wholeScrooge;
  wholeScrooge.ConfigureForMainWindow();
  TScroogeConverter wholeConverter(wholeScrooge);
  for (const bool html : {true, false}) {
    in.SendHtml = html;
    assembly.Clear();
    std::vector<std::string> previous;
    for (size_t i = 0; i < Recipients().size(); ++i) {
      const TRecipientCase &c = Recipients()[i];
      const std::string what = std::string(c.What) + (html ? " (HTML)" : " (plain text)");
      in.Recipient = c.Fields;
      const TDigest fast = assembly.Assemble(in, true, &converter);
      // Only the first recipient needs a whole assembly.
      EXPECT_EQ(assembly.LastReused(), i > 0) << what;
      const TDigest whole = AssembleMessage(in, true, true, &wholeConverter);
      ExpectSameDigest(fast, whole, what);
      EXPECT_NE(fast.Lines, previous) << what << ": the values were not merged";
      previous = fast.Lines;
    }
  }
}

TEST_F(SendAssembly, RecursiveValuesAndConverterErrorsStayAsTheyWere) {
  in.Recipient = Recipients()[0].Fields;
  assembly.Assemble(in, true, &converter);

  // A value holding its own code fails that recipient only, prepared body or not.
  in.Recipient.Custom1 = "more %Custom 1% inside";
  try {
    assembly.Assemble(in, true, &converter);
    ADD_FAILURE() << "a value holding its own code was merged";
  } catch (const ERecursiveFieldCode &e) {
    EXPECT_EQ(e.Code(), "%Custom 1%");
  }
  in.Recipient.Custom1 = "gold";
  assembly.Assemble(in, true, &converter);
  EXPECT_TRUE(assembly.LastReused());

  // A body the converter refuses is refused for every recipient, as before.
  in.BodyRtf = "plain words";
  for (int round = 0; round < 2; ++round) {
    EXPECT_THROW(assembly.Assemble(in, true, &converter), EScroogeError);
    EXPECT_FALSE(assembly.LastReused());
  }
}

TEST_F(SendAssembly, AChangedNewsletterIsConvertedAgain) {
  const TAssemblyInput base = in;
  struct TChange {
    const char *What;
    void (*Apply)(TAssemblyInput &);
  };
  const TChange changes[] = {
      {"body", [](TAssemblyInput &in) { in.BodyRtf = WriteRtf(TRichDocument{{RichPara({RichRun("New %Name%")})}}); }},
      {"laid-out lines", [](TAssemblyInput &in) { in.BodyLines[0] += " more"; }},
      {"subject (the page title)", [](TAssemblyInput &in) { in.Subject = "Other"; }},
      {"background", [](TAssemblyInput &in) { in.Background = 0x00000000; }},
      {"HTML switched off", [](TAssemblyInput &in) { in.SendHtml = false; }},
  };
  for (const TChange &change : changes) {
    TSendAssembly fresh;
    TAssemblyInput changed = base;
    changed.Recipient = Recipients()[0].Fields;
    fresh.Assemble(changed, true, &converter);
    change.Apply(changed);
    const TDigest fast = fresh.Assemble(changed, true, &converter);
    EXPECT_FALSE(fresh.LastReused()) << change.What;
    ExpectSameDigest(fast, AssembleMessage(changed, true, true, &converter), change.What);
    fresh.Assemble(changed, true, &converter);
    EXPECT_TRUE(fresh.LastReused()) << change.What;
  }
  // Header and list texts are no part of the prepared body.
  assembly.Assemble(in, true, &converter);
  in.ListTexts.Header = "Another head";
  in.List.ListName = "Renamed";
  const TDigest fast = assembly.Assemble(in, true, &converter);
  EXPECT_TRUE(assembly.LastReused());
  ExpectSameDigest(fast, AssembleMessage(in, true, true, &converter), "list texts");
  // Without merging nothing is prepared.
  ExpectSameDigest(assembly.Assemble(in, false, &converter), AssembleMessage(in, true, false, &converter), "no merge");
  EXPECT_FALSE(assembly.LastReused());
}

TEST_F(SendAssembly, OnlyTheWholeAssemblyWritesTheWorkFile) {
  in.Recipient = Recipients()[0].Fields;
  assembly.Assemble(in, true, &converter);
  EXPECT_NE(ReadAll(dir.File("temp.dat")).find("Dear Ann of 1 High St"), std::string::npos);
  WriteAll(dir.File("temp.dat"), "untouched");
  in.Recipient = Recipients()[1].Fields;
  assembly.Assemble(in, true, &converter);
  EXPECT_EQ(ReadAll(dir.File("temp.dat")), "untouched");
}

// A converter that converts whole pages only.
class TWholePagesOnly : public THtmlConverter {
public:
  explicit TWholePagesOnly(TScrooge &scrooge) : inner_(scrooge) {}
  std::string ConvertToHtml(const std::string &rtf, const std::string &title, const std::vector<std::string> &bodyOptions,
                            const std::vector<std::string> *replaceStrings) override {
    ++conversions;
    return inner_.ConvertToHtml(rtf, title, bodyOptions, replaceStrings);
  }
  int conversions = 0;

private:
  TScroogeConverter inner_;
};

TEST_F(SendAssembly, AConverterThatCannotCutItsPagesConvertsEveryMessage) {
  TWholePagesOnly wholePages(scrooge);
  for (size_t i = 0; i < 3; ++i) {
    in.Recipient = Recipients()[i].Fields;
    ExpectSameDigest(assembly.Assemble(in, true, &wholePages), AssembleMessage(in, true, true, &converter),
                     Recipients()[i].What);
    EXPECT_FALSE(assembly.LastReused());
  }
  EXPECT_EQ(wholePages.conversions, 3);
}

TEST(Scrooge, APageInPartsMergesAsTheWholeConversion) {
  TRichDocument doc;
  doc.Paragraphs = {RichPara({RichRun("Hello %Name%, %name% & %NAME%")}), RichPara({RichRun("%Phone%", "b"), RichRun(" end")})};
  const std::string rtf = WriteRtf(doc);
  const std::vector<std::string> replacements = {"%Name%=<i>Ann</i> %Phone%", "%Phone%=5 & 5", "%Name%=ignored"};
  struct TSetup {
    const char *What;
    void (*Apply)(TScrooge &);
  };
  const TSetup setups[] = {
      {"main window", [](TScrooge &s) { s.ConfigureForMainWindow(); }},
      {"default font", [](TScrooge &s) { s.ConfigureForMainWindow(), s.Options.Include(soUseDefaultFont); }},
      {"no page", [](TScrooge &s) { s.ConfigureForMainWindow(), s.Options.Exclude(soWrapHTML); }},
      {"defaults", [](TScrooge &) {}},
  };
  for (const TSetup &setup : setups) {
    TScrooge whole, parts;
    setup.Apply(whole);
    setup.Apply(parts);
    for (TScrooge *s : {&whole, &parts}) {
      s->Title = "T <1>";
      s->BodyOptions = {"BGCOLOR=#FFFFFF"};
    }
    whole.ReplaceStrings = replacements;
    whole.Options.Include(soReplaceStrings);
    std::string expected;
    whole.ConvertRTF(rtf, expected);
    TScrooge::TPageParts page = parts.ConvertParts(rtf);
    parts.MergeReplaceStrings(replacements, page.Body);
    EXPECT_EQ(page.Head + page.Body + page.Tail, expected) << setup.What;
    EXPECT_NE(expected.find("<i>Ann</i> 5 & 5"), std::string::npos) << setup.What << expected;
  }
}
