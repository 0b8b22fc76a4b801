#pragma once
#include <stdexcept>
#include <string>

// A file that exists but cannot be read.
class EFOpenError : public std::runtime_error {
public:
  explicit EFOpenError(const std::string &path) : std::runtime_error("Cannot open file " + path) {}
};

// A file that cannot be created or replaced.
class EFCreateError : public std::runtime_error {
public:
  explicit EFCreateError(const std::string &path) : std::runtime_error("Cannot create file " + path) {}
};
