#include "ui/SendToDialog.h"

#include "lists/AddressRecord.h"
#include "lists/ListRecord.h"
#include "mail/MailingRun.h"
#include "support/ListTexts.h"
#include "support/SmtpServerFixture.h"
#include "support/TempDir.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

namespace {
// Two lists with address books, in a fresh data directory.
struct Catalogue {
  TempDir dir;
  std::string weeklyPath;
  Catalogue(int port) {
    TListRecord weekly;
    weekly.ToAddress = "weekly@example.org";
    weekly.FromAddress = "editor@example.org";
    weekly.SMTPServer = "127.0.0.1";
    weekly.SMTPPort = std::to_string(port);
    weekly.SendMethod = 2;
    weeklyPath = CreateMailList(dir.Path(), "Weekly", weekly).Path;
    WriteAddress(weeklyPath, "<zed@x.org>", TAddressRecord{"zed", "", "", "zed@x.org", "", "", "", "", ""});
    WriteAddress(weeklyPath, "<ann@x.org>", TAddressRecord{"Ann", "", "", "ann@x.org", "", "", "", "", ""});
    WriteAddress(weeklyPath, "<bob@x.org>", TAddressRecord{"", "", "", "bob@x.org", "", "", "", "", ""});
    const std::string annual = CreateMailList(dir.Path(), "annual", TListRecord{}).Path;
    WriteAddress(annual, "<only@x.org>", TAddressRecord{"", "", "", "only@x.org", "", "", "", "", ""});
  }
  TSendToInputs Inputs() const {
    TSendToInputs in;
    in.DataDir = dir.Path();
    in.Servers = {"smtp.b.org", "mail.A.org", "relay.c.org"};
    in.DefaultServer = "relay.c.org";
    in.Lists = {"Weekly", "annual"};
    in.CurrentList = "Weekly";
    in.From = "editor@example.org";
    in.ReplyRecipient = "asker@x.org";
    return in;
  }
};

// The run's window side for the end-to-end case: a fixed two-line message.
class Host : public IMailingHost {
public:
  TDigest AssembleMessage(bool) override {
    TDigest digest;
    digest.Lines = {"Hello,", "the news."};
    return digest;
  }
  std::string ShowAddress(const std::string &entry) override { return entry; }
  void SetStatus(const std::string &text) override { status = text; }
  void SetProtocolLine(const std::string &) override {}
  void SetProgress(int) override {}
  void ShowInformation(const std::string &) override {}
  std::string status;
};
}  // namespace

class SendToDialogTest : public QObject {
  Q_OBJECT

private slots:
  void controlsCaptionsAndHints() {
    Catalogue data(25);
    Tfrm_SendTo dialog(data.Inputs());
    QCOMPARE(dialog.windowTitle(), QString("Send to..."));
    QVERIFY(dialog.windowFlags().testFlag(Qt::Tool));
    QCOMPARE(dialog.pc_SendTo->tabText(0), QString("Send to Address"));
    QCOMPARE(dialog.pc_SendTo->tabText(1), QString("    Send to List    "));
    const QList<std::tuple<const char *, QString, QString>> expected = {
        {"cb_Servers", "", "Choose or type a SMTP server"},
        {"edt_From", "", "From address"},
        {"mmo_Addresses", "", "Separate addresses with a comma"},
        {"cb_SendHTML", "Send as HTML", ""},
        {"cb_GenProps", "Use General Properties", "Override mail list preferences"},
        {"cb_BCC", "Send as BCC (Blind Carbon Copy)", "Send without the To header"},
        {"cb_Lists", "", "Choose a mail list"},
        {"clb_Addresses", "", "Checked addresses receive mail"},
        {"btn_Check", "", "Toggle checked addresses"},
        {"cb_FieldCodes", "Message contains Field Codes",
         "Message contains Field Codes (must check if using Field Codes in mail)"},
        {"btn_Send", "&Send", "Send mail"},
        {"btn_Cancel", "&Cancel", "Cancel sending mail"}};
    for (const auto &[name, caption, hint] : expected) {
      auto *widget = dialog.findChild<QWidget *>(name);
      QVERIFY2(widget, name);
      QCOMPARE(widget->toolTip(), hint);
      if (auto *button = qobject_cast<QAbstractButton *>(widget); button && !caption.isEmpty())
        QCOMPARE(button->text(), caption);
    }
    QVERIFY(dialog.findChild<QWidget *>("ttl_SendTo")->isAncestorOf(dialog.btn_Send));
  }

