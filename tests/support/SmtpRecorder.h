#pragma once
// A TSmtpCli with its trace and completions recorded, and a way to run one request to its end.
// The body comes from `Body`, one entry a line.
#include "net/SmtpProt.h"
#include "support/QtTestApp.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

struct SmtpRecorder {
  TSmtpCli Smtp;
  std::vector<std::string> Body;
  std::vector<std::string> Display;   // OnDisplay
  std::vector<std::string> Commands;  // OnCommand
  std::vector<std::pair<TSmtpRequest, int>> Done;

  explicit SmtpRecorder(const std::string &port, const std::string &host = "127.0.0.1") {
    EnsureQtApp();
    Smtp.Host = host;
    Smtp.Port = port;
    Smtp.SignOn = "client.test";
    Smtp.OnDisplay = [this](TComponent *, const std::string &m) { Display.push_back(m); };
    Smtp.OnCommand = [this](TComponent *, const std::string &m) { Commands.push_back(m); };
    Smtp.OnRequestDone = [this](TComponent *, TSmtpRequest rq, uint16_t e) { Done.emplace_back(rq, e); };
    Smtp.OnGetData = [this](TComponent *, int32_t n, char *line, int32_t maxLen, bool &more) {
      more = n <= static_cast<int32_t>(Body.size());
      if (more) std::snprintf(line, static_cast<size_t>(maxLen) + 1, "%s", Body[n - 1].c_str());
    };
  }
  // Starts a request and waits for its completion; returns its error, -1 when none came.
  int Run(void (TSmtpCli::*op)()) {
    const size_t before = Done.size();
    (Smtp.*op)();
    if (!RunEventsUntil([&] { return Done.size() > before; })) return -1;
    return Done.back().second;
  }
  // Open, Mail, Quit: the error of the first step that failed.
  int SendMessage() {
    if (int e = Run(&TSmtpCli::Open)) return e;
    const int e = Run(&TSmtpCli::Mail);
    Run(&TSmtpCli::Quit);
    return e;
  }
  // Everything shown and every command, one a line.
  std::string AllTrace() const {
    std::string all;
    for (const auto *list : {&Display, &Commands})
      for (const std::string &t : *list) all += t + "\n";
    return all;
  }
};
