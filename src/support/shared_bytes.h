#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace pellandrix {

// Bytes that never change once made, held by every copy at once: copying
// copies a pointer. Two compare equal when their bytes are, wherever they
// live, so that a copy and bytes read again from the database are the same.
class SharedBytes {
  public:
    SharedBytes() = default;
    // Whatever room `bytes` had spare is given back: the copies live long.
    SharedBytes(std::string bytes)  // NOLINT: implicit by design
        : bytes_(std::make_shared<const std::string>(Fitted(std::move(bytes)))) {}
    SharedBytes(const char* bytes) : SharedBytes(std::string(bytes)) {}  // NOLINT: implicit

    // Empty for a default-made one.
    const std::string& str() const { return bytes_ ? *bytes_ : Empty(); }
    operator const std::string&() const { return str(); }  // NOLINT: implicit by design

    friend bool operator==(const SharedBytes& a, const SharedBytes& b) {
        return a.bytes_ == b.bytes_ || a.str() == b.str();
    }

  private:
    static std::string Fitted(std::string bytes) {
        bytes.shrink_to_fit();
        return bytes;
    }
    static const std::string& Empty() {
        static const std::string empty;
        return empty;
    }

    std::shared_ptr<const std::string> bytes_;
};

}  // namespace pellandrix
