#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace pellandrix::testkit {

// A fresh folder under the system's temporary directory, removed with all
// its content when the object goes out of scope.
class TempDir {
  public:
    TempDir();
    // The same under `base` instead of the system's temporary directory.
    explicit TempDir(const std::filesystem::path& base);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Path of `name` inside the folder, as a string.
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// Changes the process's current directory for the lifetime of the object and
// restores the previous one afterwards.
class ScopedCurrentDir {
  public:
    explicit ScopedCurrentDir(const std::filesystem::path& dir);
    ~ScopedCurrentDir();
    ScopedCurrentDir(const ScopedCurrentDir&) = delete;
    ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

  private:
    std::filesystem::path previous_;
};

// Sets an environment variable (unsets it for a null `value`) for the
// lifetime of the object and puts the previous state back afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value);
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace pellandrix::testkit
