#pragma once
// The texts with which a reply or a forward of a received message starts.
#include <string>
#include <vector>

// The subject as it stands when it holds "re: " in any letter case, else "Re: " + subject.
std::string ReplySubject(const std::string &subject);
std::string ForwardSubject(const std::string &subject);
// The From text without its first parenthesised part (a comment name), when it has both
// parentheses in that order.
std::string ReplyRecipient(const std::string &from);
// A reply quoting the selected text of a message.
std::string ReplyQuote(const std::string &date, const std::string &selected);
// A reply to an HTML message: every line of the message view quoted with "<   ", under a
// dated line and a rule.
std::string ReplyHtmlQuote(const std::string &date, const std::vector<std::string> &lines);
// A forward: the marker line with two empty lines above it, then the text.
std::string ForwardText(const std::string &text);
