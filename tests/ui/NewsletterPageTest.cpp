#include "storage/TextFile.h"
#include "support/ModalAnswer.h"
#include "support/RichDocs.h"
#include "support/TempDir.h"
#include "ui/FormatBar.h"
#include "ui/NewsletterPage.h"
#include "ui/RichTextBridge.h"

#include <QComboBox>
#include <QFontDialog>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>

namespace {

// A page whose dialogs answer from scripted values and count how often they were shown.
struct TScriptedPage {
  TNewsletterPage page;
  QString saveName, openName;
  int saveFilter = dfDocument;
  int saveCalls = 0, openCalls = 0, askCalls = 0;
  int lastSaveFilterShown = 0, lastOpenFilterShown = 0;
  QString lastSaveFileShown, lastOpenFolder;
  QMessageBox::StandardButton answer = QMessageBox::No;
  QStringList errors;

  TScriptedPage() {
    page.AskSaveChanges = [this](const QString &text) {
      ++askCalls;
      EXPECT_TEXT(text);
      return answer;
    };
    page.GetSaveFileName = [this](const QString &, const QString &file, int &filter) {
      ++saveCalls;
      lastSaveFileShown = file;
      lastSaveFilterShown = filter;
      if (!saveName.isEmpty()) filter = saveFilter;
      return saveName;
    };
    page.GetOpenFileName = [this](const QString &, int &filter, QString &folder) {
      ++openCalls;
      lastOpenFilterShown = filter;
      lastOpenFolder = folder;
      return openName;
    };
    page.ShowError = [this](const QString &text) { errors << text; };
    page.PersonalName = [] { return QString("Ann Author"); };
  }
  static void EXPECT_TEXT(const QString &text) {
    QCOMPARE_NE(text.indexOf("This file has not been saved since the last modification."), -1);
    QCOMPARE_NE(text.indexOf("Would you like to save this file before closing?"), -1);
  }
};

// Every format the editor offers: faces, sizes, colours, styles, alignments, bullets, the
// ruler's indents (twips), a line break, a tab and 8-bit characters, an empty paragraph.
TRichDocument FormattedBody() {
  TRichDocument d;
  const TRichRun plain = RichRun("Plain and "), bold = RichRun("bold red", "b", 0xFF0000, "Courier New", 28);
  d.Paragraphs = {RichPara({plain, bold}), RichPara({RichRun("centred italic", "ius")}, TRichAlign::raCenter),
                  RichPara({plain}, TRichAlign::raLeft, true), RichPara({bold}, TRichAlign::raRight, true),
                  RichPara({RichRun("two\vlines\ttab \xE9\x80")}), RichPara({})};
  d.Paragraphs[1].FirstIndent = 360;
  d.Paragraphs[1].LeftIndent = 720;
  d.Paragraphs[1].RightIndent = 200;
  d.Paragraphs[2].LeftIndent = 400;
  d.Paragraphs[4].FirstIndent = -240;
  return d;
}

}  // namespace

