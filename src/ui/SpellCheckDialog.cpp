#include "ui/SpellCheckDialog.h"

#include "ui/SpellChecker.h"
#include "ui/TextControl.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

TSpellCheckDialog::TSpellCheckDialog(QWidget *parent) : QDialog(parent) {
  setObjectName("frm_Spell");
  setWindowTitle("Check Spelling");
  lbl_Word = new QLabel(this);
  lbl_Word->setObjectName("lbl_Word");
  edt_ChangeTo = new QLineEdit(this);
  edt_ChangeTo->setObjectName("edt_ChangeTo");
  lb_Suggestions = new QListWidget(this);
  lb_Suggestions->setObjectName("lb_Suggestions");
  connect(lb_Suggestions, &QListWidget::currentTextChanged, edt_ChangeTo, &QLineEdit::setText);

  auto *buttons = new QVBoxLayout;
  const struct {
    const char *caption, *name;
    TAnswer answer;
  } actions[] = {{"&Ignore", "btn_Ignore", saIgnore},       {"I&gnore All", "btn_IgnoreAll", saIgnoreAll},
                 {"&Change", "btn_Change", saChange},       {"Change A&ll", "btn_ChangeAll", saChangeAll},
                 {"&Add", "btn_Add", saAdd},                {"Cancel", "btn_Cancel", saCancel}};
  for (const auto &a : actions) {
    auto *button = new QPushButton(a.caption, this);
    button->setObjectName(a.name);
    const TAnswer answer = a.answer;
    connect(button, &QPushButton::clicked, this, [this, answer] { done(answer); });
    buttons->addWidget(button);
  }
  buttons->addStretch();
  auto *grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Not in dictionary:", this), 0, 0);
  grid->addWidget(lbl_Word, 0, 1);
  grid->addWidget(new QLabel("Change to:", this), 1, 0);
  grid->addWidget(edt_ChangeTo, 1, 1);
  grid->addWidget(new QLabel("Suggestions:", this), 2, 0, Qt::AlignTop);
  grid->addWidget(lb_Suggestions, 2, 1);
  grid->addLayout(buttons, 0, 2, 3, 1);
}

TSpellCheckDialog::TAnswer TSpellCheckDialog::Ask(const QString &word, const QStringList &suggestions) {
  lbl_Word->setText("<b>" + word.toHtmlEscaped() + "</b>");
  lb_Suggestions->clear();
  lb_Suggestions->addItems(suggestions);
  edt_ChangeTo->setText(suggestions.isEmpty() ? word : suggestions.first());
  if (!suggestions.isEmpty()) lb_Suggestions->setCurrentRow(0);
  return static_cast<TAnswer>(exec());
}

QString TSpellCheckDialog::Replacement() const { return edt_ChangeTo->text(); }

bool CheckSpelling(QWidget *focused, TSpellChecker &checker, QWidget *parent) {
  TTextControl control(focused);
  if (!control.IsValid()) return false;
  if (!checker.IsReady()) {
    QMessageBox::information(parent, "Check Spelling", "No dictionary is installed for spell checking.");
    return false;
  }
  TSpellCheckDialog dialog(parent);
  QMap<QString, QString> changeAll;
  int pos = 0;
  for (TWordSpan span = NextWord(control.Text(), pos); span.IsValid(); span = NextWord(control.Text(), pos)) {
    const QString word = control.Text().mid(span.start, span.length);
    pos = span.start + span.length;
    if (checker.IsCorrect(word)) continue;
    if (changeAll.contains(word)) {
      control.Replace(span.start, span.length, changeAll[word]);
      pos = span.start + static_cast<int>(changeAll[word].size());
      continue;
    }
    control.Select(span.start, span.length);
    switch (dialog.Ask(word, checker.Suggestions(word))) {
      case TSpellCheckDialog::saCancel: return false;
      case TSpellCheckDialog::saIgnore: break;
      case TSpellCheckDialog::saIgnoreAll: checker.IgnoreAll(word); break;
      case TSpellCheckDialog::saAdd: checker.AddToUserDictionary(word); break;
      case TSpellCheckDialog::saChangeAll: changeAll[word] = dialog.Replacement(); [[fallthrough]];
      case TSpellCheckDialog::saChange:
        control.Replace(span.start, span.length, dialog.Replacement());
        pos = span.start + static_cast<int>(dialog.Replacement().size());
        break;
    }
  }
  QMessageBox::information(parent, "Check Spelling", "The spelling check is complete.");
  return true;
}
