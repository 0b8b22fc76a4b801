#include "ui/MailPage.h"

#include <QTableWidget>
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
  void treeHoldsBrevantThenEveryListWithItsFolders() {
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
