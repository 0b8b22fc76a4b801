// How the main window connects the Mail page: the current list, the status bar, the
// message boxes, and the Newsletter page that a reply or a forward starts.
#include "storage/Ansi.h"
#include "ui/MailListsPage.h"
#include "ui/MailPage.h"
#include "ui/MainWindow.h"
#include "ui/NewsletterPage.h"

#include "storage/FileNames.h"

#include <QComboBox>
#include <QPrinter>
#include <QTextBrowser>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextEdit>

void Tfrm_Main::ConnectMail() {
  TMailPage *page = ts_NewMail;
  page->DataDir = DataDirAnsi();
  page->Status = StatusBar1;
  // The tree names the pseudo-list "Brevant"; the list page knows it as no list.
  page->LoadListRecord = [this](const QString &name) {
    ts_MailLists->LoadListRecord(name == "Brevant" ? QString() : name);
  };
  page->CurrentListPath = [this] { return ts_MailLists->CurrentListPath(); };
  page->Confirm = [this](const QString &question) {
    return QMessageBox::question(this, "Brevant 2.0", question) == QMessageBox::Yes;
  };
  page->ShowInfo = [this](const QString &text) { QMessageBox::information(this, "Brevant 2.0", text); };
  page->ShowError = [this](const QString &text) { QMessageBox::warning(this, "Brevant 2.0", text); };
  connect(page, &TMailPage::DraftRequested, this, &Tfrm_Main::StartDraft);
}

void Tfrm_Main::StartDraft(const TMailDraft &draft) {
  TNewsletterPage *news = ts_Newsletter;
  news->CloseDocument();
  if (news->Document.Modified) return;  // the user chose to keep the open newsletter
  news->mmo_Subject->setPlainText(draft.Subject);
  if (draft.SetText) news->re_NewsBody->setPlainText(draft.Text);
  news->re_NewsBody->moveCursor(QTextCursor::Start);
  if (draft.Reply) {
    const std::string &list = ts_MailLists->CurrentListName();
    const int index = list == "Brevant" ? 0 : news->cb_MailLists->findText(AnsiToQString(list));
    news->cb_MailLists->setCurrentIndex(std::max(index, 0));
    replyRecipient_ = QStringToAnsi(draft.ReplyRecipient);
  }
  pc_Main->setCurrentIndex(pgNewsletter);
  if (draft.Reply) news->re_NewsBody->setFocus();
}

void Tfrm_Main::SaveMailClick() {
  TMailPage *page = ts_NewMail;
  // A filter of its own, so that the newsletter's next Save keeps its format.
  int filterIndex = 3;
  const QString name = ts_Newsletter->GetSaveFileName(
      "Save mail...", AnsiToQString(StripFileNameChars(QStringToAnsi(page->SelectedSubject()))), filterIndex);
  if (name.isEmpty()) return;
  try {
    page->WriteMessage(name, filterIndex);
  } catch (const std::exception &e) {
    QMessageBox::warning(this, "Brevant 2.0", QString::fromLocal8Bit(e.what()));
  }
}

void Tfrm_Main::PrintMail(QPrinter &printer) {
  TMailPage *page = ts_NewMail;
  if (page->HtmlPartShown()) {
    page->WebBrowser1->document()->print(&printer);
    return;
  }
  QFont title = font();
  title.setPointSize(12);
  title.setBold(true);
  TNewsletterPage::PrintRichText(printer, page->SelectedSubject(), *page->re_MsgBody, title);
}
