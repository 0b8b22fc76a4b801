#pragma once
// Writing many small files fast and making them durable together: retrieval files each
// message without waiting for the disk, then waits once before anything that relies on
// them (the record of their identifiers, the QUIT that deletes them from the server).
#include <string>

// Writes a file that does not exist yet under a temporary name and renames it into place,
// so the name never shows a part of it. Does not wait for the disk. Throws EFCreateError.
void WriteNewFile(const std::string &path, const std::string &bytes);
// Appends without waiting for the disk. Throws EFCreateError.
void AppendQuickly(const std::string &path, const std::string &bytes);
// Appends and waits until the bytes are on disk. Throws EFCreateError.
void AppendDurably(const std::string &path, const std::string &bytes);
// Waits until everything written to the file system that holds `dir` is on disk.
// Throws EFCreateError.
void SyncFileSystem(const std::string &dir);
