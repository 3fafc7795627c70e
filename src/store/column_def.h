#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "support/fixed_text.h"

namespace pellandrix {

// How a column's value is stored, written into SQL and read back.
enum class ColumnKind : int { Integer = 1, ShortInteger = 2, Double = 3, Text = 4, Date = 5 };

// Plain for every column of the record tables; AutoNumber only for the key
// column Id, which the engine numbers.
enum class ColumnRole : int { Plain = 1, AutoNumber = 4 };

// The date part of a date value. The default is date value 0,
// 30 December 1899, which a Date column reads where the row holds nothing.
struct DateValue {
    int year = 1899;
    int month = 12;
    int day = 30;

    friend bool operator==(const DateValue&, const DateValue&) = default;
};

// Reads and writes one FixedText member of any width, so a column table can
// hold text members of different widths. Does not own the member, which
// must outlive the binding.
class TextBinding {
  public:
    template <std::size_t Size>
    explicit TextBinding(FixedText<Size>& text)
        : text_(&text),
          get_(&GetText<Size>),
          set_(&SetText<Size>),
          maxLength_(FixedText<Size>::kMaxLength) {}

    const std::string& Get() const { return get_(text_); }
    // Stores `value`, cut to the member's width by FixedText.
    void Set(std::string_view value) const { set_(text_, value); }
    // The most bytes the member holds uncut.
    std::size_t MaxLength() const { return maxLength_; }

  private:
    template <std::size_t Size>
    static const std::string& GetText(void* text) {
        return static_cast<FixedText<Size>*>(text)->str();
    }
    template <std::size_t Size>
    static void SetText(void* text, std::string_view value) {
        *static_cast<FixedText<Size>*>(text) = value;
    }

    void* text_;
    const std::string& (*get_)(void*);
    void (*set_)(void*, std::string_view);
    std::size_t maxLength_;
};

// Where a column's value lives in the bound record: nothing (the key
// column), a 32-bit integer (Integer, ShortInteger), a text member (Text),
// a double (Double) or a date (Date). Pointers do not own.
using ColumnStorage = std::variant<std::monostate, int*, TextBinding, double*, DateValue*>;

// One column of a table, bound to a member of one record object.
struct ColumnDef {
    std::string Name;
    ColumnKind Kind = ColumnKind::Integer;
    ColumnRole Role = ColumnRole::Plain;
    ColumnStorage Storage;

    static ColumnDef Integer(std::string name, int& member) {
        return {std::move(name), ColumnKind::Integer, ColumnRole::Plain, &member};
    }
    template <std::size_t Size>
    static ColumnDef Text(std::string name, FixedText<Size>& member) {
        return {std::move(name), ColumnKind::Text, ColumnRole::Plain, TextBinding(member)};
    }
};

// A record type's columns in table order. An entry with an empty name ends
// the table early, as a terminator would.
using ColumnTable = std::vector<ColumnDef>;

}  // namespace pellandrix
