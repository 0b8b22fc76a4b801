// Send to Failed Addresses from the window: the confirmation names the count, and the
// current newsletter goes to the last run's failed addresses only, against a real server.
#include "mail/MailSessionFiles.h"
#include "support/ModalAnswer.h"
#include "support/SmtpServerFixture.h"
#include "support/TempDir.h"
#include "ui/MailingCommands.h"
#include "ui/StatusBar1.h"

#include <QMainWindow>
#include <QtTest>

#include <set>

class MailingCommandsTest : public QObject {
  Q_OBJECT

private slots:
  void sendToFailedAddressesAfterAConfirmation() {
    TempDir data;
    SmtpServerFixture server;
    QVERIFY(server.IsRunning());
    QMainWindow main;
    auto *bar = new TStatusBar1;
    main.setStatusBar(bar);
    TMailingHooks hooks;
    hooks.FillJob = [&](TMailingJob &job) {
      job.ListFolder = data.Path();
      job.ListServer = "127.0.0.1";
      job.ListPort = std::to_string(server.Port());
      job.ListFrom = "editor@example.org";
      job.ListTo = "list@example.org";
      job.Subject = "Second try";
    };
    hooks.Assemble = [](bool, bool, bool) {
      TDigest digest;
      digest.Lines = {"The news, again."};
      return digest;
    };
    hooks.ShowAddress = [](const std::string &entry) { return entry; };
    TMailingCommands commands(data.Path(), &main, bar, hooks);

    // Nothing failed: nothing to ask, nothing sent.
    QString text;
    AnswerNextMessageBox(QMessageBox::Ok, &text);
    commands.SendToFailed1Click();
    QCOMPARE(text, QString("The last mailing run has no failed addresses."));

    {
      TMailSessionFiles files(data.Path());
      files.Start("7.12.2026 13:00:00");
      files.AddFailed("late@example.org");
      files.AddFailed("busy@example.org");
      files.Finish(1, 2);
    }
    AnswerNextMessageBox(QMessageBox::No, &text);
    commands.SendToFailed1Click();
    QCOMPARE(text, QString("Send the current newsletter to the 2 addresses that failed in the last mailing run?"));
    QCOMPARE(server.Messages().size(), size_t{0});

    AnswerNextMessageBox(QMessageBox::Yes);
    commands.SendToFailed1Click();
    const auto messages = server.Messages();
    QCOMPARE(messages.size(), size_t{2});
    // Sessions at once: in either order.
    QCOMPARE(std::set<std::vector<std::string>>({messages[0].RcptTo, messages[1].RcptTo}),
             (std::set<std::vector<std::string>>{{"late@example.org"}, {"busy@example.org"}}));
    QVERIFY(messages[0].Data.find("Subject: Second try") != std::string::npos);
    // This run failed nobody, so there is nothing left to send again.
    QVERIFY(ReadFailedAddresses(data.Path()).empty());
  }
};

QTEST_MAIN(MailingCommandsTest)
#include "MailingCommandsTest.moc"
