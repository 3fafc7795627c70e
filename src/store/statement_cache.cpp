#include "store/statement_cache.h"

#include <sqlite3.h>

#include <array>
#include <charconv>
#include <cstdint>

#include "store/ascii.h"
#include "store/dao_exception.h"

namespace pellandrix {

namespace {

// What a byte may be within a statement text, looked up once per byte: the
// store's statements are shaped one per record.
enum ByteClass : std::uint8_t {
    kNameByte = 1,   // part of a name or keyword
    kPlainByte = 2,  // blank or punctuation that starts no token of its own
};

constexpr std::array<std::uint8_t, 256> MakeByteClasses() {
    std::array<std::uint8_t, 256> classes{};
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        if (IsAsciiAlnum(c) || c == '_' || c == '$' || b >= 0x80) {
            classes[b] = kNameByte;
        }
    }
    for (const char c : std::string_view(" ,=()*<>")) {
        classes[static_cast<unsigned char>(c)] = kPlainByte;
    }
    return classes;
}

constexpr std::array<std::uint8_t, 256> kByteClasses = MakeByteClasses();

bool Is(char c, ByteClass byteClass) {
    return (kByteClasses[static_cast<unsigned char>(c)] & byteClass) != 0;
}

bool IsNameChar(char c) {
    return Is(c, kNameByte);
}

// Walks a statement text token by token and lifts the literals that may be
// bound. The shape is the text itself with each lifted literal replaced by
// "?", so only the stretches between lifted literals are copied.
class Shaper {
  public:
    Shaper(std::string_view sql, SqlShape& shape) : sql_(sql), shape_(shape) {}

    bool Run() {
        shape_.text.clear();
        shape_.text.reserve(sql_.size());
        shape_.literals.clear();
        shape_.literals.reserve(16);  // a record's columns and its key
        while (pos_ < sql_.size()) {
            if (!Token()) {
                return false;
            }
        }
        shape_.text.append(sql_.substr(copied_));
        return statement_;
    }

  private:
    bool Token() {
        const char c = sql_[pos_];
        if (Is(c, kPlainByte)) {
            ++pos_;
            return true;
        }
        if (IsAsciiDigit(c)) {
            return Number();
        }
        if (IsNameChar(c)) {
            Word();
            return true;
        }
        switch (c) {
            case '\'':
                return Text();
            case '"':
            case '`':
                return Quoted(c);
            case '[':
                return Quoted(']');
            case '?':
            case ':':
            case '@':
                return false;
            case '.':
                if (NextIs(IsAsciiDigit)) {
                    return false;
                }
                break;
            case '-':
            case '/':
                if (NextIs([c](char next) { return next == (c == '-' ? '-' : '*'); })) {
                    return false;  // a comment
                }
                break;
            default:
                break;
        }
        ++pos_;
        return true;
    }

    template <typename Test>
    bool NextIs(Test test) const {
        return pos_ + 1 < sql_.size() && test(sql_[pos_ + 1]);
    }

    void Word() {
        const std::size_t start = pos_;
        while (pos_ < sql_.size() && IsNameChar(sql_[pos_])) {
            ++pos_;
        }
        const std::string_view word = sql_.substr(start, pos_ - start);
        if (word.size() < 3 || word.size() > 6) {
            return;  // no keyword that matters is shorter or longer
        }
        auto is = [word](std::string_view lower) { return EqualsIgnoringCase(word, lower); };
        if (start == 0) {
            statement_ = is("insert") || is("update") || is("delete") || is("select");
        } else if (is("where") || is("set") || is("values")) {
            lifting_ = lifting_ || !stopped_;
        } else if (is("order") || is("group")) {
            lifting_ = false;
            stopped_ = true;
        }
    }

    // '...' with '' standing for one apostrophe.
    bool Text() {
        if (pos_ > 0 && IsNameChar(sql_[pos_ - 1])) {
            return false;  // x'..' is a blob, N'..' not SQLite's
        }
        const std::size_t start = pos_;
        std::string value;
        for (std::size_t from = pos_ + 1;;) {
            const std::size_t quote = sql_.find('\'', from);
            if (quote == std::string_view::npos) {
                return false;
            }
            value.append(sql_.substr(from, quote - from));
            if (quote + 1 < sql_.size() && sql_[quote + 1] == '\'') {
                value += '\'';
                from = quote + 2;
            } else {
                pos_ = quote + 1;
                Emit(start, std::move(value));
                return true;
            }
        }
    }

