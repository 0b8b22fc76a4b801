#pragma once
// The charset every message, HTML page and encoded word the program writes declares: the
// bytes of core text (Windows-1252) as they are.
inline constexpr const char *kTextCharset = "windows-1252";
