#pragma once
// Pieces the Mail Lists page is built from: named controls, the rows of a server page, the
// conversions of its boxes, and the guard that keeps the page still while a command runs.
#include <QString>

#include <string>

class QComboBox;
class QFormLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace maillists {

inline const char *const kCaption = "Brevant 2.0";
inline const char *const kListPages[] = {"List Information", "SMTP",   "POP",     "Header",
                                         "Signature",        "Footer", "Options", "Maintenance"};

QString Q(const std::string &s);
std::string A(const QString &s);

template <typename T>
T *Named(T *widget, const char *name) {
  widget->setObjectName(name);
  return widget;
}

QLineEdit *Edit(const char *name, int maxLength);
// A box on its own labelled row of the form.
QLineEdit *EditRow(QFormLayout *form, const char *label, const char *name, int maxLength);

// The server box, user name, password and port of a list's SMTP or POP page.
struct TServerRows {
  const char *Label, *Server, *User, *Password, *Port;
};
void AddServerRows(QFormLayout *form, const TServerRows &names, QComboBox **server, QLineEdit **user,
                   QLineEdit **password, QLineEdit **port);

// Shows a stored choice; the port box keeps what it holds.
void ShowSecurity(QComboBox *box, int security);

QPushButton *Button(const char *name, const QString &caption, const QString &hint = QString());

// Multi-line boxes have no length limit of their own; this keeps them to `maxLength`.
void LimitLength(QPlainTextEdit *box, int maxLength);

// Multi-line text of a box as stored: lines joined by CR LF.
std::string BoxText(const QPlainTextEdit *box);
void SetBoxText(QPlainTextEdit *box, const std::string &text);

// The page is disabled while a bulk command runs, so the events it lets through cannot
// start another command on the same book; the rest of the window stays usable.
class TBusy {
public:
  explicit TBusy(QWidget *page);
  ~TBusy();
  TBusy(const TBusy &) = delete;
  TBusy &operator=(const TBusy &) = delete;

private:
  QWidget *page_;
  bool wasEnabled_;
};

}  // namespace maillists
