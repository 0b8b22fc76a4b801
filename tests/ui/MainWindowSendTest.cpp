// Send Mail through the main window, as a user gives it: the window fills the run from its
// own pages and the Send To dialog, and a real SMTP server on 127.0.0.1 receives the mail.
#include "lists/AddressRecord.h"
#include "lists/ListRecord.h"
#include "mail/FolderIndex.h"
#include "storage/Ansi.h"
#include "storage/ServerRegistry.h"
#include "storage/TextFile.h"
#include "ui/LogViewer.h"
#include "ui/MailListsPage.h"
#include "ui/MainWindow.h"
#include "ui/NewsletterPage.h"
#include "ui/SendToDialog.h"
#include "support/ModalAnswer.h"
#include "support/SmtpServerFixture.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <algorithm>

namespace {
using Lines = std::vector<std::string>;

// A data directory with the list "Weekly" (its own server) and "Plain" (no server), both
// knowing Ann; the server registry holds the test server under 127.0.0.1.
struct Setup {
  QTemporaryDir dir;
  std::string data = QStringToAnsi(dir.path()) + "/";
  SmtpServerFixture server;
  std::string weekly, plain;

  Setup() {
    TListRecord list;
    list.ToAddress = "weekly@example.org";
    list.FromAddress = "editor@example.org";
    list.ReplyAddress = "answers@example.org";
    list.SMTPServer = "127.0.0.1";
    list.SMTPPort = std::to_string(server.Port());
    list.SMTPUsername = "weekly.sender";
    list.SendMethod = 0;
    weekly = CreateMailList(data, "Weekly", list).Path;
    list.SMTPServer.clear();
    list.SMTPPort.clear();
    list.SMTPUsername.clear();
    plain = CreateMailList(data, "Plain", list).Path;
    for (const std::string &book : {weekly, plain}) {
      WriteAddress(book, "<ann@x.org>", TAddressRecord{"Ann", "", "", "ann@x.org", "", "", "", "", ""});
      WriteAddress(book, "<bob@x.org>", TAddressRecord{"Bob", "", "", "bob@x.org", "", "", "", "", ""});
    }
    WriteSmtpServer(data, TSmtpServer{"127.0.0.1", "registry.sender", std::to_string(server.Port()), 2, 1});
    WriteAll(data + "notes.txt", "attached notes\r\n");
  }
  std::string Log() const { return ReadAll(data + "MailLog.txt"); }
};

// Answers the Send To dialog as the user would: `fill` ticks and types, then Send.
void AnswerSendTo(std::function<void(Tfrm_SendTo *)> fill) {
  AnswerNextModal<Tfrm_SendTo>([fill](Tfrm_SendTo *dialog) {
    fill(dialog);
    QTest::mouseClick(dialog->btn_Send, Qt::LeftButton);
  });
}

void CheckAll(Tfrm_SendTo *dialog) {
  dialog->pc_SendTo->setCurrentWidget(dialog->ts_SendList);
  QTest::mouseClick(dialog->btn_Check, Qt::LeftButton);
}

std::string Header(const ReceivedMessage &m, const std::string &name) {
  for (const std::string &line : SplitLines(m.Data.substr(0, m.Data.find("\r\n\r\n"))))
    if (line.rfind(name + ":", 0) == 0) return line;
  return "<none>";
}
}  // namespace

