#pragma once
// What the user is told when a mailing run ends with failures: the counts, each failed
// address with the reason the server or the network gave, or, when no connection could be
// made at all, why.
#include <string>
#include <vector>

struct TFailedRecipient {
  std::string Address;
  std::string Reason;  // the server's reply line, or the error that failed the message
};

struct TMailingOutcome {
  int Sent = 0;
  int Failed = 0;
  std::vector<TFailedRecipient> Failures;  // in the order they failed
  bool Connected = false;                  // a session was opened at least once
  std::string Host;
  std::string ConnectError;                // why the last connection attempt failed
};

// How many failed addresses the report lists before it refers to the log.
constexpr int ReportedFailures = 20;

// The report text with CR LF line breaks; "" when nothing failed.
std::string FailureReport(const TMailingOutcome &outcome);
