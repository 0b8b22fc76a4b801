#pragma once
// Helpers shared by the mailing tests.
#include "compose/RtfReader.h"
#include "support/SmtpServerFixture.h"
#include "support/TempDir.h"

#include <string>
#include <vector>

// The paragraphs of a filed Sent copy, read back from its rich text.
inline std::vector<std::string> ReadSentLines(const std::string &path) {
  std::vector<std::string> lines;
  for (const TRichParagraph &paragraph : ReadRtf(ReadAll(path)).Paragraphs) lines.push_back(paragraph.Text());
  return lines;
}

// A message as the server stored it, cut into its header lines and body lines.
struct TReceived {
  std::vector<std::string> Headers, Body;
  std::vector<std::string> RcptTo;
  std::string MailFrom;

  explicit TReceived(const ReceivedMessage &m) : RcptTo(m.RcptTo), MailFrom(m.MailFrom) {
    bool inBody = false;
    size_t start = 0;
    for (size_t end; (end = m.Data.find("\r\n", start)) != std::string::npos; start = end + 2) {
      const std::string line = m.Data.substr(start, end - start);
      if (!inBody && line.empty())
        inBody = true;
      else
        (inBody ? Body : Headers).push_back(line);
    }
  }
  // The first header line of that name, "<none>" when there is none.
  std::string Header(const std::string &name) const {
    for (const std::string &h : Headers)
      if (h.compare(0, name.size() + 1, name + ":") == 0) return h;
    return "<none>";
  }
};
