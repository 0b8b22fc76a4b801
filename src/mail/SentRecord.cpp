#include "mail/SentRecord.h"

#include "compose/RtfWriter.h"
#include "mail/FolderIndex.h"
#include "storage/FileErrors.h"
#include "storage/FileNames.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

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
  TRichDocument doc;
  for (const std::string &line : lines) {
    TRichParagraph paragraph;
    if (!line.empty()) paragraph.Runs.push_back(TRichRun{line});
    doc.Paragraphs.push_back(std::move(paragraph));
  }
  return WriteRtf(doc);
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

  const std::string folder = MailFolderDir(listFolder, TMailFolder::mfSent);
  if (!ForceDirectories(folder)) throw EFCreateError(folder);
  const std::string path = MakeUniquePath(folder + StripFileNameChars(subject.substr(0, 25) + ".rtf"));
  WriteFileAtomic(path, PlainLinesToRtf(lines));

  TFolderRecord record;
  record.Name = ExtractFileName(path);
  record.Attachment = !message.Attachments.empty();
  record.From = addresses;
  record.Subject = subject;
  record.Date = message.DateText;
  record.Received = true;
  record.Viewed = true;
  record.FileName = path;
  TFolderIndex(listFolder, TMailFolder::mfSent).Write(record);
  return path;
}
