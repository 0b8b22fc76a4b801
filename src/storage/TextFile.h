#pragma once
// Whole-file reading and crash-safe writing. Paths and contents are Windows-1252 bytes.
#include <string>
#include <string_view>
#include <vector>

// The path in the system's own encoding, for the system's file calls.
std::string NativePath(const std::string &path);

bool FileExists(const std::string &path);
bool DirectoryExists(const std::string &path);
// Creates the folder and any missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string &path);

// Reads the file's bytes; throws EFOpenError when it exists but cannot be read.
// A missing file reads as empty.
std::string ReadFileBytes(const std::string &path);

// Replaces the file with the bytes atomically (temporary file, then rename), so a failed
// or interrupted save leaves the old content. Throws EFCreateError on failure.
// A private file is readable and writable by its owner only.
void WriteFileAtomic(const std::string &path, const std::string &bytes, bool privateFile = false);
// The same for a file made of several pieces, written one after the other without joining
// them first: a large file with a little added costs no copy of it in memory.
void WriteFileAtomicParts(const std::string &path, const std::vector<std::string_view> &parts,
                          bool privateFile = false);

// Appends bytes to a log-like file, creating it when missing. Throws EFCreateError.
void AppendToFile(const std::string &path, const std::string &bytes);

// Splits text into lines at CR LF, a lone CR or a lone LF; a NUL byte ends the text.
// A final line end does not start another line.
std::vector<std::string> SplitLines(const std::string &text);
// The same lines as views into the text, which must outlive them.
std::vector<std::string_view> SplitLineViews(std::string_view text);
// Calls f with each of those lines in turn, holding none of them.
template <class F> void ForEachLine(std::string_view text, F &&f) {
  text = text.substr(0, text.find('\0'));  // a NUL ends the text
  const char *p = text.data();
  const char *const end = p + text.size();
  while (p < end) {
    const char *q = p;
    while (q < end && *q != '\r' && *q != '\n') ++q;
    f(std::string_view(p, static_cast<size_t>(q - p)));
    if (q < end) q += (*q == '\r' && q + 1 < end && q[1] == '\n') ? 2 : 1;
    p = q;
  }
}

// Joins lines, each followed by CR LF.
std::string JoinLines(const std::vector<std::string> &lines);
std::string JoinLineViews(const std::vector<std::string_view> &lines);
