#pragma once
// Find and replace over a text with a selection, shared by the Find/Replace dialog and by
// the merge of field codes in plain-text messages. Text is Windows-1252 bytes.
#include <cstddef>
#include <functional>
#include <string>

// A text with a caret and a selection that the routines below search and edit.
class TSearchTarget {
public:
  virtual ~TSearchTarget() = default;
  virtual const std::string &Text() const = 0;
  virtual size_t SelStart() const = 0;
  virtual size_t SelLength() const = 0;
  virtual void SetSelection(size_t start, size_t length) = 0;
  // Replaces the selection by `text`; the caret ends after the inserted text.
  virtual void ReplaceSelectionText(const std::string &text) = 0;
};

// A plain string as search target.
class TStringSearchTarget : public TSearchTarget {
public:
  explicit TStringSearchTarget(std::string text = {}) : text_(std::move(text)) {}
  const std::string &Text() const override { return text_; }
  size_t SelStart() const override { return start_; }
  size_t SelLength() const override { return length_; }
  void SetSelection(size_t start, size_t length) override;
  void ReplaceSelectionText(const std::string &text) override;
  std::string &&TakeText() { return std::move(text_); }

private:
  std::string text_;
  size_t start_ = 0, length_ = 0;
};

enum class TConfirmAnswer { caYes, caNo, caCancel };

// How the routines talk to the user; unassigned members mean "ask nobody".
struct TSearchPrompts {
  std::function<void(const std::string &text)> Inform;
  std::function<TConfirmAnswer(const std::string &question)> Confirm;
};

// Position of `what` in `text` at or after `from`, or npos. Without matchCase, letters
// (accented ones of Windows-1252 too) match either case; wholeWord wants no letter or
// digit right before and after the match.
size_t SearchText(const std::string &text, size_t from, const std::string &what, bool matchCase,
                  bool wholeWord);

// Searches after the current selection (from its start plus the length of `text`, so an
// existing match is skipped) to the end; a match becomes the selection. An empty `text`
// finds nothing and says nothing.
bool FindNext(TSearchTarget &target, const std::string &text, bool matchCase, bool wholeWord, bool showMessage,
              const TSearchPrompts &prompts = {});

enum class TReplaceResult { rrReplaced, rrDeclined, rrCancelled, rrNothing };

// Replaces the selection (the last match) by `replaceText`, after asking when `confirm`.
TReplaceResult ReplaceSelection(TSearchTarget &target, const std::string &findText, const std::string &replaceText,
                                bool confirm, const TSearchPrompts &prompts = {});

// Replaces every match from the caret on. Each search resumes after the inserted text (or
// after a declined match), so it ends even when the replacement holds the search text.
// Returns the number of matches, declined ones included; Cancel ends the run.
int ReplaceAll(TSearchTarget &target, const std::string &findText, const std::string &replaceText, bool matchCase,
               bool wholeWord, bool confirm, bool showMessages, const TSearchPrompts &prompts = {});

// The program's texts.
std::string NotFoundMessage(const std::string &text);
std::string ConfirmReplaceMessage(const std::string &findText);
std::string ReplaceAllMessage(int count, const std::string &findText, const std::string &replaceText);
