#include "cli/CliRetrievalHost.h"

#include "storage/Strings.h"

#include <algorithm>
#include <charconv>
#include <ostream>

namespace {
// The number after `prefix` at the start of `text`, or -1.
int NumberAfter(const std::string &text, const std::string &prefix) {
  if (!StartsText(prefix, text)) return -1;
  int n = -1;
  const char *from = text.data() + prefix.size();
  std::from_chars(from, text.data() + text.size(), n);
  return n;
}
}  // namespace

void TCliRetrievalHost::SetStatus(const std::string &text) {
  if (const int total = NumberAfter(text, "There are "); total >= 0) {
    total_ = total;
    if (!terminal_) Line(text);
    return;
  }
  if (const int n = NumberAfter(text, "Retrieving message "); n >= 0) {
    current_ = n;
    if (terminal_) DrawBar();
    return;
  }
  if (StartsText("Error - ", text)) {
    ++errors_;
    lastError_ = text.substr(8);
    Line(text);
    return;
  }
  if (StartsText("Connecting to ", text) || StartsText("Added ", text)) Line(text);
}

void TCliRetrievalHost::ShowInformation(const std::string &text) { Line(ReplaceAll(text, "\r\n", "\n")); }

void TCliRetrievalHost::Line(const std::string &text) {
  if (barShown_) err_ << "\r\033[K";
  err_ << text << "\n";
  if (barShown_) DrawBar();
}

void TCliRetrievalHost::DrawBar() {
  constexpr int width = 30;
  const int done = total_ > 0 ? std::min(current_, total_) : current_;
  const int filled = total_ > 0 ? done * width / total_ : 0;
  err_ << "\r[" << std::string(static_cast<size_t>(filled), '#') << std::string(static_cast<size_t>(width - filled), '.')
       << "] " << done << "/" << total_ << std::flush;
  barShown_ = true;
}

void TCliRetrievalHost::EndBar() {
  if (barShown_) err_ << "\n";
  barShown_ = false;
}
