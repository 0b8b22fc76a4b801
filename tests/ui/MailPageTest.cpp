#include "mail/FolderIndex.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"
#include "ui/MailPage.h"
#include "ui/MessageGridModel.h"
#include "ui/StatusBar1.h"

#include <QListWidget>
#include <QTableView>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>

class MailPageTest : public QObject {
  Q_OBJECT

  static QStringList Children(const QTreeWidgetItem *node) {
    QStringList names;
    for (int i = 0; i < node->childCount(); ++i) names << node->child(i)->text(0);
    return names;
  }

private slots:
  void treeOfListsAndTheHeadersChoice() {
    TMailPage page;
    QCOMPARE(page.tv_POPTree->topLevelItemCount(), 1);
    QCOMPARE(page.tv_POPTree->topLevelItem(0)->text(0), QString("Brevant"));
    QCOMPARE(Children(page.tv_POPTree->topLevelItem(0)), QStringList({"Inbox", "Sent", "Trash"}));
    page.AddListNode("Weekly");
    page.AddListNode("Weekly - 1");
    page.AddListNode("Weekly");  // a stale node of the same name may stand twice
    QCOMPARE(page.ListNodeNames(), QStringList({"Weekly", "Weekly - 1", "Weekly"}));
    QCOMPARE(Children(page.tv_POPTree->topLevelItem(2)), QStringList({"Inbox", "Sent", "Trash"}));
    page.RemoveListNode("Weekly");  // only the first of that name
    QCOMPARE(page.ListNodeNames(), QStringList({"Weekly - 1", "Weekly"}));
    page.RemoveListNode("Brevant");  // the pseudo-list is never removed
    QCOMPARE(page.tv_POPTree->topLevelItem(0)->text(0), QString("Brevant"));
    page.RenameListNode("Weekly - 1", "Monthly");
    QCOMPARE(page.ListNodeNames(), QStringList({"Monthly", "Weekly"}));
    page.ClearListNodes();
    QCOMPARE(page.tv_POPTree->topLevelItemCount(), 1);

    // View > Headers: Normal and All are one choice with two checks.
    QVERIFY(page.Normal1->isChecked() && !page.All1->isChecked());
    page.All1->trigger();
    QVERIFY(page.All1->isChecked() && !page.Normal1->isChecked());
    QCOMPARE(page.HeaderForm(), THeaderForm::hfAll);
    page.All1->trigger();
    QVERIFY(!page.All1->isChecked() && page.Normal1->isChecked());
    page.Normal1->trigger();
    QVERIFY(page.All1->isChecked() && !page.Normal1->isChecked());
  }

  // Brevant's Inbox with three messages, the middle one carrying two attachments.
  static void FillInbox(const TempDir &dir) {
    ForceDirectories(dir.File("Inbox/"));
    TFolderIndex inbox(dir.Path(), TMailFolder::mfInbox);
    const char *bodies[] = {
        "Subject: =?utf-8?Q?Gr=C3=BC=C3=9Fe?=\r\n\r\nfirst body\r\n",
        "Subject: two\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nsecond body\r\n"
        "--b\r\nContent-Type: image/gif; name=a.gif\r\n\r\nGIF\r\n"
        "--b\r\nContent-Disposition: attachment; filename=notes.txt\r\n\r\nnotes\r\n--b--\r\n",
        "Subject: three\r\n\r\nthird body\r\n"};
    for (int i = 0; i < 3; ++i) {
      const std::string name = "u" + std::to_string(i);
      const std::string file = dir.File("Inbox/" + name + ".txt");
      WriteAll(file, std::string("> UIDL\r\n< +OK\r\n") + bodies[i]);
      inbox.Write({name, "ann@example.com (Ann)", i == 0 ? "=?utf-8?Q?Gr=C3=BC=C3=9Fe?=" : "s", "d", i == 1, i + 1,
                   true, false, file});
    }
  }

