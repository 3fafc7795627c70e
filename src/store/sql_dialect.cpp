#include "store/sql_dialect.h"

#include "store/ascii.h"

namespace pellandrix {

namespace {

bool IsWordChar(char c) {
    return IsAsciiAlnum(c) || c == '_';
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsAsciiSpace(text[pos])) {
        ++pos;
    }
    return pos;
}

// True when `word` stands at `pos`, in any case, and is not the start of a
// longer name.
bool WordAt(std::string_view text, std::size_t pos, std::string_view word) {
    if (pos > text.size() || text.size() - pos < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (AsciiLower(text[pos + i]) != word[i]) {
            return false;
        }
    }
    const std::size_t end = pos + word.size();
    return end == text.size() || !IsWordChar(text[end]);
}

// True when "order" and "by" follow each other as words somewhere outside a
// quoted literal.
bool HasOrderBy(std::string_view sql) {
    bool in_quote = false;
    for (std::size_t pos = 0; pos < sql.size(); ++pos) {
        if (sql[pos] == '\'') {
            in_quote = !in_quote;
            continue;
        }
        if (in_quote || !WordAt(sql, pos, "order")) {
            continue;
        }
        if (pos > 0 && IsWordChar(sql[pos - 1])) {
            continue;
        }
        if (WordAt(sql, SkipBlanks(sql, pos + 5), "by")) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string ToEngineDelete(std::string_view sql) {
    const std::size_t verb = SkipBlanks(sql, 0);
    if (!WordAt(sql, verb, "delete")) {
        return std::string(sql);
    }
    const std::size_t star = SkipBlanks(sql, verb + 6);
    if (star >= sql.size() || sql[star] != '*') {
        return std::string(sql);
    }
    const std::size_t from = SkipBlanks(sql, star + 1);
    if (!WordAt(sql, from, "from")) {
        return std::string(sql);
    }
    std::string out(sql.substr(0, verb + 6));
    out += ' ';
    out += sql.substr(from);
    return out;
}

std::string ToEngineSelect(std::string_view sql) {
    if (!WordAt(sql, SkipBlanks(sql, 0), "select") || HasOrderBy(sql)) {
        return std::string(sql);
    }
    std::size_t end = sql.size();
    while (end > 0 && (IsAsciiSpace(sql[end - 1]) || sql[end - 1] == ';')) {
        --end;
    }
    std::string out(sql.substr(0, end));
    out += " order by Id";
    out += sql.substr(end);
    return out;
}

}  // namespace pellandrix
