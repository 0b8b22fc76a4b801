#include "compose/TextSearch.h"

#include <algorithm>
#include <array>

namespace {
// Windows-1252 case folding and word characters, built once.
struct TCharTables {
  std::array<unsigned char, 256> lower{};
  std::array<bool, 256> word{};
  TCharTables() {
    for (int c = 0; c < 256; ++c) lower[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c) lower[c] = static_cast<unsigned char>(c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
      if (c != 0xD7) lower[c] = static_cast<unsigned char>(c + 32);
    lower[0x8A] = 0x9A;  // S caron
    lower[0x8C] = 0x9C;  // OE
    lower[0x8E] = 0x9E;  // Z caron
    lower[0x9F] = 0xFF;  // Y diaeresis
    for (int c = 0; c < 256; ++c) {
      const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '_' || c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9A || c == 0x9C ||
                          c == 0x9E || c == 0x9F || c == 0x83 || c == 0xAA || c == 0xB5 || c == 0xBA ||
                          (c >= 0xC0 && c != 0xD7 && c != 0xF7);
      word[c] = letter;
    }
  }
};
const TCharTables &Tables() {
  static const TCharTables tables;
  return tables;
}

bool IsWordChar(char c) { return Tables().word[static_cast<unsigned char>(c)]; }

bool WholeWordAt(const std::string &text, size_t pos, size_t length) {
  if (pos > 0 && IsWordChar(text[pos - 1])) return false;
  const size_t end = pos + length;
  return end >= text.size() || !IsWordChar(text[end]);
}

size_t FindFolded(const std::string &text, size_t from, const std::string &what) {
  const auto &lower = Tables().lower;
  auto eq = [&lower](char a, char b) {
    return lower[static_cast<unsigned char>(a)] == lower[static_cast<unsigned char>(b)];
  };
  const auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), what.begin(),
                              what.end(), eq);
  return it == text.end() ? std::string::npos : static_cast<size_t>(it - text.begin());
}
}  // namespace

void TStringSearchTarget::SetSelection(size_t start, size_t length) {
  start_ = std::min(start, text_.size());
  length_ = std::min(length, text_.size() - start_);
}

void TStringSearchTarget::ReplaceSelectionText(const std::string &text) {
  text_.replace(start_, length_, text);
  start_ += text.size();
  length_ = 0;
}

size_t SearchText(const std::string &text, size_t from, const std::string &what, bool matchCase, bool wholeWord) {
  if (what.empty()) return std::string::npos;
  while (from <= text.size()) {
    const size_t hit = matchCase ? text.find(what, from) : FindFolded(text, from, what);
    if (hit == std::string::npos) return hit;
    if (!wholeWord || WholeWordAt(text, hit, what.size())) return hit;
    from = hit + 1;
  }
  return std::string::npos;
}

bool FindNext(TSearchTarget &target, const std::string &text, bool matchCase, bool wholeWord, bool showMessage,
              const TSearchPrompts &prompts) {
  if (text.empty()) return false;
  size_t caret = target.SelStart();
  // A selection is taken as the last match: search on after its first character's worth
  // of search text. The selection stays as it is when nothing is found.
  if (target.SelLength() > 0) caret += text.size();
  if (caret > target.Text().size()) caret = target.Text().size();
  const size_t hit = SearchText(target.Text(), caret, text, matchCase, wholeWord);
  if (hit == std::string::npos) {
    if (showMessage && prompts.Inform) prompts.Inform(NotFoundMessage(text));
    return false;
  }
  target.SetSelection(hit, text.size());
  return true;
}

TReplaceResult ReplaceSelection(TSearchTarget &target, const std::string &findText, const std::string &replaceText,
                                bool confirm, const TSearchPrompts &prompts) {
  if (target.SelLength() == 0) return TReplaceResult::rrNothing;
  if (confirm) {
    const TConfirmAnswer answer =
        prompts.Confirm ? prompts.Confirm(ConfirmReplaceMessage(findText)) : TConfirmAnswer::caYes;
    if (answer == TConfirmAnswer::caNo) return TReplaceResult::rrDeclined;
    if (answer == TConfirmAnswer::caCancel) return TReplaceResult::rrCancelled;
  }
  target.ReplaceSelectionText(replaceText);
  return TReplaceResult::rrReplaced;
}

int ReplaceAll(TSearchTarget &target, const std::string &findText, const std::string &replaceText, bool matchCase,
               bool wholeWord, bool confirm, bool showMessages, const TSearchPrompts &prompts) {
  if (findText.empty()) return 0;
  int count = 0;
  while (FindNext(target, findText, matchCase, wholeWord, showMessages, prompts)) {
    ++count;
    if (ReplaceSelection(target, findText, replaceText, confirm, prompts) == TReplaceResult::rrCancelled) break;
  }
  if (showMessages && prompts.Inform) prompts.Inform(ReplaceAllMessage(count, findText, replaceText));
  return count;
}

std::string NotFoundMessage(const std::string &text) { return text + " not found."; }

std::string ConfirmReplaceMessage(const std::string &findText) {
  return "Replace this occurance of '" + findText + "'?";
}

std::string ReplaceAllMessage(int count, const std::string &findText, const std::string &replaceText) {
  return std::to_string(count) + " instances of '" + findText + "' were replaced with '" + replaceText + "'.";
}