class MainWindowSendTest : public QObject {
  Q_OBJECT

private slots:
  // Everything the run needs comes from the window: the list's server, sign-on and
  // addresses, the subject, the attachments and the dialog's HTML choice.
  void windowFillsTheRunFromItsPages() {
    Setup s;
    QVERIFY(s.server.IsRunning());
    Tfrm_Main window(AnsiToQString(s.data));
    window.ts_MailLists->LoadListRecord("Weekly");
    window.ts_Newsletter->mmo_Subject->setPlainText("Wired");
    window.ts_Newsletter->re_NewsBody->setPlainText("Hello readers");
    window.ts_Newsletter->lb_Attachments->addItem(AnsiToQString(s.data + "notes.txt"));
    AnswerSendTo([](Tfrm_SendTo *dialog) {
      CheckAll(dialog);
      dialog->cb_SendHTML->setChecked(true);
    });
    window.SendMail1->trigger();

    auto messages = s.server.Messages();
    QCOMPARE(messages.size(), size_t{2});  // one at a time, as the list says
    // Two sessions at once: the server may store them in either order.
    std::sort(messages.begin(), messages.end(), [](const auto &a, const auto &b) { return a.RcptTo < b.RcptTo; });
    QCOMPARE(messages[0].RcptTo, Lines{"ann@x.org"});
    QCOMPARE(messages[1].RcptTo, Lines{"bob@x.org"});
    QCOMPARE(messages[0].MailFrom, std::string("editor@example.org"));
    QCOMPARE(Header(messages[0], "Reply-To"), std::string("Reply-To: answers@example.org"));
    QCOMPARE(Header(messages[0], "To"), std::string("To: weekly@example.org"));
    QCOMPARE(Header(messages[0], "Subject"), std::string("Subject: Wired"));
    QVERIFY(messages[0].Data.find("Content-Type: text/html") != std::string::npos);
    QVERIFY(messages[0].Data.find("filename=\"notes.txt\"") != std::string::npos);
    QVERIFY(s.Log().find("> EHLO weekly.sender\r\n") != std::string::npos);
    QVERIFY(TFolderIndex(s.weekly, TMailFolder::mfSent).Read("Wired.rtf").Attachment);  // filed in the list's Sent

    // The Mail Log opens in our own viewer.
    window.MailLog1->trigger();
    auto *viewer = window.findChild<TLogViewer *>();
    QVERIFY(viewer && viewer->isVisible());
    QVERIFY(viewer->mmo_Log->toPlainText().contains("2 messages sent succesfully. 0 failed."));

    // A list without a server of its own sends through the default server, with the
    // registry's method (all at once); a new list starts with that server in its SMTP box.
    window.Settings().SmtpServer = 0;  // the first registered server, 127.0.0.1
    window.ts_MailLists->LoadListRecord("Plain");
    AnswerSendTo(CheckAll);
    window.SendMail1->trigger();
    QCOMPARE(s.server.Messages().size(), size_t{3});
    QCOMPARE(s.server.Messages()[2].RcptTo, (Lines{"ann@x.org", "bob@x.org"}));
    QVERIFY(s.Log().find("> HELO registry.sender\r\n") != std::string::npos);
    window.NewList1->trigger();
    QCOMPARE(window.ts_MailLists->cb_SMTPServ->currentText(), QString("127.0.0.1"));
    QCOMPARE(window.ts_MailLists->edt_SMTPPort->text(), QString::number(s.server.Port()));
    QCOMPARE(window.ts_MailLists->edt_SMTPUser->text(), QString("registry.sender"));
  }

  // Field codes: typed addresses are merged from the current list's book; codes left
  // unmerged are asked about; failures end with a report naming the address and reply.
  void fieldCodesAndTheFailureReport() {
    Setup s;
    QVERIFY(s.server.IsRunning());
    Tfrm_Main window(AnsiToQString(s.data));
    window.ts_MailLists->LoadListRecord("Weekly");
    window.ts_Newsletter->mmo_Subject->setPlainText("Codes");
    window.ts_Newsletter->re_NewsBody->setPlainText("Dear %Name%, for %E-mail%");
    AnswerSendTo([](Tfrm_SendTo *dialog) {
      dialog->pc_SendTo->setCurrentWidget(dialog->ts_SendAddress);
      dialog->cb_Servers->setEditText("127.0.0.1");
      dialog->mmo_Addresses->setPlainText("ann@x.org, new@y.org");
      dialog->cb_FieldCodes->setChecked(true);
    });
    window.SendMail1->trigger();
    auto messages = s.server.Messages();
    QCOMPARE(messages.size(), size_t{2});
    QVERIFY(messages[0].Data.find("Dear Ann, for ann@x.org") != std::string::npos);

    // Not ticked: the user is asked, and Yes merges.
    QString question, report;
    AnswerSendTo(CheckAll);
    AnswerNextMessageBox(QMessageBox::Yes, &question);
    window.SendMail1->trigger();
    QCOMPARE(question, QString("The newsletter contains field codes such as %Name%. Merge them for each recipient?"));
    messages = s.server.Messages();
    QCOMPARE(messages.size(), size_t{4});
    QVERIFY(messages[3].Data.find("Dear Bob, for bob@x.org") != std::string::npos);

    // One recipient refused: the run ends with a report naming him and the reply.
    s.server.SetRefused({"bob@x.org"});
    AnswerSendTo([](Tfrm_SendTo *dialog) {
      CheckAll(dialog);
      dialog->cb_FieldCodes->setChecked(true);
    });
    AnswerNextModal<QMessageBox>([&report](QMessageBox *box) {
      report = box->text();
      box->button(QMessageBox::Ok)->click();
    }, 15000);
    window.SendMail1->trigger();
    QCOMPARE(s.server.Messages().size(), size_t{5});
    QVERIFY2(report.contains("bob@x.org: 550 5.1.1 <bob@x.org>: Recipient address rejected"), qPrintable(report));

    // View > Send to Failed Addresses: after a confirmation, Bob alone, merged as before.
    s.server.SetRefused({});
    QString confirmation;
    AnswerNextMessageBox(QMessageBox::Yes, &confirmation);
    window.SendToFailed1->trigger();
    QCOMPARE(confirmation, QString("Send the current newsletter to the 1 address that failed in the last mailing run?"));
    messages = s.server.Messages();
    QCOMPARE(messages.size(), size_t{6});
    QCOMPARE(messages[5].RcptTo, Lines{"bob@x.org"});
    QVERIFY2(messages[5].Data.find("Dear Bob, for bob@x.org") != std::string::npos, messages[5].Data.c_str());
  }
};

QTEST_MAIN(MainWindowSendTest)
#include "MainWindowSendTest.moc"
