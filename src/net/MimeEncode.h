#pragma once
// The sending side of MIME: quoted-printable bodies, RFC 2047 encoded words in headers,
// RFC 2231 parameters for attachment names, Message-IDs and boundaries. Pure functions on
// bytes; the charset named is the one the bytes are in.
#include <string>
#include <vector>

// Longest line a server must take, without its CR LF.
inline constexpr size_t kMaxMailLine = 998;

// Whether the lines can go as "7bit": every byte below 128 and not NUL, CR or LF, and no
// line longer than 998 bytes.
bool IsSevenBitText(const std::vector<std::string> &lines);

// The lines in quoted-printable, each at most 76 characters, soft breaks ("=" at the end)
// where a line is longer. Decoding gives back the same bytes, line for line.
std::vector<std::string> QuotedPrintableLines(const std::vector<std::string> &lines);

// A header value for "Name: value": unchanged when it is printable ASCII, otherwise the
// words from the first to the last that need it as RFC 2047 encoded words in `charset`,
// folded (CR LF and a blank) so that no line is longer than 76 characters. `used` is the
// length of the line before the value ("Subject: " is 9).
std::string EncodeHeaderText(const std::string &text, const std::string &charset, size_t used);

// "Pat Publisher" <pat@example.org>, the name encoded when it is not ASCII; the bare
// address when the name is blank.
std::string MailboxText(const std::string &name, const std::string &address, const std::string &charset,
                        size_t used);

// The address inside "Name <address>" or the text itself, trimmed.
std::string BareAddress(const std::string &mailbox);

// "<...@domain>", unique for every call; the domain is the one of `fromAddress` (this
// host's name when it has none).
std::string NewMessageId(const std::string &fromAddress);

// A boundary that no quoted-printable or base64 text can contain ("=_" cannot appear in
// either), unique for every call.
std::string NewBoundary();

// The MIME header lines of an attachment: the type with a `name` parameter, base64, and
// the disposition with `fileName`: an RFC 2231 parameter in `charset` when it is not plain
// ASCII (the type's name parameter is then its plain fallback), else a plain one.
std::vector<std::string> AttachmentHeaderLines(const std::string &type, const std::string &name,
                                               const std::string &fileName, const std::string &charset);

// `name` reduced to printable ASCII for a quoted parameter ("_" for each byte that is not).
std::string PlainFallbackName(const std::string &name);
