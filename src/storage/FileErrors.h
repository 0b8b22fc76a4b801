#pragma once
#include <stdexcept>
#include <string>

#include "storage/Strings.h"

// A file that exists but cannot be read. Paths are elided: a damaged value may be huge.
class EFOpenError : public std::runtime_error {
public:
  explicit EFOpenError(const std::string &path) : std::runtime_error("Cannot open file " + ElideMiddle(path)) {}
};

// A file that cannot be created or replaced.
class EFCreateError : public std::runtime_error {
public:
  explicit EFCreateError(const std::string &path) : std::runtime_error("Cannot create file " + ElideMiddle(path)) {}
};
