#include "support/ModalAnswer.h"
#include "ui/ServersDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QComboBox>
#include <QTest>

namespace {

class ServersDialogTest : public QObject {
  Q_OBJECT
private slots:
  void callerChoosesThePage() {
    Tfrm_Servers smtp(TServerKind::skSMTP);
    QCOMPARE(smtp.pc_Servers->currentWidget(), smtp.ts_SMTP);
    QVERIFY(!smtp.pc_Servers->isTabVisible(1));
    QCOMPARE(smtp.edt_SMTPPort->text(), QString("smtp"));
    // A new entry is what an entry without the newer keys reads as.
    QVERIFY(smtp.SmtpServer() == TSmtpServer{});
    Tfrm_Servers pop(TServerKind::skPOP);
    QCOMPARE(pop.pc_Servers->currentWidget(), pop.ts_POP);
    QVERIFY(!pop.pc_Servers->isTabVisible(0));
    QCOMPARE(pop.edt_POPPort->text(), QString("pop3"));
    QCOMPARE(pop.edt_POPPass->echoMode(), QLineEdit::Password);
    // The focus starts in the server box of the page shown.
    pop.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pop));
    pop.activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(pop.edt_POPServ));
  }

  void spinBoxStandsInTheBlankOfTheSecondItem() {
    Tfrm_Servers d(TServerKind::skSMTP);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    const QString caption = d.rb_SMTPSome->text();
    QVERIFY(caption.endsWith("at a time"));
    QVERIFY(caption.startsWith("   "));
    QCOMPARE(d.se_SMTPRCPT->parentWidget(), static_cast<QWidget *>(d.rb_SMTPSome));
    QVERIFY(d.se_SMTPRCPT->geometry().right() <
            d.rb_SMTPSome->fontMetrics().horizontalAdvance(caption.left(caption.size() - 9)) + 30);
    QVERIFY(d.rb_SMTPOne->isChecked());
    d.se_SMTPRCPT->setValue(25);  // choosing a number chooses its item
    QVERIFY(d.rb_SMTPSome->isChecked());
  }

  void fieldsRoundTrip() {
    Tfrm_Servers smtp(TServerKind::skSMTP);
    TSmtpServer paced{"a.example.com", "", "smtp", 2, 1000};
    paced.MessagesPerMinute = 90;
    paced.RetryPauses = {5, 60};  // the third round "No retry"
    for (const TSmtpServer &s : {TSmtpServer{"mail.example.com", "ann", "587", 1, 40}, paced}) {
      smtp.SetSmtpServer(s);
      QVERIFY(smtp.SmtpServer() == s);
    }
    QCOMPARE(smtp.se_SMTPPace->value(), 90);
    // Security, login and a trusted certificate; the stored port stays as stored.
    TSmtpServer secure{"submit.example.com", "ann", "2587", 0, 1};
    secure.Security = 1;
    secure.Login = true;
    secure.Password = "pw";
    secure.ClearText = false;
    secure.Certificate = "AB:CD";
    smtp.SetSmtpServer(secure);
    QVERIFY(smtp.SmtpServer() == secure);
    QCOMPARE(smtp.edt_SMTPPass->echoMode(), QLineEdit::Password);
    // A new choice moves a usual port to the choice's own, but keeps a port the user chose.
    smtp.cmb_SMTPSecurity->setCurrentIndex(2);
    QCOMPARE(smtp.edt_SMTPPort->text(), QString("2587"));
    smtp.edt_SMTPPort->setText("25");
    smtp.cmb_SMTPSecurity->setCurrentIndex(1);
    QCOMPARE(smtp.edt_SMTPPort->text(), QString("587"));
    // Without a login no password is kept, and the password box cannot be used.
    smtp.cb_SMTPLogin->setChecked(false);
    QVERIFY(!smtp.edt_SMTPPass->isEnabled());
    QCOMPARE(smtp.SmtpServer().Password, std::string());
    // An unknown method chooses no item and comes back as the first.
    smtp.SetSmtpServer({"x", "", "smtp", 7, 1});
    QCOMPARE(smtp.rg_SMTPMethodButtons->checkedId(), -1);
    QCOMPARE(smtp.SmtpServer().SendMethod, 0);
    Tfrm_Servers pop(TServerKind::skPOP);
    const TPopServer p{"pop.example.com", "ann", "pa ss", "995", true};
    pop.SetPopServer(p);
    QVERIFY(pop.PopServer() == p);
    pop.cmb_POPSecurity->setCurrentIndex(1);
    QCOMPARE(pop.edt_POPPort->text(), QString("110"));
    QCOMPARE(pop.PopServer().Security, 1);
    pop.edt_POPServ->setText("  spaced.example.com ");
    QCOMPARE(pop.PopServer().Name, std::string("spaced.example.com"));
  }

  void saveRefusesEmptyOrBracketedNames() {
    for (const char *name : {"  ", "bad[name]"}) {
      Tfrm_Servers d(TServerKind::skSMTP);
      QStringList asked;
      d.IsRegistered = [&](const std::string &n) {
        asked << QString::fromStdString(n);
        return false;
      };
      d.edt_SMTPServ->setText(name);
      QString text;
      bool stayedOpen = false;
      AnswerNextModal<QMessageBox>([&](QMessageBox *box) {
        text = box->text();
        box->button(QMessageBox::Ok)->click();
        QTimer::singleShot(0, &d, [&] {
          stayedOpen = d.isVisible();
          d.reject();
        });
      });
      QTimer::singleShot(0, d.btn_Save, &QPushButton::click);
      QCOMPARE(d.exec(), static_cast<int>(QDialog::Rejected));
      QVERIFY(stayedOpen);
      QCOMPARE(text, QString("Please enter the server's host name."));
      QVERIFY(asked.isEmpty());
    }
  }

  void replaceQuestionAndEscape() {
    Tfrm_Servers d(TServerKind::skPOP);
    d.IsRegistered = [](const std::string &name) { return name == "taken.example.com"; };
    d.edt_POPServ->setText("taken.example.com");
    // No: the dialog stays open; then Yes: it closes with OK.
    QString text;
    bool stayedOpen = false;
    AnswerNextModal<QMessageBox>([&](QMessageBox *box) {
      text = box->text();
      box->button(QMessageBox::No)->click();
      QTimer::singleShot(0, &d, [&] {
        stayedOpen = d.isVisible();
        AnswerNextMessageBox(QMessageBox::Yes);
        d.btn_Save->click();
      });
    });
    QTimer::singleShot(0, d.btn_Save, &QPushButton::click);
    QCOMPARE(d.exec(), static_cast<int>(QDialog::Accepted));
    QVERIFY(stayedOpen);
    QCOMPARE(text, QString("The POP server taken.example.com is already registered.\n"
                           "Do you want to replace its settings?"));
    // The name it was filled with is no question; Escape cancels.
    Tfrm_Servers e(TServerKind::skPOP);
    bool askedAgain = false;
    e.IsRegistered = [&](const std::string &) { return askedAgain = true; };
    e.SetPopServer({"taken.example.com", "", "", "pop3", false});
    QTimer::singleShot(0, e.btn_Save, &QPushButton::click);
    QCOMPARE(e.exec(), static_cast<int>(QDialog::Accepted));
    QVERIFY(!askedAgain);
    QTimer::singleShot(0, &e, [&] { QTest::keyClick(&e, Qt::Key_Escape); });
    QCOMPARE(e.exec(), static_cast<int>(QDialog::Rejected));
  }
};

}  // namespace

QTEST_MAIN(ServersDialogTest)
#include "ServersDialogTest.moc"
