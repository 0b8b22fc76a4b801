#include "ui/DigestPage.h"

#include <QTabWidget>
#include <QTextBrowser>
#include <QTextEdit>
#include <QtTest>

#include "compose/RtfWriter.h"
#include "compose/Scrooge.h"
#include "support/RichDocs.h"
#include "support/TempDir.h"

class DigestPageTest : public QObject {
  Q_OBJECT

  static TAssemblyInput Newsletter(const TempDir &dir, const std::string &greeting) {
    TAssemblyInput in;
    in.DataDir = dir.Path();
    TRichDocument doc;
    doc.Paragraphs.push_back(RichPara({RichRun(greeting, "b")}));
    doc.Paragraphs.back().LeftIndent = 720;  // half an inch from the ruler
    doc.Paragraphs.back().FirstIndent = 360;
    in.BodyRtf = WriteRtf(doc);
    in.BodyLines = {greeting};
    in.Subject = "Weekly";
    in.Background = 0x00CCEEFF;  // 0x00BBGGRR
    return in;
  }

private slots:
  void previewIsRebuiltEachTimeAndASendShowsItsLines() {
    TempDir dir;
    TDigestPage page;
    page.resize(600, 400);
    page.show();
    TScrooge scrooge;
    scrooge.ConfigureForMainWindow();
    TScroogeConverter converter(scrooge);

    page.Preview(Newsletter(dir, "Hello %Name%"), converter);
    QVERIFY(page.re_DigBody->toPlainText().contains("Hello %Name%"));
    QCOMPARE(page.re_DigBody->palette().color(QPalette::Base), QColor(0xFF, 0xEE, 0xCC));
    QCOMPARE(page.re_DigBody->textCursor().position(), 0);
    // The body keeps its bold face in the text view.
    QTextCursor inBody(page.re_DigBody->document());
    inBody.setPosition(page.re_DigBody->toPlainText().indexOf("Hello") + 1);
    QCOMPARE(inBody.charFormat().fontWeight(), int(QFont::Bold));
    QCOMPARE(inBody.blockFormat().leftMargin(), 36.0);  // and its indents
    QCOMPARE(inBody.blockFormat().textIndent(), 18.0);
    QCOMPARE(page.WebBrowser2->source(), QUrl::fromLocalFile(QString::fromStdString(dir.File("temp.html"))));
    QVERIFY(page.WebBrowser2->toPlainText().contains("Hello %Name%"));

    // The same file name shows the new content after the next assembly.
    page.Preview(Newsletter(dir, "Second issue"), converter);
    QVERIFY(page.WebBrowser2->toPlainText().contains("Second issue"));
    QVERIFY(!page.WebBrowser2->toPlainText().contains("Hello"));
    QVERIFY(!page.tbtn_Back->isEnabled());

    // A digest of a send shows its lines as they are.
    TDigest d;
    d.Lines = {"<HTML>", "<BODY>", "x", "</BODY>", "</HTML>"};
    d.ContentType = TDigestContent::dcHTML;
    page.ShowDigest(d, Qt::white);
    QCOMPARE(page.re_DigBody->toPlainText(), QString("<HTML>\n<BODY>\nx\n</BODY>\n</HTML>"));
    QVERIFY(page.re_DigBody->isReadOnly());
    page.SetDefaultSubPage(true);
    QCOMPARE(page.pc_Digest->currentWidget(), page.ts_HTML);
    page.SetDefaultSubPage(false);
    QCOMPARE(page.pc_Digest->currentWidget(), page.ts_Text);
  }

  void historyButtonsMoveBetweenLocalPagesOnly() {
    TempDir dir;
    WriteAll(dir.File("a.html"), "<html><body><a href=\"b.html\">next</a> <a href=\"http://example.org/\">web</a></body></html>");
    WriteAll(dir.File("b.html"), "<html><body>page b</body></html>");
    TDigestPage page;
    TDigest d;
    d.HtmlFile = dir.File("a.html");
    page.ShowDigest(d, Qt::white);
    emit page.WebBrowser2->anchorClicked(QUrl("http://example.org/"));
    QVERIFY(page.WebBrowser2->toPlainText().contains("next"));
    emit page.WebBrowser2->anchorClicked(QUrl("b.html"));
    QVERIFY(page.WebBrowser2->toPlainText().contains("page b"));
    QVERIFY(page.tbtn_Back->isEnabled());
    page.tbtn_Back->trigger();
    QVERIFY(page.WebBrowser2->toPlainText().contains("next"));
    QVERIFY(page.tbtn_Forward->isEnabled());
    page.tbtn_Forward->trigger();
    QVERIFY(page.WebBrowser2->toPlainText().contains("page b"));
    page.tbtn_Forward->trigger();  // nothing further: stays
    QVERIFY(page.WebBrowser2->toPlainText().contains("page b"));
  }
};

QTEST_MAIN(DigestPageTest)
#include "DigestPageTest.moc"
