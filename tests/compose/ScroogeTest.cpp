#include "compose/RtfWriter.h"
#include "compose/Scrooge.h"
#include "storage/TextFile.h"
#include "support/RichDocs.h"
#include "support/TempDir.h"
#include "support/Thrown.h"

#include <gtest/gtest.h>

namespace {

// The editor's stream: header, font table, colour table, the body, "}" and CR LF.
std::string Rtf(const std::string &body, const std::string &fonts = "{\\f0\\fswiss Arial;}",
                const std::string &colors = "\\red0\\green0\\blue0;") {
  return "{\\rtf1\\ansi\\deff0{\\fonttbl" + fonts + "}{\\colortbl" + colors + "}" + body + "}\r\n";
}

// Converts with the given options and no page wrapper; returns the body.
std::string Body(const std::string &body, TScroogeOptions options,
                 const std::string &colors = "\\red0\\green0\\blue0;",
                 const std::string &fonts = "{\\f0\\fswiss Arial;}") {
  TScrooge s;
  s.Options = options;
  std::string html;
  s.ConvertRTF(Rtf(body, fonts, colors), html);
  EXPECT_GE(html.size(), 2u);
  return html.substr(0, html.size() - 2);  // the CR LF that ends the body
}

const TScroogeOptions kSizes{soProcessFontSize};

}  // namespace

TEST(Scrooge, WorkedExampleComesOutByteForByte) {
  TScrooge s;
  s.ConfigureForMainWindow();
  s.BodyOptions = {"BGCOLOR=#FFFFFF"};
  const std::string rtf =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl\\red0\\green0\\blue0;}"
      "\\pard\\plain\\f0\\fs20 Hello \\b world\\b0\\par }\r\n";
  std::string html;
  s.ConvertRTF(rtf, html);
  EXPECT_EQ(html,
            "<HTML>\r\n<HEAD>\r\n<TITLE></TITLE>\r\n"
            "<meta http-equiv=\"content-type\" content=\"text/html; charset=windows-1252\">\r\n"
            "</HEAD>\r\n<BODY BGCOLOR=#FFFFFF>\r\n"
            "<FONT FACE=\"Arial,Helvetica\">Hello <B>world</B><BR>\r\n"
            "\r\n</BODY>\r\n</HTML>");
  EXPECT_EQ(s.Version(), "Scrooge 1.50");
  EXPECT_THROW(s.ConvertRTF("{\\rtf2 x}\r\n", html), EScroogeError);
  EXPECT_EQ(ThrownText<EScroogeError>([&] { s.ConvertRTF("plain text", html); }),
            "Scrooge: RTF header is missing. Conversion aborted.");
}

TEST(Scrooge, ConvertsWhatTheWriterWritesAlsoToAFile) {
  TRichDocument d;
  d.Paragraphs.push_back(RichPara({RichRun("Hi <there> & "), RichRun("caf\xE9", "b", 0xFF0000, "Arial", 28)}));
  d.Paragraphs.push_back(RichPara({RichRun("Hi <there> & ")}, TRichAlign::raCenter));
  d.Paragraphs.back().LeftIndent = 1440;  // the ruler's indents reach the HTML
  TScrooge s;
  s.ConfigureForMainWindow();
  s.Options.Exclude(soWrapHTML);
  std::string html;
  s.ConvertRichEdit(d, html);
  EXPECT_EQ(html,
            "<FONT FACE=\"Arial,Helvetica\">Hi &lt;there&gt; &amp; <FONT SIZE=4><FONT COLOR=\"#FF0000\"><B>caf&eacute;"
            "<BR>\r\n\r\n<p align=center>\r\n<FONT SIZE=2><FONT COLOR=\"#000000\"></B>"
            "<DIV style=\"margin-left:72pt;text-align:center\">Hi &lt;there&gt; &amp; </DIV>\r\n\r\n");

  // To a file: the whole page with its last line ended; an existing file is replaced unless
  // the converter is told otherwise.
  TempDir dir;
  const std::string file = dir.File("out.html");
  s.Options.Include(soWrapHTML);
  EXPECT_TRUE(s.ConvertRichEditToFile(d, file));
  EXPECT_TRUE(s.ConvertRichEditToFile(d, file));
  const std::string page = ReadFileBytes(file);
  EXPECT_EQ(page.substr(page.size() - 9), "</HTML>\r\n");
  EXPECT_NE(page.find(">Hi &lt;there&gt; &amp; <FONT SIZE=4>"), std::string::npos);
  s.FailIfFileExists = true;
  EXPECT_EQ(ThrownText<EScroogeError>([&] { s.ConvertRichEditToFile(d, file); }), "File exists");
}