    bool Quoted(char close) {
        const std::size_t end = sql_.find(close, pos_ + 1);
        if (end == std::string_view::npos) {
            return false;
        }
        pos_ = end + 1;
        return true;
    }

    bool Number() {
        const std::size_t start = pos_;
        while (pos_ < sql_.size() && IsAsciiDigit(sql_[pos_])) {
            ++pos_;
        }
        if (pos_ < sql_.size() && (IsNameChar(sql_[pos_]) || sql_[pos_] == '.')) {
            return false;  // real, exponent or hex: leave the statement alone
        }
        std::int64_t value = 0;
        const auto result = std::from_chars(sql_.data() + start, sql_.data() + pos_, value);
        if (result.ec != std::errc()) {
            return false;  // beyond 64 bits SQLite reads a real
        }
        Emit(start, value);
        return true;
    }

    // The literal from `start` up to pos_ has been read; where literals are
    // lifted it becomes a "?", elsewhere it stays as written.
    void Emit(std::size_t start, SqlLiteral value) {
        if (!lifting_) {
            return;
        }
        shape_.text.append(sql_.substr(copied_, start - copied_));
        shape_.text += '?';
        shape_.literals.push_back(std::move(value));
        copied_ = pos_;
    }

    std::string_view sql_;
    SqlShape& shape_;
    std::size_t pos_ = 0;
    std::size_t copied_ = 0;  // the text before this is in the shape
    bool statement_ = false;
    bool lifting_ = false;
    bool stopped_ = false;
};

void Bind(SqliteStatement& statement, const std::vector<SqlLiteral>& literals) {
    for (std::size_t i = 0; i < literals.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        if (const auto* number = std::get_if<std::int64_t>(&literals[i])) {
            statement.BindInt(index, *number);
        } else {
            statement.BindText(index, std::get<std::string>(literals[i]));
        }
    }
}

}  // namespace

bool ShapeOf(std::string_view sql, SqlShape& shape) {
    return Shaper(sql, shape).Run();
}

CachedStatement::CachedStatement(std::weak_ptr<StatementCache> cache, std::string key,
                                 std::unique_ptr<SqliteStatement> statement)
    : cache_(std::move(cache)), key_(std::move(key)), statement_(std::move(statement)) {}

CachedStatement::~CachedStatement() {
    GiveBack();
}

CachedStatement& CachedStatement::operator=(CachedStatement&& other) noexcept {
    if (this != &other) {
        GiveBack();
        cache_ = std::move(other.cache_);
        key_ = std::move(other.key_);
        statement_ = std::move(other.statement_);
    }
    return *this;
}

void CachedStatement::GiveBack() {
    if (statement_ == nullptr) {
        return;
    }
    if (const std::shared_ptr<StatementCache> cache = cache_.lock(); cache && !key_.empty()) {
        cache->Return(std::move(key_), std::move(statement_));
    }
    statement_.reset();
}

CachedStatement StatementCache::Prepare(std::string_view sql) {
    SqlShape shape;
    if (ShapeOf(sql, shape)) {
        std::unique_ptr<SqliteStatement> statement = TakeIdle(shape.text);
        if (statement == nullptr) {
            try {
                statement = std::make_unique<SqliteStatement>(db_, shape.text);
            } catch (const CDaoException&) {
                // Falls through to the text as written, whose error is the
                // one to report.
            }
        }
        if (statement != nullptr &&
            statement->ParameterCount() == static_cast<int>(shape.literals.size())) {
            Bind(*statement, shape.literals);
            return CachedStatement(weak_from_this(), std::move(shape.text), std::move(statement));
        }
    }
    return CachedStatement({}, {}, std::make_unique<SqliteStatement>(db_, sql));
}

std::unique_ptr<SqliteStatement> StatementCache::TakeIdle(const std::string& key) {
    // The entry stays, empty, so that handing the statement back finds it
    // instead of allocating a new one.
    const auto found = idle_.find(key);
    return found == idle_.end() ? nullptr : std::move(found->second);
}

void StatementCache::Return(std::string key, std::unique_ptr<SqliteStatement> statement) {
    // A failed step leaves its error in the statement until reset; the
    // caller has already seen it.
    statement->Reset();
    statement->ClearBindings();
    if (idle_.size() >= kMaxShapes && idle_.find(key) == idle_.end()) {
        idle_.clear();
    }
    idle_.insert_or_assign(std::move(key), std::move(statement));
}

}  // namespace pellandrix
