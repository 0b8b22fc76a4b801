#include "net/MimeEncode.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSysInfo>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {
const char kHex[] = "0123456789ABCDEF";

std::string Hex2(unsigned char c) { return {'=', kHex[c >> 4], kHex[c & 15]}; }

std::string Trim(const std::string &s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

bool IsPrintableAscii(const std::string &text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c < 0x20 && c != '\t') || c > 0x7E) return false;
  }
  return true;
}

// A word that must be encoded: bytes outside printable ASCII, or text that a reader would
// take for an encoded word of its own.
bool NeedsEncoding(const std::string &word) {
  return !IsPrintableAscii(word) || word.find("=?") != std::string::npos;
}

// One byte in the Q encoding of a header word: safe in a phrase and in unstructured text.
std::string QChar(unsigned char c) {
  if (c == ' ') return "_";
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!' || c == '*' ||
      c == '+' || c == '-' || c == '/')
    return std::string(1, static_cast<char>(c));
  return Hex2(c);
}

// `text` as encoded words joined by folds; the first word fits after `used` characters.
std::string EncodedWords(const std::string &text, const std::string &charset, size_t used) {
  const std::string open = "=?" + charset + "?Q?";
  const std::string close = "?=";
  std::string out, word;
  size_t room = (used < 76 ? 76 - used : 0);
  auto flush = [&] {
    if (word.empty()) return;
    if (!out.empty()) out += "\r\n ";
    out += open + word + close;
    word.clear();
    room = 75;  // a folded line starts with its blank
  };
  for (const char ch : text) {
    const std::string q = QChar(static_cast<unsigned char>(ch));
    // A word is at most 75 characters and stays on a line of at most 76.
    const size_t limit = std::min<size_t>(75, room);
    if (!word.empty() && open.size() + word.size() + q.size() + close.size() > limit) flush();
    word += q;
  }
  flush();
  return out;
}

bool IsAttributeChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("!#$&+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string RandomHex(int bytes) {
  // One request to the system's source for all the bytes: each one is a system call.
  quint32 words[8] = {};
  const int count = std::min<int>((bytes + 3) / 4, 8);
  QRandomGenerator::system()->fillRange(words, count);
  std::string out;
  for (int i = 0; i < bytes && i < count * 4; ++i) {
    const auto b = static_cast<unsigned char>(words[i / 4] >> (8 * (i % 4)));
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

std::atomic<unsigned> gSerial{0};
}  // namespace

bool IsSevenBitText(const std::vector<std::string> &lines) {
  for (const std::string &line : lines) {
    if (line.size() > kMaxMailLine) return false;
    for (const char ch : line) {
      const auto c = static_cast<unsigned char>(ch);
      if (c == 0 || c >= 0x80 || c == '\r' || c == '\n') return false;
    }
  }
  return true;
}

std::vector<std::string> QuotedPrintableLines(const std::vector<std::string> &lines) {
  std::vector<std::string> out;
  out.reserve(lines.size() + lines.size() / 4);
  std::string cur;
  cur.reserve(80);
  for (const std::string &line : lines) {
    cur.clear();
    const size_t n = line.size();
    for (size_t i = 0; i < n; ++i) {
      const auto c = static_cast<unsigned char>(line[i]);
      const bool last = i + 1 == n;
      // A blank at the end of a line would be lost in transport, so it is encoded.
      const bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last);
      // 75 characters and the "=" of the soft break make the longest line.
      if (cur.size() + (literal ? 1 : 3) > (last ? 76u : 75u)) {
        cur += '=';
        out.push_back(cur);
        cur.clear();
      }
      if (literal) {
        cur += static_cast<char>(c);
      } else {
        cur += '=';
        cur += kHex[c >> 4];
        cur += kHex[c & 15];
      }
    }
    out.push_back(cur);
  }
  return out;
}

