#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "engine/run_view.h"
#include "support/message_service.h"

namespace pellandrix::bench {

// Answers every message at once and shows nothing, so that a benchmark
// measures the run alone.
class SilentPresenter : public IMessagePresenter {
  public:
    MessageAnswer Present(MessageKind, const std::string&, ButtonStyle) override {
        return MessageAnswer::Ok;
    }
};

// A run view that shows nothing.
struct NoView : IRunView {
    void RefreshRowStatus(int) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
};

// A new project folder under the temporary folder with empty src/ and out/,
// its name starting with `prefix`; removed with the object.
class TempProjectFolder {
  public:
    explicit TempProjectFolder(const std::string& prefix) {
        std::string dir = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX"));
        if (::mkdtemp(dir.data()) == nullptr) {
            throw std::filesystem::filesystem_error("mkdtemp", std::error_code());
        }
        path_ = dir;
        std::filesystem::create_directory(path_ / "src");
        std::filesystem::create_directory(path_ / "out");
    }
    ~TempProjectFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempProjectFolder(const TempProjectFolder&) = delete;
    TempProjectFolder& operator=(const TempProjectFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace pellandrix::bench
