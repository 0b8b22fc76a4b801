#include "ui/ThesaurusDialog.h"

#include "ui/SpellChecker.h"
#include "ui/TextControl.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

TThesaurusDialog::TThesaurusDialog(const TThesaurus &thesaurus, const QString &word, QWidget *parent)
    : QDialog(parent), thesaurus_(thesaurus) {
  setObjectName("frm_Thesaurus");
  setWindowTitle("Thesaurus Lookup:");
  edt_Word = new QLineEdit(word, this);
  edt_Word->setObjectName("edt_Word");
  auto *lookUp = new QPushButton("&Look Up", this);
  lb_Meanings = new QListWidget(this);
  lb_Meanings->setObjectName("lb_Meanings");
  lb_Synonyms = new QListWidget(this);
  lb_Synonyms->setObjectName("lb_Synonyms");
  edt_ReplaceWith = new QLineEdit(this);
  edt_ReplaceWith->setObjectName("edt_ReplaceWith");
  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  buttons->addButton("&Replace", QDialogButtonBox::AcceptRole)->setObjectName("btn_Replace");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(lookUp, &QPushButton::clicked, this, [this] { LookUp(edt_Word->text()); });
  connect(lb_Meanings, &QListWidget::currentRowChanged, this, &TThesaurusDialog::ShowMeaning);
  connect(lb_Synonyms, &QListWidget::currentTextChanged, edt_ReplaceWith, &QLineEdit::setText);
  connect(lb_Synonyms, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
    edt_Word->setText(item->text());
    LookUp(item->text());
  });

  auto *grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Looked up:", this), 0, 0);
  grid->addWidget(edt_Word, 0, 1);
  grid->addWidget(lookUp, 0, 2);
  grid->addWidget(new QLabel("Meanings:", this), 1, 0);
  grid->addWidget(new QLabel("Synonyms:", this), 1, 1);
  grid->addWidget(lb_Meanings, 2, 0);
  grid->addWidget(lb_Synonyms, 2, 1, 1, 2);
  grid->addWidget(new QLabel("Replace with:", this), 3, 0);
  grid->addWidget(edt_ReplaceWith, 3, 1, 1, 2);
  grid->addWidget(buttons, 4, 0, 1, 3);
  LookUp(word);
}

void TThesaurusDialog::LookUp(const QString &word) {
  lb_Meanings->clear();
  lb_Synonyms->clear();
  synonyms_.clear();
  for (const TMeaning &m : thesaurus_.Lookup(word.trimmed())) {
    lb_Meanings->addItem(m.definition);
    synonyms_ << m.synonyms;
  }
  if (lb_Meanings->count() == 0) lb_Meanings->addItem("(no meanings found)");
  else lb_Meanings->setCurrentRow(0);
}

void TThesaurusDialog::ShowMeaning(int row) {
  lb_Synonyms->clear();
  if (row >= 0 && row < synonyms_.size()) lb_Synonyms->addItems(synonyms_[row]);
}

QString TThesaurusDialog::Replacement() const { return edt_ReplaceWith->text(); }

void ShowThesaurus(QWidget *focused, const TThesaurus &thesaurus, QWidget *parent) {
  TTextControl control(focused);
  if (!control.IsValid()) return;
  if (!thesaurus.IsReady()) {
    QMessageBox::information(parent, "Thesaurus Lookup:", "No thesaurus is installed.");
    return;
  }
  const QString word = control.SelectedWordOrWordAtCaret();
  TThesaurusDialog dialog(thesaurus, word, parent);
  if (dialog.exec() != QDialog::Accepted || dialog.Replacement().isEmpty()) return;
  control.ReplaceSelection(dialog.Replacement());  // the word selected above
}
