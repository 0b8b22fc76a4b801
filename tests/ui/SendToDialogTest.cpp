#include "ui/SendToDialog.h"

#include "lists/AddressRecord.h"
#include "lists/ListRecord.h"
#include "mail/MailingRun.h"
#include "support/ListTexts.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {
// Two lists with address books, in a fresh data directory.
struct Catalogue {
  TempDir dir;
  std::string weeklyPath;
  Catalogue() {
    weeklyPath = CreateMailList(dir.Path(), "Weekly", TListRecord{}).Path;
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

}  // namespace

class SendToDialogTest : public QObject {
  Q_OBJECT

private slots:
  void filledFromTheInputs() {
    Catalogue data;
    Tfrm_SendTo dialog(data.Inputs());
    QCOMPARE(dialog.cb_Servers->count(), 3);
    QCOMPARE(dialog.cb_Servers->itemText(0), QString("mail.A.org"));  // sorted without case
    QCOMPARE(dialog.cb_Servers->currentText(), QString("relay.c.org"));
    QCOMPARE(dialog.cb_Lists->itemText(0), QString("annual"));
    QCOMPARE(dialog.cb_Lists->currentText(), QString("Weekly"));
    QCOMPARE(ListTexts(dialog.clb_Addresses), QStringList({"<bob@x.org>", "Ann <ann@x.org>", "zed <zed@x.org>"}));
    QCOMPARE(ListTexts(dialog.clb_Addresses, true), QStringList());
    dialog.show();
    QTRY_COMPARE(dialog.focusWidget(), static_cast<QWidget *>(dialog.mmo_Addresses));

    // Filled through its widgets, the dialog hands the run what the user chose.
    dialog.pc_SendTo->setCurrentWidget(dialog.ts_SendList);
    QTest::mouseClick(dialog.btn_Check, Qt::LeftButton);  // all three
    dialog.clb_Addresses->item(2)->setCheckState(Qt::Unchecked);
    dialog.mmo_Addresses->moveCursor(QTextCursor::End);
    QTest::keyClicks(dialog.mmo_Addresses, ", ignored@x.org");
    QTest::mouseClick(dialog.cb_BCC, Qt::LeftButton);
    QTest::mouseClick(dialog.btn_Send, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    TMailingJob job;
    dialog.FillJob(job);
    QVERIFY(job.FromList && job.BCC && !job.FieldCodes);
    QCOMPARE(job.CheckedEntries, (std::vector<std::string>{"<bob@x.org>", "Ann <ann@x.org>"}));
    QCOMPARE(job.TypedAddresses, std::string("asker@x.org, ignored@x.org"));
    QCOMPARE(job.Server, std::string("relay.c.org"));
    QCOMPARE(job.DialogFrom, std::string("editor@example.org"));
  }

  void choosingAListCheckingAndClosing() {
    Catalogue data;
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
  }
};

QTEST_MAIN(SendToDialogTest)
#include "SendToDialogTest.moc"
