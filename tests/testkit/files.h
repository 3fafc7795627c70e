#pragma once

#include <string>

namespace pellandrix::testkit {

// Writes `bytes` to `path` exactly as given (no line-end translation),
// creating or replacing the file. Throws on failure.
void WriteBytes(const std::string& path, const std::string& bytes);

// The whole content of `path` as bytes. Throws when it cannot be read.
std::string ReadBytes(const std::string& path);

// True when a file or directory exists at `path`.
bool Exists(const std::string& path);

}  // namespace pellandrix::testkit
