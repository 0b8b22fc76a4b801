#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QWidget;
class TSpellChecker;

// Asks what to do with one word that is not in the dictionary.
class TSpellCheckDialog : public QDialog {
  Q_OBJECT
public:
  enum TAnswer { saCancel = 0, saIgnore, saIgnoreAll, saChange, saChangeAll, saAdd };
  explicit TSpellCheckDialog(QWidget *parent = nullptr);
  TAnswer Ask(const QString &word, const QStringList &suggestions);
  QString Replacement() const;

  QLabel *lbl_Word = nullptr;
  QLineEdit *edt_ChangeTo = nullptr;
  QListWidget *lb_Suggestions = nullptr;
};

// Checks the text of the focused control in place; true when the check ran to its end.
// A control that holds no text, or no dictionary, is reported to the user.
bool CheckSpelling(QWidget *focused, TSpellChecker &checker, QWidget *parent);