TEST(Scrooge, MapsSizes) {
  EXPECT_EQ(Body("\\pard\\fs16 a\\fs24 b\\fs72 c\\par ", kSizes), "<SMALL>a<FONT SIZE=3>b<FONT SIZE=9>c<BR>\r\n");
  TScrooge s;
  bool small = false;
  const std::pair<int, int> table[] = {{-1, 9}, {0, 0}, {8, 0}, {9, 2}, {11, 2}, {12, 3}, {13, 3}, {14, 4},
                                       {15, 4}, {16, 5}, {18, 5}, {19, 6}, {27, 6}, {28, 9}, {500, 9}};
  for (auto [points, size] : table) {
    EXPECT_EQ(s.MapFontSize(points, small), size) << points;
    EXPECT_EQ(small, size < 2) << points;
  }
  s.OnGetFontSize = [](TScrooge *, int rtf, int &html) { html = rtf == 12 ? 7 : html; };
  EXPECT_EQ(s.MapFontSize(12, small), 7);
  // Without optimising each word writes its tag; "plain" resets to 10 points; a number that
  // does not parse counts as 10 points.
  EXPECT_EQ(Body("\\fs24 a\\fs24 b\\plain c\\fs2x d\\par ", kSizes),
            "<FONT SIZE=3>a<FONT SIZE=3>b<FONT SIZE=2>c<FONT SIZE=2>d<BR>\r\n");
  EXPECT_EQ(Body("\\fs24 a\\fs24 b\\plain c\\fs20 d\\par ", {soProcessFontSize, soOptimize}),
            "<FONT SIZE=3>abc<FONT SIZE=2>d<BR>\r\n");  // "plain" compares with the size in force
  // Sizes, faces and colours are left out without their options.
  EXPECT_EQ(Body("\\fs24\\f1\\cf1 a\\par ", {}, "\\red0\\green0\\blue0;\\red255\\green0\\blue0;",
                 "{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}"),
            "a<BR>\r\n");
}

TEST(Scrooge, WritesFaces) {
  const std::string fonts = "{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}{\\f2\\froman Times New Roman;}"
                            "{\\f3\\fnil Symbol;}{\\f4\\fnil Verdana;}";
  const TScroogeOptions faces{soProcessFontFace, soOptimize, soMoreCompatible};
  EXPECT_EQ(Body("\\f0\\f0 a\\f1 b\\f2 c\\f3 d\\f4 e\\f99 f\\par ", faces, "", fonts),
            "<FONT FACE=\"Arial,Helvetica\">a<FONT FACE=\"Courier,Courier New\">b<FONT FACE=\"Times\">cd"
            "<FONT FACE=\"Verdana\">e<FONT FACE=\"Arial,Helvetica\">f<BR>\r\n");
  EXPECT_EQ(Body("\\f0\\f0 a\\par ", {soProcessFontFace}, "", fonts),
            "<FONT FACE=\"Arial\"><FONT FACE=\"Arial\">a<BR>\r\n");
  TScrooge s;
  s.Options = faces;
  s.OnGetFontName = [](TScrooge *sender, std::string &name) {
    EXPECT_NE(sender, nullptr);
    if (name == "Verdana") name = "Verdana,sans-serif";
  };
  std::string html;
  s.ConvertRTF(Rtf("\\f4 x\\par ", fonts), html);
  EXPECT_EQ(html, "<FONT FACE=\"Verdana,sans-serif\">x<BR>\r\n\r\n");
}

