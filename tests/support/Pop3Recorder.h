#pragma once
// A TPop3Cli with every event recorded, and a way to run one request to its end.
#include "net/Pop3Prot.h"

#include <functional>
#include <string>
#include <vector>

struct Pop3Recorder {
  Pop3Recorder();

  TPop3Cli Cli;
  // Every event in order: "done <RqType> <Error>", "msg-begin", "msg <line>", "msg-end",
  // "list <MsgNum> <MsgSize>", "uidl <MsgNum> <MsgUidl>", "connected", "closed", ...
  std::vector<std::string> Events;
  std::vector<std::string> Trace;     // OnDisplay
  std::vector<std::string> Message;   // lines of the last RETR or TOP
  int DoneCount = 0;
  TPop3Request LastRq = pop3Connect;
  uint16_t LastError = 0;

  // Starts Op and runs the event loop until OnRequestDone arrives; returns its Error, or
  // 65535 when it never came.
  uint16_t Run(const std::function<void()> &Op, int LimitMs = 10000);
  void Point(const std::string &Host, const std::string &Port, const std::string &User,
             const std::string &Password);
  // The message's lines joined with CR LF, as a file of it would hold them.
  std::string MessageText() const;
};
