#pragma once
// A rich-text editor as the target of find and replace: positions are the editor's own,
// one 8-bit character per document position.
#include "compose/TextSearch.h"

class QTextEdit;

class TTextEditSearchTarget : public TSearchTarget {
public:
  explicit TTextEditSearchTarget(QTextEdit *editor) : editor_(editor) {}
  const std::string &Text() const override;
  size_t SelStart() const override;
  size_t SelLength() const override;
  void SetSelection(size_t start, size_t length) override;
  void ReplaceSelectionText(const std::string &text) override;

private:
  QTextEdit *editor_;
  mutable std::string text_;
};
