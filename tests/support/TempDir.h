#pragma once
// A fresh temporary folder per test, removed at the end; paths end with '/'.
#include <QTemporaryDir>
#include <string>

class TempDir {
public:
  TempDir();
  // The folder, with a trailing slash, as the program's data directory would be given.
  const std::string &Path() const { return path_; }
  std::string File(const std::string &name) const { return path_ + name; }
  bool IsValid() const { return dir_.isValid(); }

private:
  QTemporaryDir dir_;
  std::string path_;
};

// Reads a whole file as bytes (empty when missing).
std::string ReadAll(const std::string &path);
// Writes bytes to a file, replacing it.
void WriteAll(const std::string &path, const std::string &bytes);
