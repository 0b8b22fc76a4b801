#pragma once
// The window side of a retrieval run for brevant-cli: a progress bar on a terminal, plain
// lines otherwise, errors always; no windows, no timers.
#include "mail/RetrievalRun.h"

#include <iosfwd>
#include <string>

class TCliRetrievalHost : public IRetrievalHost {
public:
  TCliRetrievalHost(std::ostream &err, bool terminal) : err_(err), terminal_(terminal) {}

  void SetStatus(const std::string &text) override;
  void SetProtocolLine(const std::string &) override {}
  void SetProgress(int) override {}
  void ShowInformation(const std::string &text) override;
  void ShowProgressWindow(const std::string &) override {}
  void CloseProgressWindow() override {}
  void SetKeepAlive(bool) override {}
  void MessageFiled() override {}

  // Ends the bar's line, if one is drawn.
  void EndBar();
  // The last error the run reported after the login, "" when none.
  const std::string &LastError() const { return lastError_; }
  int Errors() const { return errors_; }

private:
  void DrawBar();
  // Prints a line, keeping the bar below it.
  void Line(const std::string &text);

  std::ostream &err_;
  bool terminal_;
  bool barShown_ = false;
  int total_ = 0;
  int current_ = 0;
  int errors_ = 0;
  std::string lastError_;
};
