#include "support/write_ways.h"

#include <fcntl.h>

#include <system_error>
#include <utility>

#include "support/write_behind.h"

namespace pellandrix {

namespace {

using Next = CWriteWay::Next;

// Text handed to the writing thread at a time: large enough that handing
// over costs nothing next to writing, small enough to stay in the cache.
constexpr std::size_t kWriteBehindBlock = 256 * 1024;

// Hands a call on to `way`, which takes over from the caller. Returns the
// way that goes on after it.
template <typename Call>
Next HandOn(Next way, Call call) {
    Next after = call(*way);
    return after ? std::move(after) : std::move(way);
}

class CNoFileWay final : public CWriteWay {
  public:
    Next Write(std::string_view) override { return nullptr; }
    Next WriteAsIs(std::string_view) override { return nullptr; }
    Next Suspend() override { return nullptr; }
    Next Resume() override { return nullptr; }
    bool Commit(std::optional<std::string>&) override { return false; }
};

// After a failure: text is dropped, and the files so far stay until the
// writer is done with them, when the temporary one is removed.
class CBrokenWay final : public CWriteWay {
  public:
    CBrokenWay(CTemporaryFile file, CFileDescriptor device)
        : file_(std::move(file)), device_(std::move(device)) {}
    Next Write(std::string_view) override { return nullptr; }
    Next WriteAsIs(std::string_view) override { return nullptr; }
    // Gives up the temporary file's descriptor; a device stays open, as it
    // would unbroken.
    Next Suspend() override {
        file_.Close();
        return nullptr;
    }
    Next Resume() override { return nullptr; }
    bool Commit(std::optional<std::string>&) override { return false; }

  private:
    CTemporaryFile file_;
    CFileDescriptor device_;
};

Next Fail(SWriteTarget& target, CTemporaryFile file, CFileDescriptor device = CFileDescriptor()) {
    target.failed = true;
    return std::make_unique<CBrokenWay>(std::move(file), std::move(device));
}

CTemporaryFile MakeTemporaryFile(SWriteTarget& target) {
    CTemporaryFile file = target.placement->Make(target.place, target.mode);
    if (!file.Exists()) {
        target.failed = true;
        target.createFailed = true;
    }
    return file;
}

// Ends and closes `file` and puts it in place of the target. With
// `unlessSame`, a file holding exactly the target's bytes is not put in
// place: the target stays untouched, and the file is removed with the
// object.
bool PutInPlace(SWriteTarget& target, CTemporaryFile& file, bool unlessSame) {
    FileId id;
    const bool ended = file.End(&id);
    const bool closed = file.Close();
    if (!ended || !closed) {
        return false;
    }
    if (unlessSame) {
        const CFileDescriptor written(file.Place().Open(O_RDONLY | O_NONBLOCK));
        const CFileDescriptor old(target.place.Open(O_RDONLY | O_NONBLOCK));
        if (SameContent(written.Get(), old.Get())) {
            return true;
        }
    }
    if (!target.placement->PutInPlace(file, id, target.place)) {
        return false;
    }
    target.placedNew = true;
    return true;
}

// Text translated on this thread and written out by the bufferful.
class CBufferedWay : public CWriteWay {
  public:
    Next Write(std::string_view text) final {
        AppendTranslated(text_, text);
        return PassOn();
    }
    Next WriteAsIs(std::string_view bytes) final {
        text_.append(bytes);
        return PassOn();
    }

  protected:
    explicit CBufferedWay(std::string text) : text_(std::move(text)) {}
    // Writes out the text collected. Returns false when writing failed.
    bool Flush() {
        const bool ok = text_.empty() || WriteOut(text_);
        text_.clear();
        return ok;
    }
    virtual bool WriteOut(const std::string& bytes) = 0;
    // The way that goes on after a failed write.
    virtual Next Broken() = 0;

  private:
    Next PassOn() {
        if (text_.size() < kFileBufferSize || Flush()) {
            return nullptr;
        }
        return Broken();
    }

