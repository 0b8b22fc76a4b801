#include "mail/SentRecord.h"

#include "storage/FileErrors.h"
#include "storage/IniFiles32.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <cstdio>

namespace {
// Characters that may not appear in a file name are deleted; nothing else changes.
std::string StripFileNameChars(const std::string &text) {
  std::string out;
  for (char c : text)
    if (std::string(":/\\*?\"<>|").find(c) == std::string::npos) out += c;
  return out;
}

// A file path in the folder of `path` that does not exist yet: the counter goes directly
// before the first dot of the name ("News.rtf", "News1.rtf", "News2.rtf", ...).
std::string MakeUniqueFilePath(const std::string &path) {
  const std::string folder = ExtractFilePath(path);
  const std::string name = StripFileNameChars(ExtractFileName(path));
  const size_t dot = name.find('.');
  std::string candidate = name;
  for (int n = 1; FileExists(folder + candidate); ++n)
    candidate = dot == std::string::npos ? name + std::to_string(n)
                                         : name.substr(0, dot) + std::to_string(n) + name.substr(dot);
  return folder + candidate;
}
}  // namespace

std::string JoinTextLines(const std::string &text) {
  std::string out;
  bool inBreak = false;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (!inBreak) out += ' ';
      inBreak = true;
    } else {
      out += c;
      inBreak = false;
    }
  }
  return out;
}

std::string PlainLinesToRtf(const std::vector<std::string> &lines) {
  std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil Tahoma;}}"
                    "{\\colortbl\\red0\\green0\\blue0;}\r\n\\f0\\fs20 ";
  for (const std::string &line : lines) {
    for (unsigned char c : line) {
      if (c == '\\' || c == '{' || c == '}') {
        rtf += '\\';
        rtf += static_cast<char>(c);
      } else if (c == '\t') {
        rtf += "\\tab ";
      } else if (c >= 0x80 || c < 0x20) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\'%02x", c);
        rtf += hex;
      } else {
        rtf += static_cast<char>(c);
      }
    }
    rtf += "\\par\r\n";
  }
  return rtf + "}\r\n";
}

std::string RecordSentMessage(const std::string &listFolder, const TSentMessage &message) {
  const std::string subject = JoinTextLines(message.Subject);
  const std::string addresses = JoinTextLines(message.Addresses);
  std::vector<std::string> lines = {
      "Subject: " + subject,
      "To: " + (addresses.empty() ? addresses : addresses.substr(0, addresses.size() - 1)),
      "Date: " + message.DateText};
  for (auto it = message.Attachments.rbegin(); it != message.Attachments.rend(); ++it)
    lines.push_back("Attachment: " + *it);
  lines.push_back("");
  lines.insert(lines.end(), message.Lines.begin(), message.Lines.end());

  const std::string folder = listFolder + "Sent/";
  if (!ForceDirectories(folder)) throw EFCreateError(folder);
  const std::string path = MakeUniqueFilePath(folder + StripFileNameChars(subject.substr(0, 25) + ".rtf"));
  WriteFileAtomic(path, PlainLinesToRtf(lines));

  TIniFile32 index(listFolder + "Sent.dat");
  const std::string record = ExtractFileName(path);
  index.BeginUpdate();
  index.WriteBool(record, "Attachment", !message.Attachments.empty());
  index.WriteString(record, "From", addresses);
  index.WriteString(record, "Subject", subject);
  index.WriteString(record, "Date", message.DateText);
  index.WriteBool(record, "Received", true);
  index.WriteBool(record, "Viewed", true);
  index.WriteString(record, "FileName", path);
  index.EndUpdate();
  return path;
}
