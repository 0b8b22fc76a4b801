#include "mail/RetrievedMessage.h"

#include "storage/Ansi.h"
#include "storage/FileNames.h"
#include "storage/Strings.h"

#include <algorithm>

namespace {
bool Begins(const std::string &line, const char *prefix) { return line.rfind(prefix, 0) == 0; }

// The value after the header name's colon. Its leading blanks go, whether there is one or
// none or several: counting on exactly one would cut the first letter off "To:a@b.org".
std::string Value(const std::string &line, size_t colon) {
  size_t i = colon + 1;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  return line.substr(std::min(i, line.size()));
}
}  // namespace

std::string MessageIdentifier(const std::string &traceLine) {
  static const std::string kOk = "< +OK ";
  const size_t at = traceLine.find(kOk);
  if (at == std::string::npos) return {};
  size_t i = at + kOk.size();
  while (i < traceLine.size() && traceLine[i] >= '0' && traceLine[i] <= '9') ++i;
  while (i < traceLine.size() && traceLine[i] == ' ') ++i;
  // Identifiers hold no blanks; one the server ends with a blank would never match its
  // recorded section, whose name the profile reader trims.
  return TrimRight(traceLine.substr(i));
}

TMessageSummary SummarizeMessage(const std::vector<std::string> &lines) {
  TMessageSummary s;
  bool haveTo = false, haveName = false;
  for (const std::string &line : lines) {
    if (!haveTo && Begins(line, "To:")) {
      s.To = Value(line, 2);
      haveTo = true;
    }
    if (!haveName && Begins(line, "< +OK")) {
      s.RecordName = MessageIdentifier(line);
      haveName = true;
    }
  }
  for (const std::string &line : lines) {
    if (line.empty()) break;
    if (Begins(line, "From:")) s.From = Value(line, 4);
    else if (Begins(line, "Subject:")) s.Subject = Value(line, 7);
    else if (Begins(line, "Date:")) s.Date = Value(line, 4);
    else if (Begins(line, "Content-Type: multipart/mixed")) s.Attachment = true;
  }
  return s;
}

std::string DayCountFileName(double days, const QLocale &locale) {
  // A group separator without a Windows-1252 form (a narrow blank) arrives as '?', which
  // has no place in a file name.
  std::string name = StripFileNameChars(QStringToAnsi(locale.toString(days, 'f', 8)));
  const size_t period = name.find('.');
  if (period != std::string::npos) name.erase(period, 1);
  return name + ".dat";
}
