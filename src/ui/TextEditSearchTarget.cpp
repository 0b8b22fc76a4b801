#include "ui/TextEditSearchTarget.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include "storage/Ansi.h"

const std::string &TTextEditSearchTarget::Text() const {
  // Read afresh each time: the user may edit between two searches.
  QString raw = editor_->document()->toRawText();
  for (QChar &c : raw) {
    if (c.isSurrogate()) c = u'?';  // keep one byte per position
    else if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = u'\n';
  }
  text_ = QStringToAnsi(raw);
  return text_;
}

size_t TTextEditSearchTarget::SelStart() const {
  return static_cast<size_t>(editor_->textCursor().selectionStart());
}

size_t TTextEditSearchTarget::SelLength() const {
  const QTextCursor c = editor_->textCursor();
  return static_cast<size_t>(c.selectionEnd() - c.selectionStart());
}

void TTextEditSearchTarget::SetSelection(size_t start, size_t length) {
  QTextCursor c = editor_->textCursor();
  const int last = editor_->document()->characterCount() - 1;
  const int from = std::min(static_cast<int>(start), last);
  c.setPosition(from);
  c.setPosition(std::min(from + static_cast<int>(length), last), QTextCursor::KeepAnchor);
  editor_->setTextCursor(c);
}

void TTextEditSearchTarget::ReplaceSelectionText(const std::string &text) {
  QTextCursor c = editor_->textCursor();
  c.insertText(AnsiToQString(text));  // takes the format of the replaced text
  editor_->setTextCursor(c);
}
