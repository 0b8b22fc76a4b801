#include "ui/TextControl.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {
template <typename Edit>
void SelectIn(Edit *edit, int start, int length) {
  QTextCursor cursor = edit->textCursor();
  cursor.setPosition(start);
  cursor.setPosition(start + length, QTextCursor::KeepAnchor);
  edit->setTextCursor(cursor);
}

template <typename Edit>
void ReplaceIn(Edit *edit, int start, int length, const QString &with) {
  SelectIn(edit, start, length);
  edit->textCursor().insertText(with);  // keeps the character format of the word
}

template <typename Edit>
QString WordIn(Edit *edit) {
  QTextCursor cursor = edit->textCursor();
  if (!cursor.hasSelection()) {
    cursor.select(QTextCursor::WordUnderCursor);
    edit->setTextCursor(cursor);
  }
  return cursor.selectedText();
}
}  // namespace

TTextControl::TTextControl(QWidget *widget) {
  if (auto *combo = qobject_cast<QComboBox *>(widget)) widget = combo->lineEdit();
  if (qobject_cast<QLineEdit *>(widget) || qobject_cast<QTextEdit *>(widget) ||
      qobject_cast<QPlainTextEdit *>(widget))
    widget_ = widget;
}

QString TTextControl::Text() const {
  if (auto *line = qobject_cast<QLineEdit *>(widget_)) return line->text();
  if (auto *text = qobject_cast<QTextEdit *>(widget_)) return text->document()->toRawText();
  if (auto *plain = qobject_cast<QPlainTextEdit *>(widget_)) return plain->document()->toRawText();
  return {};
}

void TTextControl::Select(int start, int length) {
  if (auto *line = qobject_cast<QLineEdit *>(widget_)) line->setSelection(start, length);
  else if (auto *text = qobject_cast<QTextEdit *>(widget_)) SelectIn(text, start, length);
  else if (auto *plain = qobject_cast<QPlainTextEdit *>(widget_)) SelectIn(plain, start, length);
}

void TTextControl::Replace(int start, int length, const QString &with) {
  if (auto *line = qobject_cast<QLineEdit *>(widget_)) {
    line->setSelection(start, length);
    line->insert(with);
  } else if (auto *text = qobject_cast<QTextEdit *>(widget_)) {
    ReplaceIn(text, start, length, with);
  } else if (auto *plain = qobject_cast<QPlainTextEdit *>(widget_)) {
    ReplaceIn(plain, start, length, with);
  }
}

QString TTextControl::SelectedWordOrWordAtCaret() {
  if (auto *line = qobject_cast<QLineEdit *>(widget_)) {
    if (line->hasSelectedText()) return line->selectedText();
    const QString t = line->text();
    int b = line->cursorPosition(), e = b;
    while (b > 0 && t.at(b - 1).isLetter()) --b;
    while (e < t.size() && t.at(e).isLetter()) ++e;
    line->setSelection(b, e - b);
    return t.mid(b, e - b);
  }
  if (auto *text = qobject_cast<QTextEdit *>(widget_)) return WordIn(text);
  if (auto *plain = qobject_cast<QPlainTextEdit *>(widget_)) return WordIn(plain);
  return {};
}

void TTextControl::ReplaceSelection(const QString &with) {
  if (auto *line = qobject_cast<QLineEdit *>(widget_)) line->insert(with);
  else if (auto *text = qobject_cast<QTextEdit *>(widget_)) text->textCursor().insertText(with);
  else if (auto *plain = qobject_cast<QPlainTextEdit *>(widget_)) plain->textCursor().insertText(with);
}
