#pragma once
// Header texts and parameters as their senders encoded them: RFC 2047 encoded words and
// RFC 2231 extended parameters, decoded to bytes with the charset they are in. Turning
// those bytes into characters is the caller's business.
#include <string>
#include <string_view>
#include <vector>

struct TCharsetText {
  std::string Charset;  // lower case; empty for text that was not encoded
  std::string Bytes;
  bool operator==(const TCharsetText &) const = default;
};

// Splits a header text into plain runs and decoded encoded words ("=?charset?B|Q?...?=").
// Blanks between two encoded words are dropped; malformed words stay as plain text.
std::vector<TCharsetText> DecodeEncodedWords(std::string_view text);

// The value of the parameter `lowerName` ("filename", "name") among the parameters that
// follow a media type or a disposition. The extended forms (name*=charset'lang'%xx and the
// numbered pieces name*0*=, name*1=, ...) win over the plain one. Empty Bytes: not found.
TCharsetText MimeParameter(std::string_view params, const std::string &lowerName);