std::string EncodeHeaderText(const std::string &text, const std::string &charset, size_t used) {
  if (!NeedsEncoding(text)) return text;
  // Plain words before the first word that needs encoding and after the last stay plain.
  size_t first = 0;
  while (first < text.size()) {
    const size_t end = std::min(text.find(' ', first), text.size());
    if (NeedsEncoding(text.substr(first, end - first))) break;
    first = end + 1;
  }
  size_t last = text.size();
  while (last > first) {
    const size_t blank = text.rfind(' ', last - 1);
    const size_t start = blank == std::string::npos || blank < first ? first : blank + 1;
    if (NeedsEncoding(text.substr(start, last - start))) break;
    if (start == first) break;
    last = blank;
  }
  if (first > text.size()) first = text.size();
  const std::string head = text.substr(0, first);
  const std::string tail = text.substr(last);
  const std::string encoded = text.substr(first, last - first);
  // Too little room left after the plain words for a useful encoded word: fold at their
  // last blank, so the first encoded word starts a line of its own.
  const size_t overhead = charset.size() + 7;
  if (!head.empty() && used + head.size() + overhead + 12 > 76)
    return head.substr(0, head.size() - 1) + "\r\n " + EncodedWords(encoded, charset, 1) + tail;
  std::string out = head + EncodedWords(encoded, charset, used + head.size());
  // The blank that starts the tail separates it from the last encoded word.
  return out + tail;
}

std::string MailboxText(const std::string &name, const std::string &address, const std::string &charset,
                        size_t used) {
  const std::string n = Trim(name);
  const std::string a = BareAddress(address);
  if (n.empty()) return a;
  std::string phrase;
  if (!IsPrintableAscii(n) || n.find("=?") != std::string::npos) {
    phrase = EncodedWords(n, charset, used);
  } else {
    phrase = "\"";
    for (const char c : n) {
      if (c == '"' || c == '\\') phrase += '\\';
      phrase += c;
    }
    phrase += "\"";
  }
  return phrase + " <" + a + ">";
}

std::string BareAddress(const std::string &mailbox) {
  const size_t open = mailbox.find('<');
  const size_t close = open == std::string::npos ? std::string::npos : mailbox.find('>', open);
  if (close != std::string::npos) return Trim(mailbox.substr(open + 1, close - open - 1));
  return Trim(mailbox);
}

std::string NewMessageId(const std::string &fromAddress) {
  const std::string address = BareAddress(fromAddress);
  const size_t at = address.rfind('@');
  std::string domain = at == std::string::npos ? std::string() : Trim(address.substr(at + 1));
  if (domain.empty() || !IsPrintableAscii(domain) || domain.find_first_of(" <>[]\"") != std::string::npos)
    domain = QSysInfo::machineHostName().toStdString();
  if (domain.empty()) domain = "localhost";
  char serial[16];
  std::snprintf(serial, sizeof serial, "%u", ++gSerial);
  return "<" + QDateTime::currentDateTimeUtc().toString("yyyyMMddhhmmss").toStdString() + "." + serial + "." +
         RandomHex(8) + "@" + domain + ">";
}

std::string NewBoundary() {
  char serial[16];
  std::snprintf(serial, sizeof serial, "%u", ++gSerial);
  return "=_Brevant_" + RandomHex(10) + "_" + serial;
}

std::string PlainFallbackName(const std::string &name) {
  std::string out;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    out += (c < 0x20 || c > 0x7E || c == '"' || c == '\\') ? '_' : ch;
  }
  return out;
}

std::vector<std::string> AttachmentHeaderLines(const std::string &type, const std::string &name,
                                               const std::string &fileName, const std::string &charset) {
  std::vector<std::string> lines = {"Content-Type: " + type + ";", "\tname=\"" + PlainFallbackName(name) + "\"",
                                    "Content-Transfer-Encoding: base64", "Content-Disposition: attachment;"};
  const std::string plain = PlainFallbackName(fileName);
  if (plain != fileName) {
    // The extended name in pieces short enough for a line each; no piece splits a "%XX".
    std::vector<std::string> pieces{charset + "''"};
    for (const char ch : fileName) {
      const auto c = static_cast<unsigned char>(ch);
      std::string token = IsAttributeChar(c) ? std::string(1, ch) : std::string{'%', kHex[c >> 4], kHex[c & 15]};
      if (pieces.back().size() + token.size() > 60) pieces.emplace_back();
      pieces.back() += token;
    }
    // Readers take "filename" and "filename*" for the same parameter: the plain fallback
    // is the type's name parameter.
    for (size_t i = 0; i < pieces.size(); ++i)
      lines.push_back("\tfilename*" + (pieces.size() == 1 ? std::string() : std::to_string(i) + "*") + "=" +
                      pieces[i] + (i + 1 < pieces.size() ? ";" : ""));
    return lines;
  }
  lines.push_back("\tfilename=\"" + plain + "\"");
  return lines;
}
