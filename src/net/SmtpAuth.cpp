#include "net/SmtpAuth.h"

#include "net/MD5.h"

#include <QByteArray>

#include <cctype>

namespace {

std::string Upper(std::string s) {
  for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> Words(const std::string &s) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (c == ' ' || c == '\t' || c == '=' || c == '\r' || c == '\n') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

// A whole decimal number that fits; -1 otherwise.
int64_t Number(const std::string &s) {
  if (s.empty() || s.size() > 18) return -1;
  int64_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::string Md5Raw(const std::string &data) {
  TMD5Context ctx;
  ctx.Update(data);
  const auto d = ctx.Final();
  return std::string(reinterpret_cast<const char *>(d.data()), d.size());
}

}  // namespace

TSmtpCapabilities ParseEhloReply(const std::vector<std::string> &lines) {
  TSmtpCapabilities caps;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string &l = lines[i];
    // "250-KEYWORD params" or "250 KEYWORD params"; anything else is not a capability line.
    if (l.size() < 4 || l.compare(0, 3, "250") != 0 || (l[3] != '-' && l[3] != ' ')) continue;
    const std::vector<std::string> w = Words(l.substr(4));
    if (w.empty()) continue;
    const std::string key = Upper(w[0]);
    if (key == "STARTTLS") {
      caps.StartTls = true;
    } else if (key == "SIZE") {
      caps.Size = true;
      if (w.size() > 1 && Number(w[1]) > 0) caps.MaxSize = Number(w[1]);
    } else if (key == "PIPELINING") {
      caps.Pipelining = true;
    } else if (key == "AUTH") {
      for (size_t k = 1; k < w.size(); ++k) caps.Auth.insert(Upper(w[k]));
    }
  }
  return caps;
}

TSmtpAuthMech ChooseSmtpAuth(const TSmtpCapabilities &caps, bool overTls) {
  const bool plain = caps.Auth.count("PLAIN") > 0, login = caps.Auth.count("LOGIN") > 0,
             cram = caps.Auth.count("CRAM-MD5") > 0;
  if (!overTls && cram) return smtpAuthCramMd5;
  if (plain) return smtpAuthPlain;
  if (login) return smtpAuthLogin;
  if (cram) return smtpAuthCramMd5;
  return smtpAuthNone;
}

const char *SmtpAuthName(TSmtpAuthMech mech) {
  switch (mech) {
    case smtpAuthPlain: return "PLAIN";
    case smtpAuthLogin: return "LOGIN";
    case smtpAuthCramMd5: return "CRAM-MD5";
    case smtpAuthNone: break;
  }
  return "";
}

std::string Base64Text(const std::string &bytes) {
  return QByteArray::fromStdString(bytes).toBase64().toStdString();
}

std::string AuthPlainResponse(const std::string &user, const std::string &password) {
  return Base64Text(std::string(1, '\0') + user + std::string(1, '\0') + password);
}

std::string HmacMd5Hex(const std::string &key, const std::string &text) {
  std::string k = key.size() > 64 ? Md5Raw(key) : key;
  k.resize(64, '\0');
  std::string inner(64, '\0'), outer(64, '\0');
  for (size_t i = 0; i < 64; ++i) {
    inner[i] = static_cast<char>(k[i] ^ 0x36);
    outer[i] = static_cast<char>(k[i] ^ 0x5c);
  }
  return MD5Hex(outer + Md5Raw(inner + text));
}

std::string CramMd5Response(const std::string &user, const std::string &password, const std::string &challenge64) {
  const std::string challenge = QByteArray::fromBase64(QByteArray::fromStdString(challenge64)).toStdString();
  return Base64Text(user + " " + HmacMd5Hex(password, challenge));
}
