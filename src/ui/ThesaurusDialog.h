#pragma once
#include <QDialog>

class QLineEdit;
class QListWidget;
class TThesaurus;

// "Thesaurus Lookup:": meanings and synonyms of a word, one of which may replace it.
class TThesaurusDialog : public QDialog {
  Q_OBJECT
public:
  TThesaurusDialog(const TThesaurus &thesaurus, const QString &word, QWidget *parent = nullptr);
  QString Replacement() const;
  void LookUp(const QString &word);

  QLineEdit *edt_Word = nullptr;
  QListWidget *lb_Meanings = nullptr;
  QListWidget *lb_Synonyms = nullptr;
  QLineEdit *edt_ReplaceWith = nullptr;

private:
  void ShowMeaning(int row);

  const TThesaurus &thesaurus_;
  QList<QStringList> synonyms_;
};

// Looks up the selected word (or the word at the caret) of the focused control and
// replaces it with the chosen synonym. Does nothing for a control that is not an edit.
void ShowThesaurus(QWidget *focused, const TThesaurus &thesaurus, QWidget *parent);