  void filledFromTheInputs() {
    Catalogue data(25);
    Tfrm_SendTo dialog(data.Inputs());
    QCOMPARE(dialog.cb_Servers->count(), 3);
    QCOMPARE(dialog.cb_Servers->itemText(0), QString("mail.A.org"));  // sorted without case
    QCOMPARE(dialog.cb_Servers->currentText(), QString("relay.c.org"));
    QCOMPARE(dialog.cb_Lists->itemText(0), QString("annual"));
    QCOMPARE(dialog.cb_Lists->currentText(), QString("Weekly"));
    QCOMPARE(ListTexts(dialog.clb_Addresses), QStringList({"<bob@x.org>", "Ann <ann@x.org>", "zed <zed@x.org>"}));
    QCOMPARE(ListTexts(dialog.clb_Addresses, true), QStringList());
    QCOMPARE(dialog.edt_From->text(), QString("editor@example.org"));
    QCOMPARE(dialog.mmo_Addresses->toPlainText(), QString("asker@x.org"));
    dialog.show();
    QTRY_COMPARE(dialog.focusWidget(), static_cast<QWidget *>(dialog.mmo_Addresses));
  }

  void choosingAListCheckingAndClosing() {
    Catalogue data(25);
    Tfrm_SendTo dialog(data.Inputs());
    QSignalSpy chosen(&dialog, &Tfrm_SendTo::ListChosen);
    QTest::keyClick(dialog.cb_Lists, Qt::Key_Up);  // the user's choice
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.last().at(0).toString(), QString("annual"));
    QCOMPARE(ListTexts(dialog.clb_Addresses), QStringList({"<only@x.org>"}));

    QTest::keyClick(dialog.cb_Lists, Qt::Key_Down);
    QCOMPARE(chosen.last().at(0).toString(), QString("Weekly"));
    dialog.clb_Addresses->item(1)->setCheckState(Qt::Checked);
    QTest::mouseClick(dialog.btn_Check, Qt::LeftButton);
    QCOMPARE(ListTexts(dialog.clb_Addresses, true), QStringList({"<bob@x.org>", "zed <zed@x.org>"}));

    // A fresh dialog's result is already Rejected: only the signal shows that Escape closed it.
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!dialog.isVisible());
    dialog.show();
    QTest::mouseClick(dialog.btn_Send, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }

  // The whole way: the dialog filled through its widgets, then the run to a real server.
  void sendThroughTheDialog() {
    SmtpServerFixture server;
    QVERIFY(server.IsRunning());
    Catalogue data(server.Port());
    Tfrm_SendTo dialog(data.Inputs());
    dialog.show();
    dialog.pc_SendTo->setCurrentWidget(dialog.ts_SendList);
    QTest::mouseClick(dialog.btn_Check, Qt::LeftButton);  // all three
    dialog.clb_Addresses->item(2)->setCheckState(Qt::Unchecked);
    dialog.mmo_Addresses->moveCursor(QTextCursor::End);
    QTest::keyClicks(dialog.mmo_Addresses, ", ignored@x.org");
    QTest::mouseClick(dialog.cb_BCC, Qt::LeftButton);
    QTest::mouseClick(dialog.btn_Send, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    const TListRecord list = LoadListRecord(data.dir.Path(), "Weekly");
    TMailingJob job;
    dialog.FillJob(job);
    QVERIFY(job.FromList);
    QVERIFY(job.BCC);
    QCOMPARE(job.TypedAddresses, std::string("asker@x.org, ignored@x.org"));
    job.ListFolder = list.Path;
    job.ListServer = list.SMTPServer;
    job.ListPort = list.SMTPPort;
    job.ListMethod = list.SendMethod;
    job.ListBatchSize = list.RCPTTO;
    job.ListTo = list.ToAddress;
    job.ListFrom = list.FromAddress;
    job.Subject = "Through the dialog";
    TSmtpCli client;
    Host host;
    TMailingRun run(data.dir.Path(), client, host);
    QVERIFY(!run.PrepareSend(job).empty());
    const auto messages = server.Messages();
    QCOMPARE(messages.size(), size_t{1});
    QCOMPARE(messages[0].RcptTo, (std::vector<std::string>{"bob@x.org", "ann@x.org"}));
    QCOMPARE(host.status, std::string("2 messages sent succesfully. 0 failed."));
  }
};

QTEST_MAIN(SendToDialogTest)
#include "SendToDialogTest.moc"
