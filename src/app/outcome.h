#pragma once

#include <optional>
#include <string>
#include <utility>

#include "support/string_table.h"

namespace pellandrix {

// Why a use case refused to act: the message to show and its two
// arguments, formatted like every other message of the string table. The
// use cases never show it themselves; the front end that called them does.
struct Refusal {
    MessageId id;
    std::string first;
    std::string second;
};

// The result of a use case that may be refused: done, or a Refusal.
class [[nodiscard]] Outcome {
  public:
    // Done.
    Outcome() = default;
    // Refused.
    Outcome(Refusal refusal) : refusal_(std::move(refusal)) {}  // NOLINT: a refusal is an outcome
    static Outcome Refuse(MessageId id, std::string first = {}, std::string second = {}) {
        return Outcome(Refusal{id, std::move(first), std::move(second)});
    }

    bool Done() const { return !refusal_.has_value(); }
    explicit operator bool() const { return Done(); }
    // Requires !Done().
    const Refusal& Refused() const { return *refusal_; }

  private:
    std::optional<Refusal> refusal_;
};

}  // namespace pellandrix
