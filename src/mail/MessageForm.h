#pragma once
// The form of a newsletter on the wire: the body's MIME structure and transfer encoding,
// and the list headers that let a reader's program unsubscribe.
#include "compose/AssembleMessage.h"

#include <string>
#include <vector>

// The body as the SMTP client sends it: the header lines that describe it (Content-Type,
// Content-Transfer-Encoding) and its lines, already encoded.
struct TMessageForm {
  std::vector<std::string> BodyHeaders;
  std::vector<std::string> Lines;
};

// Plain text as one text/plain part; HTML as multipart/alternative with the text/plain
// form first and the text/html part after it. Each part goes as 7bit when it can, else as
// quoted-printable, and declares the program's charset.
TMessageForm BuildMessageForm(const TDigest &digest);

// The media type of an attachment by its file name's extension; application/octet-stream
// for one not known. A declared type that fits the file keeps spam filters calm.
std::string AttachmentType(const std::string &fileName);

// The list's unsubscribe settings.
struct TUnsubscribeSettings {
  bool RemoveTo = false;
  std::string RemoveToAddress;
  bool RemoveSub = false;
  std::string RemoveSubAddress;
};

// "<mailto:...>": the list's unsubscribe address, or a message to the list's From address
// with the unsubscribe subject; "" when the list has neither (or only the placeholder).
std::string ListUnsubscribeValue(const TUnsubscribeSettings &settings, const std::string &listFrom);

// "Name" <name.domain>: the list's name and a label made of it at the From address's domain.
std::string ListIdValue(const std::string &listName, const std::string &listFrom);
