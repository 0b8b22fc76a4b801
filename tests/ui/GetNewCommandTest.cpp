// Get New from the window: the tree moves to the Inbox, the progress window, the status
// bar during a run against a real Dovecot, and the missing-server message.
#include "lists/ListRecord.h"
#include "mail/FolderIndex.h"
#include "storage/ListLock.h"
#include "support/ModalAnswer.h"
#include "support/Pop3ServerFixture.h"
#include "support/TempDir.h"
#include "ui/GetNewCommand.h"
#include "ui/MailDialog.h"
#include "ui/MailPage.h"
#include "ui/StatusBar1.h"

#include <QLabel>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

class GetNewCommandTest : public QObject {
  Q_OBJECT

  struct Window {
    TempDir data;
    QMainWindow main;
    TMailPage *page = new TMailPage;
    TStatusBar1 *bar = new TStatusBar1;
    TPopSettings pop;
    std::string listName = kPseudoListName;
    int refills = 0;
    TGetNewCommand *command = nullptr;

    Window() {
      main.setCentralWidget(page);
      main.setStatusBar(bar);
      page->AddListNode("News");
      TGetNewHooks hooks;
      hooks.Job = [this] {
        TRetrievalJob job;
        job.ListName = listName;
        job.ListPath = data.Path();
        return job;
      };
      hooks.PopSettings = [this](bool) { return pop; };
      hooks.RefillGrid = [this] { ++refills; };
      command = new TGetNewCommand(data.Path(), &main, bar, page->tv_POPTree, hooks);
    }
    QString Current() const {
      const QTreeWidgetItem *node = page->tv_POPTree->currentItem();
      return node ? (node->parent() ? node->parent()->text(0) + "/" : QString()) + node->text(0) : QString();
    }
  };

private slots:
  void getNewMovesToTheInboxAndAsksForAServer() {
    Window w;
    QTreeWidget *tree = w.page->tv_POPTree;
    const struct {
      QTreeWidgetItem *select;
      QString inbox;
    } moves[] = {{nullptr, "Brevant/Inbox"},
                 {tree->topLevelItem(1), "News/Inbox"},
                 {tree->topLevelItem(1)->child(1), "News/Inbox"},
                 {tree->topLevelItem(1)->child(2), "News/Inbox"},
                 {tree->topLevelItem(0)->child(2), "Brevant/Inbox"}};
    for (const auto &m : moves) {
      tree->setCurrentItem(m.select);
      QString text;
      AnswerNextMessageBox(QMessageBox::Ok, &text);
      w.command->tbtn_GetMsgClick();
      QCOMPARE(w.Current(), m.inbox);
      QVERIFY(text.startsWith("A POP server has not been set!"));
    }
    QCOMPARE(w.refills, 5);
  }

  void progressWindowCancelsOnlyWhenTheUserClosesIt() {
    Tfrm_MailDialog dialog("Retrieving 3 messages from pop.example.org...");
    QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    QSignalSpy cancelled(&dialog, &Tfrm_MailDialog::Cancelled);
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.show();
    dialog.btn_Cancel->click();
    QCOMPARE(cancelled.count(), 1);
    QVERIFY(!dialog.isVisible());
  }

  // A list held by another program is not fetched and the holder is named; once it is free,
  // the run shows its progress (never the password) and leaves the list free again.
  void aRunWaitsForABusyListThenShowsItsProgress() {
    Pop3ServerFixture server;
    server.AddMessage("From: a@example.org\r\nTo: list@example.org\r\nSubject: Hello\r\n\r\nbody\r\n");
    Window w;
    w.pop = {server.Host(), server.PortText(), server.User(), server.Password(), true, 0, ""};
    w.main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.main));
    {
      TListLock other(w.data.Path(), "brevant-cli");
      QVERIFY(other.TryAcquire());
      QString text;
      AnswerNextMessageBox(QMessageBox::Ok, &text);
      w.command->tbtn_GetMsgClick();
      QVERIFY2(text.contains(QString("process %1 (brevant-cli)").arg(getpid())), qPrintable(text));
      QVERIFY(TFolderIndex(w.data.Path(), TMailFolder::mfInbox).ReadAll().empty());
      QVERIFY(!w.command->Pop3.Connected());
    }
    QStringList protocol;
    bool windowSeen = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
      protocol << w.bar->ProtocolText();
      for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<Tfrm_MailDialog *>(top); d && d->isVisible())
          windowSeen = windowSeen || d->Label1->text() == "Retrieving 1 messages from 127.0.0.1...";
    });
    watch.start(1);
    w.command->tbtn_GetMsgClick();
    watch.stop();
    QCOMPARE(w.Current(), QString("Brevant/Inbox"));
    QCOMPARE(TFolderIndex(w.data.Path(), TMailFolder::mfInbox).ReadAll().size(), size_t(1));
    QVERIFY(windowSeen);
    QCOMPARE(w.bar->StatusText(), QString("Retrieved message 1."));
    for (const QString &line : protocol) QVERIFY2(!line.contains(QString::fromStdString(server.Password())), qPrintable(line));
    QTRY_COMPARE(server.MessageCount(), size_t(0));  // "Delete" of the default server
    // The progress window is gone once the run is over, and so is the lock.
    for (QWidget *top : QApplication::topLevelWidgets()) QVERIFY(!qobject_cast<Tfrm_MailDialog *>(top) || !top->isVisible());
    QVERIFY(TListLock(w.data.Path(), "test").TryAcquire());
  }
};

QTEST_MAIN(GetNewCommandTest)
#include "GetNewCommandTest.moc"