class NewsletterPageTest : public QObject {
  Q_OBJECT
private slots:
  void savesAndOpensADocumentWithEveryFormat() {
    TempDir dir;
    TScriptedPage s;
    TNewsletterPage &p = s.page;
    QSignalSpy titles(&p, &TNewsletterPage::TitleChanged);
    const TRichDocument formatted = FormattedBody();
    RichToDocument(formatted, *p.re_NewsBody->document());
    p.mmo_Subject->setPlainText("June: <news>?");
    p.ToolBar1->SetBackground(QColor(0x12, 0x34, 0x56));  // the page colour chosen on the format bar
    QCOMPARE(p.re_NewsBody->palette().color(QPalette::Base), QColor(0x12, 0x34, 0x56));
    s.saveName = QString::fromStdString(dir.File("june.bvd"));
    QVERIFY(p.SaveDocument());
    QCOMPARE(s.saveCalls, 1);
    QCOMPARE(s.lastSaveFileShown, QString("June news"));
    QCOMPARE(s.lastSaveFilterShown, 1);
    QCOMPARE(p.WindowTitle(), QString("Brevant 2.0:  june.bvd"));
    QCOMPARE(titles.last().at(0).toString(), QString("Brevant 2.0:  june.bvd"));
    QVERIFY(!p.Document.Modified);
    QVERIFY(p.re_NewsBody->toolTip().startsWith("Author: Ann Author\r\nDate Created: "));
    QVERIFY(p.re_NewsBody->toolTip().endsWith("\r\nFile Name: june.bvd"));
    // Blue in the high byte, as stored.
    QVERIFY(ReadFileBytes(dir.File("june.bvd")).find("\r\nAuthor=Ann Author\r\nBG Color=$00563412\r\n") != std::string::npos);

    // Every format, indent and break survives the editor, the file and the editor again.
    TScriptedPage other;
    other.openName = s.saveName;
    other.page.OpenDocument();
    QCOMPARE(other.lastOpenFilterShown, 1);
    QCOMPARE(other.page.mmo_Subject->toPlainText(), QString("June: <news>?"));
    QCOMPARE(other.page.re_NewsBody->palette().color(QPalette::Base), QColor(0x12, 0x34, 0x56));
    QCOMPARE(other.page.WindowTitle(), QString("Brevant 2.0:  june.bvd"));
    QVERIFY(!other.page.Document.Modified);
    QVERIFY(other.page.Body() == formatted);

    // A second save of the titled document asks nothing.
    p.re_NewsBody->append("more");
    QVERIFY(p.SaveDocument());
    QCOMPARE(s.saveCalls, 1);
  }

  // The body's menu: Cut acts on the body's selection, Font... gives it the dialog's choice.
  void bodyMenuCutsAndSetsTheFont() {
    TScriptedPage s;
    TNewsletterPage &p = s.page;
    p.show();
    QCOMPARE(p.re_NewsBody->contextMenuPolicy(), Qt::CustomContextMenu);
    p.re_NewsBody->setPlainText("cut me");
    QTextCursor c = p.re_NewsBody->textCursor();
    c.setPosition(0);
    c.setPosition(4, QTextCursor::KeepAnchor);
    p.re_NewsBody->setTextCursor(c);
    p.Cut2->trigger();
    QCOMPARE(p.re_NewsBody->toPlainText(), QString("me"));
    p.re_NewsBody->selectAll();
    AnswerNextModal<QFontDialog>([](QFontDialog *d) {
      QFont f = d->currentFont();
      f.setPointSize(31);
      f.setItalic(true);
      d->setCurrentFont(f);
      d->accept();
    });
    p.Font1->trigger();
    QTextCursor probe(p.re_NewsBody->document());
    probe.setPosition(1);
    QCOMPARE(probe.charFormat().fontPointSize(), 31.0);
    QVERIFY(probe.charFormat().fontItalic());
  }

  void listChoicesFollowTheCatalogue() {
    TScriptedPage s;
    QComboBox *box = s.page.cb_MailLists;
    auto texts = [box] {
      QStringList t;
      for (int i = 0; i < box->count(); ++i) t << box->itemText(i);
      return t;
    };
    s.page.SetListChoices({"alpha", "Gamma"});
    s.page.AddListChoice("Beta");
    s.page.AddListChoice("zeta");
    QCOMPARE(texts(), (QStringList{"", "alpha", "Beta", "Gamma", "zeta"}));
    box->setCurrentIndex(3);  // Gamma chosen, then renamed: still chosen under its new name
    s.page.RenameListChoice("Gamma", "Aardvark");
    QCOMPARE(texts(), (QStringList{"", "Aardvark", "alpha", "Beta", "zeta"}));
    QCOMPARE(box->currentText(), QString("Aardvark"));
    s.page.RemoveListChoice("Aardvark");  // the chosen list goes: no list is chosen
    QCOMPARE(texts(), (QStringList{"", "alpha", "Beta", "zeta"}));
    QCOMPARE(box->currentIndex(), 0);
  }

