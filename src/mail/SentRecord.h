#pragma once
// The copy of a sent newsletter filed in a list's Sent folder, with its record in the
// folder index "Sent.dat".
#include <string>
#include <vector>

struct TSentMessage {
  std::string Subject;                   // the subject box
  std::string Addresses;                 // the recipients as collected, each followed by ","
  std::string DateText;                  // date and time of sending
  std::vector<std::string> Attachments;  // the attached files, in list order
  std::vector<std::string> Lines;        // the message lines as sent
};

// Writes the Sent file of `listFolder` (ends with "/") and its "Sent.dat" record; returns
// the file's full path. Throws EFCreateError when the file or the index cannot be written.
std::string RecordSentMessage(const std::string &listFolder, const TSentMessage &message);

// Plain paragraphs as a rich-text document, one paragraph per line.
std::string PlainLinesToRtf(const std::vector<std::string> &lines);

// Line breaks of a one-line text (a subject, a recipient text typed over several lines)
// become blanks, so that they cannot start a new header line or a new index entry.
std::string JoinTextLines(const std::string &text);
