#pragma once
// Helpers shared by the mailing tests.
#include "compose/RtfReader.h"
#include "mail/MailingRun.h"
#include "support/QtTestApp.h"
#include "support/SmtpServerFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>
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

// A window side that shows nothing, for the runs whose screen no case looks at.
class QuietHost : public IMailingHost {
public:
  void SetStatus(const std::string &) override {}
  void SetProtocolLine(const std::string &) override {}
  void SetProgress(int) override {}
  void ShowInformation(const std::string &) override {}
};

// A mailing run's set-up: a data folder, a real SMTP server on 127.0.0.1, the client, the
// window side, and a job for a list that sends through that server.
template <class Host>
class MailingFixture : public ::testing::Test {
protected:
  void SetUp() override {
    EnsureQtApp();
    ASSERT_TRUE(server.IsRunning());
    job.ListFolder = dir.Path() + "List/";
    job.ListServer = "127.0.0.1";
    job.ListPort = std::to_string(server.Port());
    job.ListUser = "me.example.org";
    job.ListTo = "list@example.org";
    job.ListFrom = "editor@example.org";
    job.ListReply = "reply@example.org";
    job.Subject = "Spring news";
  }
  std::vector<TReceived> Received() const {
    std::vector<TReceived> out;
    for (const ReceivedMessage &m : server.Messages()) out.emplace_back(m);
    return out;
  }
  // Every recipient the server has a message for, and how often.
  std::multiset<std::string> Delivered() const {
    std::multiset<std::string> out;
    for (const TReceived &m : Received()) out.insert(m.RcptTo.begin(), m.RcptTo.end());
    return out;
  }
  std::string Log() const { return ReadAll(dir.File("MailLog.txt")); }
  static bool Has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }
  static int Occurrences(const std::string &text, const std::string &part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }

  TempDir dir;
  SmtpServerFixture server;
  TSmtpCli client;
  Host host;
  TMailingJob job;
};