    std::string text_;
};

// A temporary file written on this thread: past the memory limit when no
// thread could be started, after text already in the file's form, and
// after a suspension.
class CTemporaryFileWay final : public CBufferedWay {
  public:
    CTemporaryFileWay(SWriteTarget& target, CTemporaryFile file, std::string text)
        : CBufferedWay(std::move(text)), target_(target), file_(std::move(file)) {}
    Next Suspend() override;
    Next Resume() override { return nullptr; }
    bool Commit(std::optional<std::string>&) override {
        if (!Flush()) {
            target_.failed = true;
            return false;
        }
        return PutInPlace(target_, file_, true);
    }

  private:
    bool WriteOut(const std::string& bytes) override { return file_.Write(bytes); }
    Next Broken() override { return Fail(target_, std::move(file_)); }

    SWriteTarget& target_;
    CTemporaryFile file_;
};

// Suspended: the temporary file is closed, and text written meanwhile
// waits in memory until the writer resumes.
class CSuspendedWay final : public CWriteWay {
  public:
    CSuspendedWay(SWriteTarget& target, CTemporaryFile file)
        : target_(target), file_(std::move(file)) {}
    Next Write(std::string_view text) override {
        AppendTranslated(text_, text);
        return nullptr;
    }
    Next WriteAsIs(std::string_view bytes) override {
        text_.append(bytes);
        return nullptr;
    }
    Next Suspend() override { return nullptr; }
    Next Resume() override {
        if (!file_.Reopen()) {
            return Fail(target_, std::move(file_));
        }
        return std::make_unique<CTemporaryFileWay>(target_, std::move(file_), std::move(text_));
    }
    // A writer still suspended has not got its text back into the file.
    bool Commit(std::optional<std::string>&) override { return false; }

  private:
    SWriteTarget& target_;
    CTemporaryFile file_;
    std::string text_;
};

Next CTemporaryFileWay::Suspend() {
    const bool flushed = Flush();
    file_.Close();
    if (!flushed) {
        return Fail(target_, std::move(file_));
    }
    return std::make_unique<CSuspendedWay>(target_, std::move(file_));
}

// Past the memory limit: the text is collected untranslated and posted to
// a thread of the writer's own (CWriteBehind), which translates and writes
// it into the temporary file.
class CWritingThreadWay final : public CWriteWay {
  public:
    CWritingThreadWay(SWriteTarget& target, CTemporaryFile file,
                      std::unique_ptr<CWriteBehind> behind)
        : target_(target), file_(std::move(file)), behind_(std::move(behind)) {}
    Next Write(std::string_view text) override {
        pending_.append(text);
        if (pending_.size() >= kWriteBehindBlock) {
            behind_->Post(pending_);
        }
        return nullptr;
    }
    // The thread translates everything it gets; text already in the file's
    // form goes on without it.
    Next WriteAsIs(std::string_view bytes) override {
        return HandOn(Stop(), [&](CWriteWay& way) { return way.WriteAsIs(bytes); });
    }
    Next Suspend() override {
        return HandOn(Stop(), [](CWriteWay& way) { return way.Suspend(); });
    }
    Next Resume() override { return nullptr; }
    bool Commit(std::optional<std::string>& committed) override {
        return Stop()->Commit(committed);
    }

  private:
    // Waits until the thread has written everything and ends it; the file
    // goes on being written on this thread.
    Next Stop() {
        if (!pending_.empty()) {
            behind_->Post(pending_);
        }
        const bool ok = behind_->Finish();
        file_.AddWritten(behind_->Written());
        behind_.reset();
        if (!ok) {
            return Fail(target_, std::move(file_));
        }
        return std::make_unique<CTemporaryFileWay>(target_, std::move(file_), std::string());
    }

