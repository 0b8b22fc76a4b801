#include "mail/MessageForm.h"

#include "lists/ListRecord.h"
#include "net/MimeEncode.h"
#include "storage/Ansi.h"
#include "storage/TextCharset.h"
#include "storage/Strings.h"

namespace {
// One text part: its header lines and its lines, encoded.
TMessageForm TextPart(const std::string &type, const std::vector<std::string> &lines) {
  TMessageForm part;
  const bool sevenBit = IsSevenBitText(lines);
  part.BodyHeaders = {"Content-Type: " + type + "; charset=\"" + kTextCharset + "\"",
                      std::string("Content-Transfer-Encoding: ") + (sevenBit ? "7bit" : "quoted-printable")};
  part.Lines = sevenBit ? lines : QuotedPrintableLines(lines);
  return part;
}

std::string Domain(const std::string &address) {
  const std::string bare = BareAddress(address);
  const size_t at = bare.rfind('@');
  return at == std::string::npos ? std::string() : bare.substr(at + 1);
}

// A mailto query value: everything but unreserved characters percent-encoded, as UTF-8.
std::string MailtoEncode(const std::string &text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : AnsiToQString(text).toUtf8().toStdString()) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      out += ch;
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

bool UsableAddress(const std::string &address) {
  const std::string a = BareAddress(address);
  return a.find('@') != std::string::npos && CompareText(a, kUnsubscribePlaceholder) != 0 &&
         a.find_first_of(" <>\"") == std::string::npos;
}
}  // namespace

std::string AttachmentType(const std::string &fileName) {
  static const std::pair<const char *, const char *> kTypes[] = {
      {".pdf", "application/pdf"}, {".jpg", "image/jpeg"},   {".jpeg", "image/jpeg"}, {".png", "image/png"},
      {".gif", "image/gif"},       {".txt", "text/plain"},   {".htm", "text/html"},   {".html", "text/html"},
      {".rtf", "application/rtf"}, {".zip", "application/zip"}, {".csv", "text/csv"},
      {".doc", "application/msword"},
      {".docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
      {".xls", "application/vnd.ms-excel"},
      {".xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
      {".odt", "application/vnd.oasis.opendocument.text"}};
  const std::string ext = ExtractFileExt(fileName);
  for (const auto &[e, type] : kTypes)
    if (SameText(ext, e)) return type;
  return "application/octet-stream";
}

TMessageForm BuildMessageForm(const TDigest &digest) {
  if (digest.ContentType != TDigestContent::dcHTML) return TextPart("text/plain", digest.Lines);
  TMessageForm form;
  const std::string boundary = NewBoundary();
  form.BodyHeaders = {"Content-Type: multipart/alternative;\r\n\tboundary=\"" + boundary + "\""};
  TMessageForm parts[] = {TextPart("text/plain", digest.TextLines), TextPart("text/html", digest.Lines)};
  size_t size = 1;
  for (const TMessageForm &part : parts) size += part.BodyHeaders.size() + part.Lines.size() + 2;
  form.Lines.reserve(size);
  // The parts' lines are moved: a run makes one message per recipient.
  for (TMessageForm &part : parts) {
    form.Lines.push_back("--" + boundary);
    form.Lines.insert(form.Lines.end(), part.BodyHeaders.begin(), part.BodyHeaders.end());
    form.Lines.emplace_back();
    form.Lines.insert(form.Lines.end(), std::make_move_iterator(part.Lines.begin()),
                      std::make_move_iterator(part.Lines.end()));
  }
  form.Lines.push_back("--" + boundary + "--");
  return form;
}

std::string ListUnsubscribeValue(const TUnsubscribeSettings &s, const std::string &listFrom) {
  if (s.RemoveTo && UsableAddress(s.RemoveToAddress)) return "<mailto:" + BareAddress(s.RemoveToAddress) + ">";
  if (s.RemoveSub && !Trim(s.RemoveSubAddress).empty() && UsableAddress(listFrom))
    return "<mailto:" + BareAddress(listFrom) + "?subject=" + MailtoEncode(Trim(s.RemoveSubAddress)) + ">";
  return {};
}

std::string ListIdValue(const std::string &listName, const std::string &listFrom) {
  std::string label;
  for (const char ch : listName) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) label += ch;
    else if (c >= 'A' && c <= 'Z') label += static_cast<char>(c - 'A' + 'a');
    else if (!label.empty() && label.back() != '-') label += '-';
  }
  while (!label.empty() && label.back() == '-') label.pop_back();
  if (label.empty()) label = "list";
  std::string domain = Domain(listFrom);
  if (domain.empty() || domain.find_first_of(" <>\"") != std::string::npos) domain = "localhost";
  return MailboxText(listName, label + "." + domain, kTextCharset, 9);
}