TEST(Scrooge, WritesColours) {
  const std::string colors = "\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red1\\green300\\blue15;";
  EXPECT_EQ(Body("\\cf1 a\\cf2 b\\cf9 c\\cf1x d\\plain e\\par ", {soUseColors}, colors),
            "<FONT COLOR=\"#FF0000\">a<FONT COLOR=\"#0112C0F\">b<FONT COLOR=\"#000000\">c"
            "<FONT COLOR=\"#000000\">de<BR>\r\n");  // colour number 0 is not closed by "plain"
  // Counting from 1, and only before the first "plain".
  EXPECT_EQ(Body("\\cf1 a\\plain\\red9\\green9\\blue9 b\\cf3 c\\par ", {soUseColors, soIPCompatible}, colors),
            "<FONT COLOR=\"#000000\">a</FONT>b<FONT COLOR=\"#0112C0F\">c<BR>\r\n");
}

TEST(Scrooge, WritesStylesAlignmentAndLists) {
  EXPECT_EQ(Body("\\b\\i\\ul\\strike a\\plain b\\strike\\strike0\\ul\\ulnone\\ul\\ul0\\page\\par ", {}),
            "<B><I><U><STRIKE>a</STRIKE></U></I></B>b<STRIKE></STRIKE><U></U><U></U><HR>\r\n<BR>\r\n");
  EXPECT_EQ(Body("\\pard\\qc a\\par\\pard\\qr b\\par\\pard c\\par ", {}),
            "\r\n<p align=center>\r\na<BR>\r\n</p>\r\n<p align=right>\r\nb<BR>\r\n</p>c<BR>\r\n");
  // The bullet character of a list item disappears; outside a list it is a middle dot.
  EXPECT_EQ(Body("\\pard{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}{\\pntext\\'b7\\tab}one\\par{\\pntext\\'b7\\tab}two\\par"
                 "\\pard \\'b7\\par ",
                 {}),
            "\r\n<UL>\r\n<LI>\tone</LI>\r\n<LI>\ttwo</LI>\r\n</UL>\r\n\r\n&middot;<BR>\r\n");
}

TEST(Scrooge, EncodesCharactersAndEscapes) {
  EXPECT_EQ(Body("a < b & c > d \\{x\\} \\\\ \\'e9\\'a8\\'96\\'41\\~\\lquote\\rdblquote\\ldblquote\\par ", {}),
            "a &lt; b &amp; c &gt; d {x} \\ &eacute;&die;\x96" "A&nbsp;'\"\"<BR>\r\n");
  TScrooge s;
  const auto entity = [&s](int code, bool inList) {
    std::string t;
    s.CharToEntity(code, inList, t);
    return t;
  };
  for (int code = 160; code <= 255; ++code) {
    const std::string t = entity(code, false);
    EXPECT_TRUE(t.size() > 2 && t.front() == '&' && t.back() == ';') << code;
  }
  EXPECT_EQ(entity(160, false) + entity(255, false) + entity(183, true) + entity(150, false), "&nbsp;&yuml;\x96");
  std::string t;
  s.EncodeText("R&D <\xE9>", t);
  EXPECT_EQ(t, "R&D <&eacute;>");
}