    SWriteTarget& target_;
    CTemporaryFile file_;
    std::string pending_;
    // Last, so that the thread has ended before the file is closed.
    std::unique_ptr<CWriteBehind> behind_;
};

// Goes on writing the text in `file` past the memory limit.
Next WriteOnBehind(SWriteTarget& target, CTemporaryFile file) {
    // A text this long is likely to go on for a while. Without a thread to
    // spare it is written on this one.
    std::unique_ptr<CWriteBehind> behind;
    try {
        behind = std::make_unique<CWriteBehind>(file.Descriptor());
    } catch (const std::system_error&) {
        return std::make_unique<CTemporaryFileWay>(target, std::move(file), std::string());
    }
    return std::make_unique<CWritingThreadWay>(target, std::move(file), std::move(behind));
}

class CMemoryWay final : public CWriteWay {
  public:
    explicit CMemoryWay(SWriteTarget& target) : target_(target) {}
    Next Write(std::string_view text) override {
        AppendTranslated(text_, text);
        return PassOn();
    }
    Next WriteAsIs(std::string_view bytes) override {
        text_.append(bytes);
        return PassOn();
    }
    // The text so far goes to the temporary file, which is closed.
    Next Suspend() override {
        CTemporaryFile file = MakeTemporaryFile(target_);
        if (!file.Exists()) {
            return Fail(target_, std::move(file));
        }
        return CTemporaryFileWay(target_, std::move(file), std::move(text_)).Suspend();
    }
    Next Resume() override { return nullptr; }
    bool Commit(std::optional<std::string>& committed) override;
    std::optional<std::string> TakeText(std::size_t limit) override {
        if (text_.size() > limit) {
            return std::nullopt;
        }
        return std::move(text_);
    }

  private:
    Next PassOn();

    SWriteTarget& target_;
    std::string text_;  // all of it, as it goes into the file
};

Next CMemoryWay::PassOn() {
    if (text_.size() <= kWriterMemoryLimit) {
        return nullptr;
    }
    CTemporaryFile file = MakeTemporaryFile(target_);
    if (!file.Exists() || !file.Write(text_)) {
        return Fail(target_, std::move(file));
    }
    return WriteOnBehind(target_, std::move(file));
}

bool CMemoryWay::Commit(std::optional<std::string>& committed) {
    // The text is compared before any file is made for it, and kept for
    // CommittedText once it is in place. Hashed here once, for the
    // comparison and for whoever records what was written.
    const ContentHash hash = HashBytes(text_);
    if (!target_.placement->Holds(target_.place, text_, hash, target_.found)) {
        CTemporaryFile file = MakeTemporaryFile(target_);
        if (!file.Exists()) {
            return false;
        }
        if (!file.Write(text_)) {
            target_.failed = true;
            return false;
        }
        if (!PutInPlace(target_, file, false)) {
            return false;
        }
    }
    committed = std::move(text_);
    target_.textHash = hash;
    return true;
}

class CDeviceWay final : public CBufferedWay {
  public:
    CDeviceWay(SWriteTarget& target, CFileDescriptor device)
        : CBufferedWay(std::string()), target_(target), device_(std::move(device)) {}
    // A device cannot be reopened where it stopped: it stays open.
    Next Suspend() override { return nullptr; }
    Next Resume() override { return nullptr; }
    bool Commit(std::optional<std::string>&) override {
        const bool flushed = Flush();
        if (!flushed) {
            target_.failed = true;
        }
        const bool closed = device_.Close();
        return flushed && closed;
    }

  private:
    bool WriteOut(const std::string& bytes) override {
        return WriteAll(device_.Get(), bytes.data(), bytes.size());
    }
    Next Broken() override { return Fail(target_, CTemporaryFile(), std::move(device_)); }

    SWriteTarget& target_;
    CFileDescriptor device_;
};

}  // namespace

void AppendTranslated(std::string& out, std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            out.append(text.substr(start));
            break;
        }
        out.append(text.substr(start, lf - start));
        out.append("\r\n");
        start = lf + 1;
    }
}

CWriteWay& NoFileWay() {
    static CNoFileWay way;
    return way;
}

std::unique_ptr<CWriteWay> MemoryWay(SWriteTarget& target) {
    return std::make_unique<CMemoryWay>(target);
}

std::unique_ptr<CWriteWay> DeviceWay(SWriteTarget& target, CFileDescriptor device) {
    return std::make_unique<CDeviceWay>(target, std::move(device));
}

}  // namespace pellandrix
