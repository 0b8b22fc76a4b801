// The log window of Mail Log, Failed Addresses and Maintenance Log, and the help window:
// both are our own, so they work on a desktop without a file opener or a browser.
#include "ui/HelpWindow.h"
#include "ui/LogViewer.h"
#include "ui/MainWindow.h"
#include "support/ModalAnswer.h"
#include "support/TempDir.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

class LogAndHelpWindowsTest : public QObject {
  Q_OBJECT

private slots:
  void showsReloadsAndCopies() {
    QTemporaryDir dir;
    QWidget window;
    const QString path = dir.filePath("MailLog.txt");
    WriteAll(path.toStdString(), "Mail session started\r\n\r\n< 250 Caf\xe9 ok\r\n");
    TLogViewer *viewer = ShowLogFile(&window, path, "Mail Log");
    QVERIFY(viewer && viewer->isVisible());
    QCOMPARE(viewer->windowTitle(), QString("Mail Log"));
    QVERIFY(viewer->mmo_Log->isReadOnly());
    QCOMPARE(viewer->mmo_Log->toPlainText(), QString::fromUtf8("Mail session started\n\n< 250 Caf\xc3\xa9 ok\n"));

    // Copy: the whole log without a selection, else the selection.
    QTest::mouseClick(viewer->btn_Copy, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), viewer->mmo_Log->toPlainText());
    QTextCursor cursor(viewer->mmo_Log->document());
    cursor.setPosition(0);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    viewer->mmo_Log->setTextCursor(cursor);
    QTest::mouseClick(viewer->btn_Copy, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("Mail"));

    // Asked again for the same file: the same window, showing the file as it is now.
    WriteAll(path.toStdString(), "second run\r\n");
    QCOMPARE(ShowLogFile(&window, path, "Mail Log"), viewer);
    QCOMPARE(viewer->mmo_Log->toPlainText(), QString("second run\n"));
    // Another file gets a window of its own.
    WriteAll(dir.filePath("Failed.txt").toStdString(), "Failed Addresses\r\n");
    TLogViewer *failed = ShowLogFile(&window, dir.filePath("Failed.txt"), "Failed Addresses");
    QVERIFY(failed && failed != viewer);
    // A log not written yet is reported.
    QString text;
    AnswerNextMessageBox(QMessageBox::Ok, &text);
    QCOMPARE(ShowLogFile(&window, dir.filePath("Maintenance Log.txt"), "Maintenance Log"),
             static_cast<TLogViewer *>(nullptr));
    QVERIFY2(text.startsWith("There is no Maintenance Log yet"), qPrintable(text));
  }

  void helpOpensInItsOwnWindow() {
    QTemporaryDir dir;
    WriteAll(dir.filePath("Help.html").toStdString(), "<html><head><title>Contents</title></head><body>"
                                                      "<p>Welcome</p><a href=\"more.html\">More</a></body></html>");
    WriteAll(dir.filePath("more.html").toStdString(), "<html><head><title>More</title></head><body><p>Details</p></body></html>");
    Tfrm_Main window(dir.path() + "/");
    window.Help1->trigger();
    auto *help = window.findChild<THelpWindow *>();
    QVERIFY(help && help->isVisible());
    QVERIFY(help->wb_Help->toPlainText().contains("Welcome"));
    QCOMPARE(help->windowTitle(), QString("Brevant 2.0 Help: Contents"));
    help->wb_Help->setSource(QUrl::fromLocalFile(dir.filePath("more.html")));
    QVERIFY(help->wb_Help->toPlainText().contains("Details"));
    QVERIFY(help->tbtn_Back->isEnabled());
    QTest::mouseClick(help->tbtn_Back, Qt::LeftButton);
    QVERIFY(help->wb_Help->toPlainText().contains("Welcome"));
    // A second Help shows the same window.
    window.Help1->trigger();
    QCOMPARE(window.findChildren<THelpWindow *>().size(), 1);
  }
};

QTEST_MAIN(LogAndHelpWindowsTest)
#include "LogAndHelpWindowsTest.moc"
