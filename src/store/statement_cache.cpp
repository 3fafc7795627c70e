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

// Walks a statement text token by token, copying it into the shape and
// lifting the literals that may be bound.
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
        return statement_;
    }

  private:
    bool Token() {
        const char c = sql_[pos_];
        if (c == '\'') {
            return Text();
        }
        if (c == '"' || c == '[' || c == '`') {
            return Quoted(c == '[' ? ']' : c);
        }
        if (IsAsciiDigit(c)) {
            return Number();
        }
        if (IsNameChar(c)) {
            Word();
            return true;
        }
        if (c == '?' || c == ':' || c == '@' || (c == '.' && NextIsDigit()) ||
            sql_.substr(pos_, 2) == "--" || sql_.substr(pos_, 2) == "/*") {
            return false;
        }
        // Blanks and punctuation up to the next token go over at once.
        const std::size_t start = pos_;
        do {
            ++pos_;
        } while (pos_ < sql_.size() && Is(sql_[pos_], kPlainByte));
        shape_.text += sql_.substr(start, pos_ - start);
        return true;
    }

    bool NextIsDigit() const { return pos_ + 1 < sql_.size() && IsAsciiDigit(sql_[pos_ + 1]); }

    void Word() {
        const std::size_t start = pos_;
        while (pos_ < sql_.size() && IsNameChar(sql_[pos_])) {
            ++pos_;
        }
        const std::string_view word = sql_.substr(start, pos_ - start);
        auto is = [word](std::string_view lower) { return EqualsIgnoringCase(word, lower); };
        if (start == 0) {
            statement_ = is("insert") || is("update") || is("delete") || is("select");
        } else if (is("where") || is("set") || is("values")) {
            lifting_ = lifting_ || !stopped_;
        } else if (is("order") || is("group")) {
            lifting_ = false;
            stopped_ = true;
        }
        shape_.text += word;
    }

    // '...' with '' standing for one apostrophe.
    bool Text() {
        if (pos_ > 0 && IsNameChar(sql_[pos_ - 1])) {
            return false;  // x'..' is a blob, N'..' not SQLite's
        }
        const std::size_t start = pos_;
        std::string value;
        for (++pos_;;) {
            const std::size_t quote = sql_.find('\'', pos_);
            if (quote == std::string_view::npos) {
                return false;
            }
            value.append(sql_.substr(pos_, quote - pos_));
            pos_ = quote + 1;
            if (pos_ < sql_.size() && sql_[pos_] == '\'') {
                value += '\'';
                ++pos_;
            } else {
                Emit(sql_.substr(start, pos_ - start), std::move(value));
                return true;
            }
        }
    }

    bool Quoted(char close) {
        const std::size_t end = sql_.find(close, pos_ + 1);
        if (end == std::string_view::npos) {
            return false;
        }
        shape_.text += sql_.substr(pos_, end + 1 - pos_);
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
        Emit(sql_.substr(start, pos_ - start), value);
        return true;
    }

    void Emit(std::string_view written, SqlLiteral value) {
        if (lifting_) {
            shape_.text += '?';
            shape_.literals.push_back(std::move(value));
        } else {
            shape_.text += written;
        }
    }

    std::string_view sql_;
    SqlShape& shape_;
    std::size_t pos_ = 0;
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
