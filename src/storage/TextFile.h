#pragma once
// Whole-file reading and crash-safe writing. Paths and contents are Windows-1252 bytes.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The path in the system's own encoding, for the system's file calls.
std::string NativePath(const std::string &path);

bool FileExists(const std::string &path);
bool DirectoryExists(const std::string &path);
// Creates the folder and any missing parents; true when it exists afterwards. Folders made
// in a private data folder are its owner's alone (see PrivateFiles.h).
bool ForceDirectories(const std::string &path);

// Reads the file's bytes; throws EFOpenError when it exists but cannot be read.
// A missing file reads as empty.
std::string ReadFileBytes(const std::string &path);
// The same for a file of records (profile files, address books): a NUL byte, which no
// record can hold, reads as a blank, so nothing after it is lost, and the file is reported
// once through the damaged-file handler.
std::string ReadRecordFile(const std::string &path);

// Replaces the file with the bytes atomically (temporary file, then rename), so a failed
// or interrupted save leaves the old content. Throws EFCreateError on failure.
// The temporary file is its owner's alone; the file gets the mode its kind calls for
// (FileAccessFor), or 0600 when `secret` is set.
void WriteFileAtomic(const std::string &path, const std::string &bytes, bool secret = false);
// The same for a file made of several pieces, written one after the other without joining
// them first: a large file with a little added costs no copy of it in memory.
void WriteFileAtomicParts(const std::string &path, const std::vector<std::string_view> &parts,
                          bool secret = false);

// Overwrites a scratch file in place (no crash-safe save), making it 0600 whether it is
// new or not: work files hold a recipient's merged data. Throws EFCreateError.
void WritePrivateFile(const std::string &path, const std::string &bytes);

// Appends bytes to a log-like file, creating it (with the mode of its kind) when missing.
// Throws EFCreateError.
void AppendToFile(const std::string &path, const std::string &bytes);

// Splits text into lines at CR LF, a lone CR or a lone LF; a NUL byte is kept in its line.
// A final line end does not start another line.
std::vector<std::string> SplitLines(const std::string &text);
// The same lines as views into the text, which must outlive them.
std::vector<std::string_view> SplitLineViews(std::string_view text);
// Calls f with each of those lines in turn, holding none of them.
template <class F> void ForEachLine(std::string_view text, F &&f) {
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

// Called once per file (per run) that held damaged bytes; the window says so in its status
// line. Without a handler nothing is reported.
using TDamagedFileHandler = std::function<void(const std::string &path)>;
void SetDamagedFileHandler(TDamagedFileHandler handler);
// The status text for such a file.
std::string DamagedFileText(const std::string &path);