  void inboxRowsViewAttachmentsAndDelete() {
    TempDir dir;
    FillInbox(dir);
    TMailPage page;
    TStatusBar1 status;
    page.Status = &status;
    page.DataDir = dir.Path();
    QStringList loaded;
    page.LoadListRecord = [&loaded](const QString &name) { loaded << name; };
    page.CurrentListPath = [&dir] { return dir.Path(); };
    int popEnded = 0;
    page.EndPopSession = [&popEnded] { ++popEnded; };
    page.resize(900, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    popEnded = 0;  // showing the tree may have made its first node current
    loaded.clear();
    QTreeWidgetItem *inbox = page.tv_POPTree->topLevelItem(0)->child(0);
    page.tv_POPTree->setCurrentItem(inbox);
    QCOMPARE(popEnded, 1);
    QCOMPARE(loaded, QStringList("Brevant"));
    const TMessageGridModel *grid = page.GridModel();
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("From"));
    QVERIFY(page.hg_POP->isColumnHidden(4) && page.hg_POP->isColumnHidden(7) && !page.hg_POP->isColumnHidden(3));
    // The first message is shown at once, and is no longer unread.
    QVERIFY(page.re_MsgBody->toPlainText().startsWith(QString::fromUtf8("Subject:  Grüße\nDate:")));
    QCOMPARE(grid->data(grid->index(0, 2), Qt::DisplayRole).toString(), QString::fromUtf8("Grüße"));
    QCOMPARE(grid->data(grid->index(0, 4), Qt::DisplayRole).toString(), QString("Viewed"));
    QVERIFY(!grid->data(grid->index(0, 1), Qt::BackgroundRole).isValid());
    QCOMPARE(grid->data(grid->index(2, 1), Qt::BackgroundRole).value<QColor>(), QColor(0xC0, 0xC0, 0xC0));
    QVERIFY(TFolderIndex(dir.Path(), TMailFolder::mfInbox).Read("u0").Viewed);

    // A click on the second row shows it with its attachment strip.
    QTest::mouseClick(page.hg_POP->viewport(), Qt::LeftButton, {},
                      page.hg_POP->visualRect(grid->index(1, 2)).center());
    QVERIFY(page.re_MsgBody->toPlainText().contains("second body"));
    QVERIFY(!page.re_MsgBody->toPlainText().contains("notes"));
    QVERIFY(page.pnl_Attachment->isVisible());
    QCOMPARE(page.lv_Attachments->count(), 2);
    QCOMPARE(page.lv_Attachments->item(1)->text(), QString("notes.txt"));

    // A file that has gone: the status says so and the grid stays.
    QFile::remove(QString::fromStdString(dir.File("Inbox/u2.txt")));
    QTest::mouseClick(page.hg_POP->viewport(), Qt::LeftButton, {},
                      page.hg_POP->visualRect(grid->index(2, 2)).center());
    QCOMPARE(status.StatusText(), QString("Message not available."));
    QCOMPARE(grid->rowCount(), 3);

    // Delete of two selected rows moves both to the Trash.
    page.hg_POP->selectRow(0);
    QTest::mouseClick(page.hg_POP->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      page.hg_POP->visualRect(grid->index(2, 2)).center());
    QCOMPARE(page.hg_POP->selectionModel()->selectedRows().size(), 2);
    page.tbtn_Delete->trigger();
    QCOMPARE(grid->rowCount(), 1);
    QVERIFY(!page.pnl_Attachment->isVisible());
    QVERIFY(page.re_MsgBody->toPlainText().isEmpty());
    QCOMPARE(TFolderIndex(dir.Path(), TMailFolder::mfTrash).RecordNames(), (std::vector<std::string>{"u0", "u2"}));

    // The Sent folder is titled "To"; an empty folder shows one empty row that Delete ignores.
    page.tv_POPTree->setCurrentItem(page.tv_POPTree->topLevelItem(0)->child(1));
    QCOMPARE(grid->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("To"));
    QCOMPARE(grid->rowCount(), 1);
    QVERIFY(grid->Row(0).IsEmptyRow());
    page.tbtn_Delete->trigger();
    QCOMPARE(grid->rowCount(), 1);
  }

  void gridColumnsShareTheWidth() {
    TMailPage page;
    page.resize(800, 600);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.hg_POP->resize(401, 200);
    QTest::qWait(10);
    QCOMPARE(page.hg_POP->columnWidth(1), 112);  // 28 % of 401 = 112.28
    QCOMPARE(page.hg_POP->columnWidth(2), 140);  // 35 % = 140.35
    QCOMPARE(page.hg_POP->columnWidth(3), 136);  // 34 % = 136.34
  }
};

QTEST_MAIN(MailPageTest)
#include "MailPageTest.moc"
