#include "ui/EditCommands.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {
template <typename Edit>
void Apply(Edit *edit, TEditCommand command) {
  switch (command) {
    case TEditCommand::ecUndo: edit->undo(); break;
    case TEditCommand::ecCut: edit->cut(); break;
    case TEditCommand::ecCopy: edit->copy(); break;
    case TEditCommand::ecPaste: edit->paste(); break;
    case TEditCommand::ecClear:
      // Only the selection goes; with none, nothing is deleted.
      if constexpr (std::is_same_v<Edit, QLineEdit>) {
        if (edit->hasSelectedText()) edit->del();
      } else {
        edit->textCursor().removeSelectedText();
      }
      break;
    case TEditCommand::ecSelectAll: edit->selectAll(); break;
  }
}
}  // namespace

void EditFocused(TEditCommand command) {
  QWidget *focus = QApplication::focusWidget();
  if (auto *combo = qobject_cast<QComboBox *>(focus)) focus = combo->lineEdit();
  if (auto *line = qobject_cast<QLineEdit *>(focus)) Apply(line, command);
  else if (auto *text = qobject_cast<QTextEdit *>(focus)) Apply(text, command);
  else if (auto *plain = qobject_cast<QPlainTextEdit *>(focus)) Apply(plain, command);
}
