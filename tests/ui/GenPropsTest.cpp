#include "storage/CustomColors.h"
#include "storage/Filters.h"
#include "storage/IniFiles32.h"
#include "storage/ServerRegistry.h"
#include "storage/TextFile.h"
#include "support/ListTexts.h"
#include "support/ModalAnswer.h"
#include "support/TempDir.h"
#include "ui/DisplaySettings.h"
#include "ui/GenPropsDialog.h"
#include "ui/MainWindow.h"
#include "ui/NewsletterPage.h"
#include "ui/FormatBar.h"
#include "storage/Ansi.h"
#include "ui/ServersDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

namespace {

// Shows the dialog through Execute, does `work` while it is up, then Save or Cancel.
bool ExecuteWith(Tfrm_GenProps &d, const std::function<void()> &work, bool save) {
  AnswerNextModal<Tfrm_GenProps>([&d, work, save](Tfrm_GenProps *) {
    work();
    (save ? d.btn_Save : d.btn_Cancel)->click();
  });
  return d.Execute();
}

// Answers the next server dialog with these fields (SMTP or POP page alike), and Yes to
// replacing a registered server when `replace` is set.
void AnswerServerDialog(const QString &name, const QString &user, QString *shownName = nullptr, bool replace = false) {
  AnswerNextModal<Tfrm_Servers>([=](Tfrm_Servers *s) {
    QLineEdit *box = s->Kind() == TServerKind::skSMTP ? s->edt_SMTPServ : s->edt_POPServ;
    if (shownName) *shownName = box->text();
    box->setText(name);
    (s->Kind() == TServerKind::skSMTP ? s->edt_SMTPUser : s->edt_POPUser)->setText(user);
    if (replace) AnswerNextMessageBox(QMessageBox::Yes);
    s->btn_Save->click();
  });
}

void AnswerInput(const QString &value, QString *preset = nullptr) {
  AnswerNextModal<QInputDialog>([=](QInputDialog *input) {
    if (preset) *preset = input->textValue();
    input->setTextValue(value);
    input->accept();
  });
}

void SetChecked(QListWidget *list, int row, bool checked) {
  list->item(row)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

std::string Ini(const TempDir &dir, const char *section, const char *key) {
  return TIniFile32(dir.File(kSettingsFile), TIniMode::imPlatform).ReadString(section, key, "<none>");
}

class GenPropsTest : public QObject {
  Q_OBJECT
private slots:
  void defaultServerQuestionYesAndNo() {
    TempDir dir;
    WriteSmtpServer(dir.Path(), {"Gamma.example.com", "g", "2525", 1, 12});
    WriteSmtpServer(dir.Path(), {"alpha.example.com", "a", "smtp", 0, 1});
    WriteSmtpServer(dir.Path(), {"beta.example.com", "b", "25", 2, 1});
    TGeneralSettings s;
    Tfrm_GenProps d(dir.Path(), &s);
    QCOMPARE(ListTexts(d.clb_SMTPServ), QStringList({"alpha.example.com", "beta.example.com", "Gamma.example.com"}));
    QCOMPARE(d.clb_SMTPServ->item(0)->checkState(), Qt::Checked);  // no settings file: position 0
    QCOMPARE(d.edt_DefSMTPServ->text(), QString("alpha.example.com"));

    QString question;
    AnswerNextMessageBox(QMessageBox::Yes, &question);
    SetChecked(d.clb_SMTPServ, 2, true);
    QCOMPARE(question, QString("Only one default SMTP server is permitted.\n"
                               "Would you like to set this server as your default?"));
    QCOMPARE(ListTexts(d.clb_SMTPServ, true), QStringList({"Gamma.example.com"}));
    QCOMPARE(d.edt_DefSMTPPort->text(), QString("2525"));
    QCOMPARE(d.edt_DefSMTPSend->text(), QString("Send to 12 address at a time"));

    AnswerNextMessageBox(QMessageBox::No);
    SetChecked(d.clb_SMTPServ, 1, true);
    QCOMPARE(ListTexts(d.clb_SMTPServ, true), QStringList({"Gamma.example.com"}));
    QCOMPARE(d.DefaultSmtpServer(), std::string("Gamma.example.com"));

    QVERIFY(ExecuteWith(d, [] {}, true));
    QCOMPARE(Ini(dir, "SMTP", "Server"), std::string("2"));
    QCOMPARE(s.SmtpServer, 2);

    // Unchecked, there is no default until the settings are read again.
    SetChecked(d.clb_SMTPServ, 2, false);
    QCOMPARE(d.DefaultSmtpServer(), std::string());

    // The POP list asks the same for its servers, and shows the options text.
    WritePopServer(dir.Path(), {"pop1.example.com", "p", "pw1", "110", false});
    WritePopServer(dir.Path(), {"pop2.example.com", "q", "pw2", "995", true});
    Tfrm_GenProps d2(dir.Path(), &s);
    AnswerNextMessageBox(QMessageBox::Yes, &question);
    SetChecked(d2.clb_POPServ, 1, true);
    QCOMPARE(question, QString("Only one default POP server is permitted.\n"
                               "Would you like to set this server as your default?"));
    QCOMPARE(d2.edt_DefPOPOptions->text(), QString(" Delete mail from server after reading"));
    QCOMPARE(d2.DefaultPopPassword(), std::string("pw2"));
  }

  void cancelRestoresColoursWhileAnAddedServerStays() {
    TempDir dir;
    TGeneralSettings s;
    Tfrm_GenProps d(dir.Path(), &s);
    int serverSignals = 0;
    connect(&d, &Tfrm_GenProps::ServersChanged, this, [&] { ++serverSignals; });
    QCOMPARE(d.pnl_GenColor->ColorText(), std::string("clSilver"));
    const bool saved = ExecuteWith(
        d,
        [&] {
          AnswerNextModal<QColorDialog>([](QColorDialog *c) {
            c->setCurrentColor(Qt::red);
            QColorDialog::setCustomColor(3, QColor(0x12, 0x34, 0x56));  // a custom colour the user made
            c->accept();
          });
          QTest::mouseDClick(d.pnl_GenColor, Qt::LeftButton);
          QCOMPARE(d.pnl_GenColor->ColorText(), std::string("clRed"));
          AnswerServerDialog("smtp.example.com", "ann");
          d.btn_SMTPAdd->click();
          QCOMPARE(d.gb_SMTPServ->title(), QString("SMTP Servers (1)"));
        },
        false);
    QVERIFY(!saved);
    QCOMPARE(d.pnl_GenColor->ColorText(), std::string("clSilver"));
    QCOMPARE(s.GeneralColor, std::string("clSilver"));
    QCOMPARE(Ini(dir, "Display", "General Color"), std::string("<none>"));
    QCOMPARE(ReadSmtpServer(dir.Path(), "smtp.example.com").Username, std::string("ann"));
    QCOMPARE(ListTexts(d.clb_SMTPServ), QStringList({"smtp.example.com"}));
    QCOMPARE(serverSignals, 1);
    // The colour dialog's custom colours were kept.
    TCustomColors custom{};
    QVERIFY(ReadCustomColors(dir.Path(), &custom));
    QCOMPARE(custom[3], RGBToColor(0x123456));
  }

  void deletingTheDefaultServer() {
    TempDir dir;
    WriteSmtpServer(dir.Path(), {"a.example.com", "", "smtp", 0, 1});
    WriteSmtpServer(dir.Path(), {"b.example.com", "bob", "smtp", 0, 1});
    WriteAll(dir.File(kSettingsFile), "[SMTP]\r\nServer=1\r\n");
    TGeneralSettings s;
    Tfrm_GenProps d(dir.Path(), &s);
    QCOMPARE(d.DefaultSmtpServer(), std::string("b.example.com"));

    // Without a selection nothing is asked or removed; No keeps the server.
    QString question;
    d.clb_SMTPServ->clearSelection();
    d.btn_SMTPDelete->click();
    QCOMPARE(d.clb_SMTPServ->count(), 2);
    d.clb_SMTPServ->setCurrentRow(1);
    AnswerNextMessageBox(QMessageBox::No);
    d.btn_SMTPDelete->click();
    QCOMPARE(d.clb_SMTPServ->count(), 2);

    AnswerNextMessageBox(QMessageBox::Yes, &question);
    d.btn_SMTPDelete->click();
    QCOMPARE(question, QString("Are you sure you want to delete this SMTP server?\n\nSMTP Server: b.example.com"));
    QCOMPARE(ReadSmtpServerNames(dir.Path()), std::vector<std::string>{"a.example.com"});
    QCOMPARE(d.gb_SMTPServ->title(), QString("SMTP Servers (1)"));
    QCOMPARE(d.edt_DefSMTPServ->text(), QString("b.example.com"));  // shown until another is checked
    QCOMPARE(d.DefaultSmtpServer(), std::string());
    // The POP page's own button.
    WritePopServer(dir.Path(), {"p.example.com", "", "", "pop3", false});
    Tfrm_GenProps p(dir.Path(), &s);
    p.clb_POPServ->setCurrentRow(0);
    AnswerNextMessageBox(QMessageBox::Yes);
    p.btn_POPDelete->click();
    QVERIFY(ReadPopServerNames(dir.Path()).empty());
  }

  void serverNamesAreNeverLeftStaleOrDoubled() {
    TempDir dir;
    WriteSmtpServer(dir.Path(), {"b.example.com", "", "smtp", 0, 1});
    WriteSmtpServer(dir.Path(), {"c.example.com", "carl", "587", 2, 1});
    TGeneralSettings s;
    Tfrm_GenProps d(dir.Path(), &s);
    QCOMPARE(d.DefaultSmtpServer(), std::string("b.example.com"));

    // Adding a server before the default moves the stored position along with it.
    AnswerServerDialog("a.example.com", "");
    d.btn_SMTPAdd->click();
    QCOMPARE(Ini(dir, "SMTP", "Server"), std::string("1"));
    d.ReadGeneralSettings();
    QCOMPARE(d.DefaultSmtpServer(), std::string("b.example.com"));

    // A rename replaces the old entry, keeping its settings as edited.
    QString shown;
    d.clb_SMTPServ->setCurrentRow(2);
    AnswerServerDialog("d.example.com", "dora", &shown);
    d.btn_SMTPEditClick();
    QCOMPARE(shown, QString("c.example.com"));
    QCOMPARE(ReadSmtpServerNames(dir.Path()),
             (std::vector<std::string>{"a.example.com", "b.example.com", "d.example.com"}));
    QVERIFY(ReadSmtpServer(dir.Path(), "d.example.com") == (TSmtpServer{"d.example.com", "dora", "587", 2, 1}));

    // Renaming onto a registered name (replace confirmed) leaves one entry of that name;
    // so does adding a registered name again.
    d.clb_SMTPServ->setCurrentRow(2);
    AnswerServerDialog("b.example.com", "dora", nullptr, true);
    d.btn_SMTPEditClick();
    QCOMPARE(ReadSmtpServerNames(dir.Path()), (std::vector<std::string>{"a.example.com", "b.example.com"}));
    QCOMPARE(ReadSmtpServer(dir.Path(), "b.example.com").Username, std::string("dora"));
    QCOMPARE(d.DefaultSmtpServer(), std::string("b.example.com"));
    QCOMPARE(d.edt_DefSMTPUser->text(), QString("dora"));
    AnswerServerDialog("A.example.com", "", nullptr, true);
    d.btn_SMTPAdd->click();
    QCOMPARE(d.gb_SMTPServ->title(), QString("SMTP Servers (2)"));

    // A change of letter case alone renames the entry too.
    d.clb_SMTPServ->setCurrentRow(0);
    AnswerServerDialog("A.example.com", "al");
    d.btn_SMTPEditClick();
    QCOMPARE(ListTexts(d.clb_SMTPServ), QStringList({"A.example.com", "b.example.com"}));
    QCOMPARE(ReadSmtpServerNames(dir.Path()), (std::vector<std::string>{"A.example.com", "b.example.com"}));
  }

  void filterAddedToAListWithoutASection() {
    TempDir dir;
    TGeneralSettings s;
    Tfrm_GenProps d(dir.Path(), &s);
    QVERIFY(!d.btn_AddFilter->isEnabled());  // no list, no filters
    d.SetMailLists({"Weekly", "Monthly"});
    QCOMPARE(d.cb_FilterList->currentText(), QString("Monthly"));
    QString preset;
    AnswerInput(" a@example.com ");
    d.btn_AddFilter->click();
    QCOMPARE(ReadFilters(dir.Path(), "Monthly"), std::vector<std::string>{"a@example.com"});

    d.lb_Filters->setCurrentRow(0);
    AnswerInput("b@example.com", &preset);
    d.btn_EditFilter->click();
    QCOMPARE(preset, QString("a@example.com"));
    QCOMPARE(ReadFilters(dir.Path(), "Monthly"), std::vector<std::string>{"b@example.com"});

    d.cb_FilterList->setCurrentIndex(1);
    QCOMPARE(d.lb_Filters->count(), 0);
    QVERIFY(ReadFilters(dir.Path(), "Weekly").empty());
    d.cb_FilterList->setCurrentIndex(0);
    d.lb_Filters->setCurrentRow(0);
    d.btn_DeleteFilter->click();
    QVERIFY(ReadFilters(dir.Path(), "Monthly").empty());
  }

  void displaySettingsReachTheMainWindowOnSave() {
    TempDir dir;
    TGeneralSettings s;
    TempDir windowData;  // the main window keeps its own files apart
    Tfrm_Main main(AnsiToQString(windowData.Path()));
    Tfrm_GenProps d(dir.Path(), &s, &main);
    QVERIFY(ExecuteWith(
        d,
        [&] {
          d.cb_TabPosition->setCurrentIndex(0);
          d.cb_ToolAlign->setCurrentIndex(1);
          d.pnl_TitleColor->SetColorText("clNavy");
          d.lbl_TitleFont->SetFontSetting({"DejaVu Serif", "clYellow", fsItalic, 12});
          d.cb_Hints->setChecked(false);
          d.cb_HideHTMLBar->setChecked(true);
          // Nothing changes before Save.
          QCOMPARE(main.pc_Main->tabPosition(), QTabWidget::West);
        },
        true));
    // Applied to the main window and the dialog itself, and stored.
    QCOMPARE(main.pc_Main->tabPosition(), QTabWidget::South);
    QCOMPARE(main.toolBarArea(main.tool_Main), Qt::LeftToolBarArea);
    QCOMPARE(d.ttl_Gen->palette().color(QPalette::Window), QColor(0, 0, 0x80));
    QVERIFY(!ShowHints());
    QVERIFY(main.ts_Newsletter->ToolBar1->isHidden());
    QCOMPARE(ReadGeneralSettings(dir.Path()).TitleFont, (TFontSetting{"DejaVu Serif", "clYellow", fsItalic, 12}));
    QCOMPARE(s.TitleFont, (TFontSetting{"DejaVu Serif", "clYellow", fsItalic, 12}));
    // Changing the label's font through the font dialog keeps the font's colour.
    AnswerNextModal<QFontDialog>([](QFontDialog *f) {
      QFont font("DejaVu Sans Mono", 14);
      font.setBold(true);
      f->setCurrentFont(font);
      f->accept();
    });
    QTest::mouseDClick(d.lbl_ToolFont, Qt::LeftButton);
    QCOMPARE(d.lbl_ToolFont->FontSetting(), (TFontSetting{"DejaVu Sans Mono", "clBlack", fsBold, 14}));
    // Cancel reads everything back, hints and the HTML bar included.
    SetShowHints(true);
    QVERIFY(!ExecuteWith(d, [] {}, false));
    QCOMPARE(d.lbl_ToolFont->FontSetting(), TGeneralSettings().ToolbarFont);
    QVERIFY(!ShowHints());
    QVERIFY(!d.cb_Hints->isChecked());
    SetShowHints(true);
  }

  void personalInformationAndTextsReadBackWhole() {
    TempDir dir;
    TGeneralSettings s;
    Tfrm_GenProps d(dir.Path(), &s);
    const QString notes = "line one\nline two = 2\n\nline four";
    // Each personal field in its own box, stored under its own key.
    const auto personal = [](Tfrm_GenProps &g) {
      return QList<QLineEdit *>{g.edt_Name, g.edt_Email, g.edt_Reply, g.edt_Address1, g.edt_Address2, g.edt_Org,
                                g.edt_Phone1, g.edt_Phone2, g.edt_Title, g.edt_Web, g.edt_Photo};
    };
    QVERIFY(ExecuteWith(
        d,
        [&] {
          for (int i = 0; i < personal(d).size(); ++i) personal(d)[i]->setText(QString("field %1").arg(i));
          d.mmo_Notes->setPlainText(notes);
          d.edt_Header->setText(QString::fromStdString(dir.File("header.txt")));
          d.mmo_Header->setPlainText("Welcome\nto the list");
          d.cb_Header->setChecked(true);
          d.btn_HeaderSave->click();
          AnswerInput("Undeliverable");
          d.btn_AddIARSub->click();
          AnswerInput("Returned mail");
          d.btn_AddIARSub->click();
          d.cb_IARSub->setChecked(true);
        },
        true));
    QCOMPARE(ReadAll(dir.File("header.txt")), std::string("Welcome\r\nto the list"));
    QCOMPARE(ReadAll(dir.File(kIARSubjectsFile)), std::string("Returned mail\r\nUndeliverable\r\n"));
    QCOMPARE(s.Notes, std::string("line one\r\nline two = 2\r\n\r\nline four"));

    TGeneralSettings again;
    Tfrm_GenProps e(dir.Path(), &again);
    QCOMPARE(e.mmo_Notes->toPlainText(), notes);
    const std::string stored[] = {again.Name,   again.EMail,  again.Reply, again.Address1, again.Address2, again.Organization,
                                  again.Phone1, again.Phone2, again.Title, again.WebURL,   again.PhotoURL};
    for (int i = 0; i < personal(e).size(); ++i) {
      QCOMPARE(personal(e)[i]->text(), QString("field %1").arg(i));
      QCOMPARE(stored[i], QString("field %1").arg(i).toStdString());
    }
    QCOMPARE(e.mmo_Header->toPlainText(), QString("Welcome\nto the list"));
    QVERIFY(e.cb_Header->isChecked());
    QVERIFY(e.cb_IARSub->isChecked());

    // Bounce subjects: edit with the entry preset, delete without asking; stored by Save only.
    QString preset;
    e.lb_IARSub->setCurrentRow(1);
    AnswerInput("Undeliverable mail", &preset);
    e.btn_EditIARSub->click();
    QCOMPARE(preset, QString("Undeliverable"));
    e.lb_IARSub->setCurrentRow(0);
    e.btn_DelIARSub->click();
    QCOMPARE(ListTexts(e.lb_IARSub), QStringList({"Undeliverable mail"}));
    QCOMPARE(ReadAll(dir.File(kIARSubjectsFile)), std::string("Returned mail\r\nUndeliverable\r\n"));

    // Notes hold at most 255 characters; a cleared name stays cleared.
    e.mmo_Notes->setPlainText(QString(300, 'x'));
    QCOMPARE(e.mmo_Notes->toPlainText().size(), 255);
    QVERIFY(ExecuteWith(e, [&] { e.edt_Name->clear(); }, true));
    QCOMPARE(ReadGeneralSettings(dir.Path()).Name, std::string());
  }
};

}  // namespace

QTEST_MAIN(GenPropsTest)
#include "GenPropsTest.moc"
