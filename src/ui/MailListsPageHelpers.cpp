#include "ui/MailListsPageHelpers.h"

#include "storage/Ansi.h"
#include "storage/Strings.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace maillists {

QString Q(const std::string &s) { return AnsiToQString(s); }
std::string A(const QString &s) { return QStringToAnsi(s); }

QLineEdit *Edit(const char *name, int maxLength) {
  auto *edit = Named(new QLineEdit, name);
  edit->setMaxLength(maxLength);
  return edit;
}

QLineEdit *EditRow(QFormLayout *form, const char *label, const char *name, int maxLength) {
  QLineEdit *edit = Edit(name, maxLength);
  form->addRow(label, edit);
  return edit;
}

void AddServerRows(QFormLayout *form, const TServerRows &names, QComboBox **server, QLineEdit **user,
                   QLineEdit **password, QLineEdit **port) {
  *server = Named(new QComboBox, names.Server);
  (*server)->setEditable(true);
  form->addRow(names.Label, *server);
  *user = EditRow(form, "User Name:", names.User, 30);
  *password = EditRow(form, "Password:", names.Password, 20);
  (*password)->setEchoMode(QLineEdit::Password);
  *port = EditRow(form, "Port:", names.Port, 20);
}

void ShowSecurity(QComboBox *box, int security) {
  const QSignalBlocker keepPort(box);
  box->setCurrentIndex(std::clamp(security, 0, 2));
}

QPushButton *Button(const char *name, const QString &caption, const QString &hint) {
  auto *button = Named(new QPushButton(caption), name);
  button->setToolTip(hint);
  return button;
}

void LimitLength(QPlainTextEdit *box, int maxLength) {
  QObject::connect(box, &QPlainTextEdit::textChanged, box, [box, maxLength] {
    const QString text = box->toPlainText();
    if (text.size() > maxLength) box->setPlainText(text.left(maxLength));
  });
}

std::string BoxText(const QPlainTextEdit *box) { return A(box->toPlainText().replace("\n", "\r\n")); }
void SetBoxText(QPlainTextEdit *box, const std::string &text) { box->setPlainText(Q(ReplaceAll(text, "\r\n", "\n"))); }

TBusy::TBusy(QWidget *page) : page_(page), wasEnabled_(page->isEnabled()) { page_->setEnabled(false); }
TBusy::~TBusy() { page_->setEnabled(wasEnabled_); }

}  // namespace maillists
