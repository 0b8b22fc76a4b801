#include "mail/ReplyTexts.h"

#include "storage/Strings.h"

std::string ReplySubject(const std::string &subject) {
  if (UpperCase(subject).find("RE: ") != std::string::npos) return subject;
  return "Re: " + subject;
}

std::string ForwardSubject(const std::string &subject) { return "Fwd: " + subject; }

std::string ReplyRecipient(const std::string &from) {
  const size_t open = from.find('(');
  const size_t close = from.find(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return from;
  return from.substr(0, open) + from.substr(close + 1);
}

std::string ReplyQuote(const std::string &date, const std::string &selected) {
  return "In a message dated " + date + ", you wrote:\r\n\r\n<<" + selected + ">>";
}

std::string ReplyHtmlQuote(const std::string &date, const std::vector<std::string> &lines) {
  std::string text = "\r\n\r\nOriginal message dated " + date + ":\r\n" + std::string(54, '-') + "\r\n";
  for (const std::string &line : lines) text += "<   " + line + "\r\n";
  return text;
}

std::string ForwardText(const std::string &text) {
  return "\r\n\r\n-----------------Forwarded Message-----------------\r\n" + text;
}