TEST(Scrooge, RestoresTypedTags) {
  const TScroogeOptions links{soHyperlinks};
  EXPECT_EQ(Body("see <a href=\"http://x.org/\">here</a> now\\par ", links),
            "see <a href=\"http://x.org/\">here</a> now<BR>\r\n");
  EXPECT_EQ(Body("see <a href=\"x\">here</a>\\par ", {}),
            "see &lt;a href=\"x\"&gt;here&lt;/a&gt;<BR>\r\n");
  EXPECT_EQ(Body("<IMG SRC=\"p.jpg\"> <center>c</center> <div align=right>d</div> <pre>p</pre>\\par ", links),
            "<img src=\"p.jpg\"> <center>c</center> <div align=right>d</div> <pre>p</pre><BR>\r\n");
  EXPECT_EQ(Body("<table><tr><td>1</td></tr></table>\\par <body bgcolor=red>\\par ", links),
            "<table><tr><td>1</td></tr></table><BR>\r\n<body bgcolor=red><BR>\r\n");
  // Forms that never complete are left escaped instead of looping for ever.
  EXPECT_EQ(Body("<a href=\"x\">no end\\par <img src=\"y\" <pre </td <tr\\par ", links),
            "&lt;a href=\"x\"&gt;no end<BR>\r\n&lt;img src=\"y\" &lt;pre &lt;/td &lt;tr<BR>\r\n");
  // The first "&gt;" of the line is the one replaced, wherever it stands.
  EXPECT_EQ(Body("1 > 0 <img src=\"z\">\\par ", links), "1 > 0 <img src=\"z\"&gt;<BR>\r\n");
}

TEST(Scrooge, ReplacesText) {
  TScrooge s;
  std::string r;
  s.ReplaceText("a %NAME% b %Name% c %Name%", "%Name%", "Jo", true, true, r);
  EXPECT_EQ(r, "a Jo b Jo c Jo");
  s.ReplaceText("a %name% b %name%", "%Name%", "Jo", true, true, r);
  EXPECT_EQ(r, "a Jo b %name%");  // later searches regard case
  s.ReplaceText("x x x", "x", "y", false, false, r);
  EXPECT_EQ(r, "y x x");
  s.ReplaceText("abb", "ab", "a", false, true, r);
  EXPECT_EQ(r, "a");  // a match formed by a replacement is found again
  s.ReplaceText("abc", "", "z", false, true, r);
  EXPECT_EQ(r, "abc");
  EXPECT_THROW(s.ReplaceText("x", "%A%", "<%A%>", true, true, r), EScroogeError);
  std::string same = "one one";
  s.ReplaceText(same, "one", "two", false, true, same);
  EXPECT_EQ(same, "two two");

  // Replacement acts on the body only, in list order, with the value of the first entry of a name.
  TScrooge page;
  page.ConfigureForMainWindow();
  page.Options.Include(soReplaceStrings);
  page.Title = "News for %Name% & co";
  page.ReplaceStrings = {"%Name%=Ann", "%E-mail%=ann@x.org", "%name%=ignored", "noequals"};
  std::string html;
  page.ConvertRTF(Rtf("\\pard Dear %name%, %Name% at %E-mail%\\par "), html);
  EXPECT_NE(html.find("<TITLE>News for %Name% & co</TITLE>"), std::string::npos) << html;
  EXPECT_NE(html.find("Dear Ann, Ann at ann@x.org<BR>"), std::string::npos) << html;
  page.ReplaceStrings = {"%Name%=my %Name%"};
  EXPECT_THROW(page.ConvertRTF(Rtf("x\\par "), html), EScroogeError);
}

