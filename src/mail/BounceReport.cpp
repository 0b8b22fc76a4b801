#include "mail/BounceReport.h"

#include "storage/Strings.h"

namespace {
// Header fields of one block (a message header, a part header or a recipient's group of
// a delivery status), unfolded, in order.
struct TField {
  std::string Name, Value;
};

// Reads fields from `at` up to the first empty line or boundary line; `at` ends after it.
std::vector<TField> ReadFields(const std::vector<std::string> &lines, size_t &at, const std::string &delimiter) {
  std::vector<TField> fields;
  for (; at < lines.size(); ++at) {
    const std::string &line = lines[at];
    if (line.empty()) {
      ++at;
      break;
    }
    if (!delimiter.empty() && StartsText(delimiter, line)) break;
    if ((line[0] == ' ' || line[0] == '\t') && !fields.empty()) {
      fields.back().Value += " " + Trim(line);
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    fields.push_back({Trim(line.substr(0, colon)), Trim(line.substr(colon + 1))});
  }
  return fields;
}

std::string Field(const std::vector<TField> &fields, const char *name) {
  for (const TField &f : fields)
    if (SameText(f.Name, name)) return f.Value;
  return {};
}

// A parameter of a header value such as `multipart/report; boundary="x"`, unquoted.
std::string Parameter(const std::string &value, const std::string &name) {
  const std::string lower = LowerCase(value);
  size_t at = 0;
  while ((at = lower.find(name + "=", at)) != std::string::npos) {
    if (at == 0 || lower[at - 1] == ';' || lower[at - 1] == ' ' || lower[at - 1] == '\t') break;
    ++at;
  }
  if (at == std::string::npos) return {};
  std::string v = value.substr(at + name.size() + 1);
  if (!v.empty() && v[0] == '"') {
    const size_t close = v.find('"', 1);
    return v.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  return Trim(v.substr(0, v.find(';')));
}

// "rfc822; <user@host>" gives "user@host".
std::string RecipientAddress(const std::string &value) {
  const size_t semicolon = value.find(';');
  std::string a = Trim(semicolon == std::string::npos ? value : value.substr(semicolon + 1));
  if (a.size() >= 2 && a.front() == '<' && a.back() == '>') a = a.substr(1, a.size() - 2);
  return a;
}

bool IsPermanentFailure(const std::vector<TField> &group) {
  return SameText(Field(group, "Action"), "failed") && Field(group, "Status").rfind("5.", 0) == 0;
}
}  // namespace

std::string TranscriptAddress(const std::vector<std::string> &lines, bool *found) {
  *found = false;
  for (const std::string &line : lines) {
    if (line.find(">>>") == std::string::npos || line.find('@') == std::string::npos) continue;
    *found = true;
    const std::string rest = line.substr(3);
    const size_t open = rest.find('<');
    const size_t close = rest.find('>');
    // Brackets in the wrong order give nothing rather than a piece of the line.
    if (open == std::string::npos || close == std::string::npos || close < open) return {};
    return rest.substr(open + 1, close - open - 1);
  }
  return {};
}

std::vector<std::string> FailedRecipients(const std::vector<std::string> &lines) {
  // The message header starts after the two UIDL trace lines of a stored message.
  size_t at = 0;
  while (at < lines.size() && (StartsText("> ", lines[at]) || StartsText("< ", lines[at]))) ++at;
  const std::string type = Field(ReadFields(lines, at, {}), "Content-Type");
  if (LowerCase(type).rfind("multipart/report", 0) != 0 ||
      LowerCase(Parameter(type, "report-type")) != "delivery-status")
    return {};
  const std::string boundary = Parameter(type, "boundary");
  if (boundary.empty()) return {};
  const std::string delimiter = "--" + boundary;
  std::vector<std::string> failed;
  while (at < lines.size()) {
    if (!StartsText(delimiter, lines[at++])) continue;
    const std::string partType = LowerCase(Field(ReadFields(lines, at, delimiter), "Content-Type"));
    if (partType.rfind("message/delivery-status", 0) != 0) continue;
    // The per-message group has no Final-Recipient, so every group can be read alike.
    while (at < lines.size() && !StartsText(delimiter, lines[at])) {
      const std::vector<TField> group = ReadFields(lines, at, delimiter);
      const std::string address = RecipientAddress(Field(group, "Final-Recipient"));
      if (IsPermanentFailure(group) && address.find('@') != std::string::npos) failed.push_back(address);
    }
    break;
  }
  return failed;
}
