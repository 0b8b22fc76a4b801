#pragma once
// Attachment files of received messages: their kind and their safe names.
#include <string>

// The image of an attachment's kind, from the first text of the table found anywhere in
// the lower-case name: 8 picture, 4 sound, 6 video, 5 program or archive, 2 web page,
// 9 text, 7 other.
int AttachmentCategory(const std::string &fileName);

// A name from a stranger's message reduced to a plain base name that stays inside its
// folder: no directory parts (either slash), no control characters, no leading dots, no
// "." or "..", at most 200 bytes. Empty: "attachment" + number.
std::string SafeAttachmentName(const std::string &name, int number);
