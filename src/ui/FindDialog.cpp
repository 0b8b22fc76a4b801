#include "ui/FindDialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "storage/Ansi.h"
#include "ui/TextEditSearchTarget.h"

Tfrm_Find::Tfrm_Find(QWidget *mainWindow) : QDialog(mainWindow), main_(mainWindow) {
  setObjectName("frm_Find");
  setWindowTitle("Find/Replace");
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);

  edt_Find = new QLineEdit(this);
  edt_Find->setObjectName("edt_Find");
  edt_Replace = new QLineEdit(this);
  edt_Replace->setObjectName("edt_Replace");
  cb_Case = new QCheckBox("Case sensitive", this);
  cb_Case->setObjectName("cb_Case");
  cb_Whole = new QCheckBox("Whole words only", this);
  cb_Whole->setObjectName("cb_Whole");
  cb_Prompt = new QCheckBox("Prompt on replace", this);
  cb_Prompt->setObjectName("cb_Prompt");
  btn_OK = new QPushButton("&OK", this);
  btn_OK->setObjectName("btn_OK");
  btn_OK->setDefault(true);
  btn_Replace = new QPushButton("&Replace", this);
  btn_Replace->setObjectName("btn_Replace");
  btn_ReplaceAll = new QPushButton("Replace &All", this);
  btn_ReplaceAll->setObjectName("btn_ReplaceAll");
  btn_Cancel = new QPushButton("&Cancel", this);
  btn_Cancel->setObjectName("btn_Cancel");

  auto *fields = new QFormLayout;
  fields->addRow("Find text:", edt_Find);
  fields->addRow("Replace with:", edt_Replace);
  auto *left = new QVBoxLayout;
  left->addLayout(fields);
  left->addWidget(cb_Case);
  left->addWidget(cb_Whole);
  left->addWidget(cb_Prompt);
  left->addStretch();
  auto *buttons = new QVBoxLayout;
  for (QPushButton *b : {btn_OK, btn_Replace, btn_ReplaceAll, btn_Cancel}) buttons->addWidget(b);
  buttons->addStretch();
  auto *layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(buttons);

  connect(btn_OK, &QPushButton::clicked, this, &Tfrm_Find::btn_OKClick);
  connect(btn_Replace, &QPushButton::clicked, this, &Tfrm_Find::btn_ReplaceClick);
  connect(btn_ReplaceAll, &QPushButton::clicked, this, &Tfrm_Find::btn_ReplaceAllClick);
  connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::close);  // Escape closes as well

  Prompts.Inform = [this](const std::string &text) { QMessageBox::information(this, windowTitle(), AnsiToQString(text)); };
  Prompts.Confirm = [this](const std::string &question) {
    switch (QMessageBox::question(this, windowTitle(), AnsiToQString(question),
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
      case QMessageBox::Yes: return TConfirmAnswer::caYes;
      case QMessageBox::No: return TConfirmAnswer::caNo;
      default: return TConfirmAnswer::caCancel;
    }
  };
}

QPoint Tfrm_Find::Placement(const QRect &mainFrame, const QSize &dialog) {
  return {mainFrame.left() + mainFrame.width() - dialog.width() - dialog.width() / 4,
          mainFrame.top() + dialog.height() / 3};
}

Tfrm_Find *Tfrm_Find::FindReplace1Click(QWidget *mainWindow) {
  auto *dialog = new Tfrm_Find(mainWindow);
  dialog->adjustSize();
  dialog->move(Placement(mainWindow->frameGeometry(), dialog->frameGeometry().size()));
  dialog->show();
  return dialog;
}

QTextEdit *Tfrm_Find::Target(bool toChange) const {
  QWidget *focus = main_ ? main_->focusWidget() : nullptr;
  auto *edit = qobject_cast<QTextEdit *>(focus);
  return edit && !(toChange && edit->isReadOnly()) ? edit : nullptr;
}

void Tfrm_Find::btn_OKClick() {
  QTextEdit *edit = Target(false);
  if (!edit) return;
  TTextEditSearchTarget target(edit);
  FindNext(target, QStringToAnsi(edt_Find->text()), cb_Case->isChecked(), cb_Whole->isChecked(), true, Prompts);
}

void Tfrm_Find::btn_ReplaceClick() {
  QTextEdit *edit = Target(true);
  if (!edit) return;
  TTextEditSearchTarget target(edit);
  ReplaceSelection(target, QStringToAnsi(edt_Find->text()), QStringToAnsi(edt_Replace->text()),
                   cb_Prompt->isChecked(), Prompts);
}

void Tfrm_Find::btn_ReplaceAllClick() {
  QTextEdit *edit = Target(true);
  if (!edit) return;
  TTextEditSearchTarget target(edit);
  QTextCursor undoBlock = edit->textCursor();
  undoBlock.beginEditBlock();  // one Undo takes the whole run back
  ReplaceAll(target, QStringToAnsi(edt_Find->text()), QStringToAnsi(edt_Replace->text()), cb_Case->isChecked(),
             cb_Whole->isChecked(), cb_Prompt->isChecked(), true, Prompts);
  undoBlock.endEditBlock();
}