TEST(Scrooge, WrapsThePage) {
  TScrooge s;
  s.Options = {soWrapHTML};
  s.MetaContentType.clear();
  std::string html;
  s.ConvertRTF(Rtf("x\\par "), html);
  EXPECT_EQ(html, "<HTML>\r\n<HEAD>\r\n</HEAD>\r\n<BODY>x<BR>\r\n\r\n</BODY>\r\n</HTML>");
  s.Options = {soWrapHTML, soUseTitle, soUseDefaultFont};
  s.Title = "T\xE9";
  s.Headtags = {"<style>p{}</style>", "<base href=x>"};
  s.MetaAuthor = "A";
  s.MetaContentType = "C";
  s.MetaDescription = "D";
  s.MetaGenerator = "G";
  s.MetaKeywords = "K";
  s.BodyOptions = {"BGCOLOR=#000000", "TEXT=#FFFFFF"};
  s.DefaultFontSize = 14;
  s.ConvertRTF(Rtf("x\\par "), html);
  EXPECT_EQ(html,
            "<HTML>\r\n<HEAD>\r\n<TITLE>T&eacute;</TITLE>\r\n<style>p{}</style>\r\n<base href=x>\r\n"
            "<meta name=\"author\" content=\"A\">\r\n<meta http-equiv=\"content-type\" content=\"C\">\r\n"
            "<meta name=\"description\" content=\"D\">\r\n<meta name=\"generator\" content=\"G\">\r\n"
            "<meta name=\"keywords\" content=\"K\">\r\n</HEAD>\r\n<BODY BGCOLOR=#000000\r\nTEXT=#FFFFFF\r\n>\r\n"
            "<FONT FACE=\"Arial,Helvetica\" SIZE=4>x<BR>\r\n</FONT>\r\n</BODY>\r\n</HTML>");
  // The text after the last line end is not added.
  s.Options = {};
  s.ConvertRTF(Rtf("a\\par b"), html);
  EXPECT_EQ(html, "a<BR>\r\n\r\n");
}

TEST(Scrooge, ReportsProgressAndCanBeCancelled) {
  std::string body;
  for (int i = 0; i < 2000; ++i) body += "word %X% more text\\par\r\n";
  const std::string rtf = Rtf(body);
  TScrooge s;
  s.Options = {soReplaceStrings, soWrapHTML};
  s.ReplaceStrings = {"%X%=y"};
  std::vector<int> seen;
  int pumped = 0;
  s.OnProgress = [&seen](TScrooge *, int position, bool &) { seen.push_back(position); };
  s.OnProcessMessages = [&pumped](TScrooge *) { ++pumped; };
  std::string html;
  s.ConvertRTF(rtf, html);
  EXPECT_EQ(seen, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
  EXPECT_GE(pumped, 2);

  seen.clear();
  s.OnProgress = [&seen](TScrooge *, int position, bool &cont) {
    seen.push_back(position);
    cont = position < 30;
  };
  s.ConvertRTF(rtf, html);
  EXPECT_EQ(seen, (std::vector<int>{10, 20, 30}));
  // What was converted is still replaced and wrapped.
  EXPECT_EQ(html.compare(0, 6, "<HTML>"), 0);
  EXPECT_EQ(html.find("%X%"), std::string::npos);
  EXPECT_NE(html.find("word y more text<BR>"), std::string::npos);
  EXPECT_LT(html.size(), rtf.size() / 2);
}

TEST(Scrooge, KeepsDashesBulletsAndIndents) {
  // Dashes and a bullet outside a list are characters of the text.
  EXPECT_EQ(Body("9\\endash 5\\emdash now \\bullet  x\\par ", {}), "9&ndash;5&mdash;now &bull; x<BR>\r\n");
  // An indented paragraph is a block of its own, opened at its text; a blank paragraph
  // between indented ones stays a line break, and \\pard ends the indents.
  EXPECT_EQ(Body("\\pard\\fi-360\\li720\\ri144\\plain a\\par\\par b\\par\\pard c\\par ", {}),
            "<DIV style=\"margin-left:36pt;text-indent:-18pt;margin-right:7.2pt\">a</DIV>\r\n<BR>\r\n"
            "<DIV style=\"margin-left:36pt;text-indent:-18pt;margin-right:7.2pt\">b</DIV>\r\nc<BR>\r\n");
  // Centred and indented: the block carries the alignment too.
  EXPECT_EQ(Body("\\pard\\qc\\li200 x\\par\\pard y\\par ", {}),
            "\r\n<p align=center>\r\n<DIV style=\"margin-left:10pt;text-align:center\">x</DIV>\r\n</p>y<BR>\r\n");
  // A list indents by itself: its hanging indent writes no block.
  EXPECT_EQ(Body("\\pard{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}\\fi-360\\li360{\\pntext\\'b7\\tab}one\\par\\pard ", {}),
            "\r\n<UL>\r\n<LI>\tone</LI>\r\n</UL>\r\n\r\n");
}
