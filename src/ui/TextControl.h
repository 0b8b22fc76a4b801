#pragma once
// One way to read, select and replace the text of any of the editing controls.
#include <QString>

class QWidget;

class TTextControl {
public:
  // An invalid control when `widget` is not a line edit, text edit or plain text edit.
  explicit TTextControl(QWidget *widget);
  bool IsValid() const { return widget_ != nullptr; }
  QWidget *Widget() const { return widget_; }
  QString Text() const;
  void Select(int start, int length);
  void Replace(int start, int length, const QString &with);
  void ReplaceSelection(const QString &with);
  // The selected text, or the word around the caret when nothing is selected.
  QString SelectedWordOrWordAtCaret();

private:
  QWidget *widget_ = nullptr;
};
