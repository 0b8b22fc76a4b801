#pragma once
// Turning texts into file and folder names that are safe and not yet taken.
#include <string>

// Deletes every colon, slash, backslash, asterisk, question mark, double quote, less-than
// and greater-than sign and vertical bar; nothing else changes.
std::string StripFileNameChars(const std::string &text);

// A path that does not exist yet, made from `path` (directory part ending in '/').
// A name without a dot is a folder and gets 1, 2, ... appended; a name with a dot is a file
// and gets the counter inserted before its first dot. Any existing entry, file or folder,
// counts as taken, so a folder is never handed out where a file stands and vice versa.
std::string MakeUniquePath(const std::string &path);
