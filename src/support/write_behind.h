#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace pellandrix {

// Writes all `size` bytes at `data` to `fd`, going on after interrupted
// and partial writes. Returns false when a write fails.
bool WriteAll(int fd, const char* data, std::size_t size);

// Writes text to a file descriptor on a thread of its own, every line feed
// as CR LF, so that translating and the kernel's copying of a long
// generated file overlap with producing it on another core. One block is
// written while the caller fills the next; blocks reach the file in the
// order they were posted.
class CWriteBehind {
  public:
    // Starts the thread. Borrows `fd`, which must stay open and untouched by
    // the caller until Finish returns.
    explicit CWriteBehind(int fd);
    // Finishes (waits for every posted block) unless Finish was called.
    ~CWriteBehind();
    CWriteBehind(const CWriteBehind&) = delete;
    CWriteBehind& operator=(const CWriteBehind&) = delete;

    // Hands over the text in `block`, which receives an emptied buffer in
    // exchange (so that its capacity is reused). Waits while the block
    // posted before is still waiting to be taken up. After a failed write
    // the blocks are dropped; Finish reports it.
    void Post(std::string& block);
    // Waits until every posted block is written and stops the thread.
    // Returns false when any write failed. Call it once.
    bool Finish();
    // The bytes written to the file; final once Finish has returned.
    off_t Written() const { return written_; }

  private:
    void Run();
    bool WriteTranslated(const std::string& text);
    bool WriteOut(std::size_t* used);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::string posted_;      // guarded: the block waiting to be taken up
    bool hasPosted_ = false;  // guarded
    bool finishing_ = false;  // guarded
    bool failed_ = false;     // guarded
    bool finished_ = false;   // caller's side only
    int fd_;
    off_t written_ = 0;  // the thread's until it is joined
    static constexpr std::size_t kOutSize = 512 * 1024;
    std::unique_ptr<char[]> out_;  // the thread's: translated text, kOutSize bytes
    std::thread thread_;
};

}  // namespace pellandrix
