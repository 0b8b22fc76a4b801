#pragma once
// What the retrieval run reads from a fetched message: its identifier from the traced UIDL
// reply, the few header values its Inbox record holds, and the name of its file.
#include <QLocale>

#include <string>
#include <vector>

// The identifier in a traced UIDL reply ("< +OK 12 abc" gives "abc"): the text after
// "< +OK ", the message number and the blanks after it. "" for a line without "< +OK ".
std::string MessageIdentifier(const std::string &traceLine);

// The values of one message as the Inbox record and list maintenance take them.
struct TMessageSummary {
  std::string RecordName;  // identifier from the first line beginning "< +OK"
  std::string To;          // first line beginning "To:", after the colon and its blanks
  std::string From, Subject, Date;  // the last such header line of the header
  bool Attachment = false;          // a "Content-Type: multipart/mixed" header line
};

// Scans the buffer of a fetched message (the two UIDL trace lines, then the message). The
// header ends at the first empty line; header names match with case, at the line start.
TMessageSummary SummarizeMessage(const std::vector<std::string> &lines);

// The message file's name for a moment: the day count since 30 December 1899 with its
// time as the fraction, in the locale's number format with exactly eight decimals, the
// first period removed, then ".dat".
std::string DayCountFileName(double days, const QLocale &locale);