  void tracksChangesAndAsksBeforeLosingThem() {
    TScriptedPage s;
    TNewsletterPage &p = s.page;
    QCOMPARE(p.WindowTitle(), QString("Brevant 2.0: Untitled"));
    QVERIFY(!p.Document.Modified);
    QSignalSpy body(&p, &TNewsletterPage::BodyTextChanged);
    p.mmo_Subject->setPlainText("s");
    QVERIFY(p.Document.Modified);
    p.Document.Modified = false;
    p.re_NewsBody->setPlainText("unsaved");
    QVERIFY(p.Document.Modified);
    QCOMPARE(body.last().at(0).toBool(), true);
    p.lb_Attachments->addItem("/tmp/a.pdf");
    s.answer = QMessageBox::Cancel;
    p.NewDocument();
    QCOMPARE(s.askCalls, 1);
    QCOMPARE(p.re_NewsBody->toPlainText(), QString("unsaved"));
    QVERIFY(p.Document.Modified);

    // Yes, then the save dialog cancelled: the changes are discarded.
    s.answer = QMessageBox::Yes;
    p.NewDocument();
    QCOMPARE(s.saveCalls, 1);
    QCOMPARE(p.re_NewsBody->toPlainText(), QString());
    QCOMPARE(body.last().at(0).toBool(), false);  // an empty body again
    QCOMPARE(p.lb_Attachments->count(), 0);
    QCOMPARE(p.Background(), clWindow);
    QCOMPARE(p.WindowTitle(), QString("Brevant 2.0: Untitled"));
    QVERIFY(!p.Document.Modified);

    // Nothing changed: no question. Open answered Cancel changes nothing either.
    p.CloseDocument();
    QCOMPARE(s.askCalls, 2);
    p.mmo_Subject->setPlainText("edited");
    s.answer = QMessageBox::Cancel;
    p.OpenDocument();
    QCOMPARE(s.openCalls, 0);
    s.answer = QMessageBox::No;
    p.OpenDocument();  // the open dialog is cancelled: nothing changes
    QCOMPARE(s.openCalls, 1);
    QCOMPARE(p.mmo_Subject->toPlainText(), QString("edited"));
  }

  void importsTextSavesAndExports() {
    TempDir dir;
    TScriptedPage s;
    TNewsletterPage &p = s.page;
    WriteAll(dir.File("notes.txt"), "Caf\xE9 line\r\nSubject=not a key\r\n");
    p.mmo_Subject->setPlainText("kept");
    p.SetBackground(0x0000FF);
    s.openName = QString::fromStdString(dir.File("notes.txt"));
    s.answer = QMessageBox::No;
    p.OpenDocument();
    QCOMPARE(p.re_NewsBody->toPlainText(), QString::fromUtf8("Café line\nSubject=not a key\n"));
    QCOMPARE(p.mmo_Subject->toPlainText(), QString("kept"));
    QCOMPARE(p.Background(), TColor(0x0000FF));
    QCOMPARE(p.WindowTitle(), QString("Brevant 2.0:  "));
    QVERIFY(p.Document.FileName.empty());
    s.saveName.clear();
    p.SaveDocument();
    QCOMPARE(s.lastSaveFilterShown, 1);

    // A titled newsletter is saved as a document even when a message save left filter 3.
    s.saveName = QString::fromStdString(dir.File("kept.bvd"));
    QVERIFY(p.SaveDocument());
    p.SaveFilterIndex = dfText;
    p.re_NewsBody->append("later");
    QVERIFY(p.SaveDocument());
    const std::string bytes = ReadFileBytes(dir.File("kept.bvd"));
    QVERIFY(bytes.compare(0, 6, "{\\rtf1") == 0);
    QVERIFY(bytes.find("\r\nSubject=kept\r\n") != std::string::npos);

    // Save As writes the format chosen in the dialog (the documents' own tests hold each one).
    s.saveFilter = dfText;
    s.saveName = QString::fromStdString(dir.File("export.txt"));
    QVERIFY(p.SaveDocumentAs());
    QCOMPARE(ReadFileBytes(dir.File("export.txt")).substr(0, 11), std::string("Caf\xE9 line\r\n"));
    // A file that cannot be made is reported, and the changes stay unsaved.
    p.re_NewsBody->append("unsaved");
    s.saveName = QString::fromStdString(dir.File("missing/folder/x.bvd"));
    QVERIFY(!p.SaveDocumentAs());
    QCOMPARE(s.errors.size(), 1);
    QVERIFY(s.errors.first().startsWith("Cannot create file"));
    QVERIFY(p.Document.Modified);
    QCOMPARE(p.WindowTitle(), QString("Brevant 2.0:  export.txt"));
  }

