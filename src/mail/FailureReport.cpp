#include "mail/FailureReport.h"

#include <algorithm>

std::string FailureReport(const TMailingOutcome &o) {
  if (o.Failed <= 0) return {};
  const std::string failed = std::to_string(o.Failed) + (o.Failed == 1 ? " recipient" : " recipients");
  if (!o.Connected && o.Sent == 0 && !o.ConnectError.empty())
    return "No connection could be made to the SMTP server \"" + o.Host + "\": " + o.ConnectError +
           "\r\n\r\nNothing was sent; " + failed + " failed.";
  std::string text = std::to_string(o.Sent) + " messages sent successfully, " + failed + " failed:\r\n";
  const size_t shown = std::min(o.Failures.size(), static_cast<size_t>(ReportedFailures));
  for (size_t i = 0; i < shown; ++i) text += "\r\n" + o.Failures[i].Address + ": " + o.Failures[i].Reason;
  if (o.Failures.size() > shown)
    text += "\r\n\r\nand " + std::to_string(o.Failures.size() - shown) + " more; see the Mail Log";
  return text;
}
