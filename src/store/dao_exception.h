#pragma once

#include <exception>
#include <string>

struct sqlite3;

namespace pellandrix {

// The one error the database layer raises: the engine's result code and its
// message. The store catches none; the caller's command or start-up receives
// it.
class CDaoException : public std::exception {
  public:
    CDaoException(int code, std::string message) : code_(code), message_(std::move(message)) {}

    // The engine's primary result code (SQLITE_BUSY, SQLITE_NOTADB, ...).
    int Code() const noexcept { return code_; }
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    int code_;
    std::string message_;
};

// Throws the CDaoException for result `rc` of the last call on `db`, with
// the engine's message. `db` may be null (the message then comes from the
// result code alone).
[[noreturn]] void ThrowEngineError(sqlite3* db, int rc);

// Throws a CDaoException with `code` and `message` for errors the layer finds
// itself (a missing field, a closed database).
[[noreturn]] void ThrowLayerError(int code, std::string message);

}  // namespace pellandrix