  void managesAttachments() {
    TScriptedPage s;
    TNewsletterPage &p = s.page;
    p.DataDir = "/data/dir/";
    s.openName = "/files/report.pdf";
    QTest::mouseClick(p.btn_Attach, Qt::LeftButton);
    QCOMPARE(s.lastOpenFilterShown, 4);
    QCOMPARE(s.lastOpenFolder, QString("/data/dir/"));
    s.openName = "/files/photo.jpg";
    p.btn_AttachClick();
    s.openName.clear();
    p.btn_AttachClick();
    QCOMPARE(p.Attachments(), QStringList({"/files/report.pdf", "/files/photo.jpg"}));
    p.lb_Attachments->setCurrentRow(0);
    QTest::mouseClick(p.btn_RemoveAttach, Qt::LeftButton);
    QCOMPARE(p.Attachments(), QStringList({"/files/photo.jpg"}));
  }

  void printsTheTitleOnPageOneOnly() {
    TempDir dir;
    TScriptedPage s;
    TNewsletterPage &p = s.page;
    QString text;
    for (int i = 0; i < 400; ++i) text += QString("Line %1 of a long newsletter\n").arg(i);
    p.re_NewsBody->setPlainText(text);
    p.mmo_Subject->setPlainText("Printed Title");
    const QString pdf = QString::fromStdString(dir.File("out.pdf"));
    p.ExecPrintDialog = [&pdf](QPrinter &printer) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(pdf);
      return true;
    };
    p.PrintDocument();
    const std::string bytes = ReadFileBytes(pdf.toStdString());
    QVERIFY(bytes.compare(0, 5, "%PDF-") == 0);
    int pages = 0;  // every page is printed
    for (size_t at = bytes.find("/Type /Page"); at != std::string::npos; at = bytes.find("/Type /Page", at + 1))
      if (bytes.compare(at, 12, "/Type /Pages") != 0) ++pages;
    QVERIFY2(pages >= 5, qPrintable(QString("pages: %1").arg(pages)));

    // The same layout painted on images: ink in the title band on page one only.
    QImage sheet(850, 1100, QImage::Format_RGB32);  // letter size at 100 dpi
    sheet.setDotsPerMeterX(3937);
    sheet.setDotsPerMeterY(3937);
    TRichTextPrintLayout layout(*p.re_NewsBody->document(), &sheet, "Printed Title", p.mmo_Subject->font());
    QVERIFY(layout.PageCount() >= 5);
    auto inkIn = [](const QImage &img, QRect r) {
      int ink = 0;
      for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) ink += qGray(img.pixel(x, y)) < 128;
      return ink;
    };
    const QRect titleBand(0, 0, 850, 60), rule(0, 62, 850, 2), textArea(20, 110, 800, 900);
    for (int page = 0; page < 2; ++page) {
      sheet.fill(Qt::white);
      QPainter painter(&sheet);
      layout.PaintPage(painter, page);
      painter.end();
      if (page == 0) {
        QVERIFY(inkIn(sheet, titleBand) > 50);
        QVERIFY(inkIn(sheet, rule) > 800);
      } else {
        QCOMPARE(inkIn(sheet, titleBand) + inkIn(sheet, rule), 0);
      }
      QVERIFY(inkIn(sheet, textArea) > 1000);
      QCOMPARE(inkIn(sheet, QRect(0, 65, 850, 35)), 0);  // the band above the text stays empty
    }
  }
};

QTEST_MAIN(NewsletterPageTest)
#include "NewsletterPageTest.moc"
