#include "engine/directives.h"

namespace pellandrix {

namespace {

bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

bool IsTrimmed(char c) {
    return c == '\t' || c == '\n' || c == ' ' || c == '"';
}

constexpr std::string_view kInclude = "#include";
constexpr std::string_view kDefine = "#define";

}  // namespace

bool HasTextBefore(std::string_view line, std::size_t count) {
    const std::size_t end = count < line.size() ? count : line.size();
    for (std::size_t i = 0; i < end; ++i) {
        if (!IsBlankOrTab(line[i])) {
            return true;
        }
    }
    return false;
}

void TrimSymbol(std::string& text) {
    if (text.empty()) {
        return;
    }
    std::size_t first = std::string::npos;
    std::size_t last = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsTrimmed(text[i])) {
            text[i] = ' ';
        } else {
            if (first == std::string::npos) {
                first = i;
            }
            last = i;
        }
    }
    if (first == std::string::npos) {
        text.assign(1, ' ');
        return;
    }
    text.erase(last + 1);
    text.erase(0, first);
}

void ParseDefine(std::string_view directive, DefineParts& parts) {
    // Behind "#define" one byte is skipped as separator, whatever it is.
    const std::size_t start = kDefine.size() + 1;
    const std::string_view rest =
        start < directive.size() ? directive.substr(start) : std::string_view();
    std::size_t pos = 0;
    while (pos < rest.size() && IsBlankOrTab(rest[pos])) {
        ++pos;
    }
    std::size_t runEnd = pos;
    while (runEnd < rest.size() && !IsBlankOrTab(rest[runEnd])) {
        ++runEnd;
    }
    // The run holds no blank; only quotes and line feeds can need trimming.
    const std::string_view symbol = rest.substr(pos, runEnd - pos);
    parts.symbol.assign(symbol);
    if (symbol.find_first_of("\"\n") != std::string_view::npos) {
        TrimSymbol(parts.symbol);
    }
    parts.value.clear();
    std::size_t valueStart = runEnd + 1;
    while (valueStart < rest.size() && IsBlankOrTab(rest[valueStart])) {
        ++valueStart;
    }
    if (valueStart < rest.size()) {
        std::string_view value = rest.substr(valueStart);
        if (value.back() == '\n') {
            value.remove_suffix(1);
        }
        parts.value.assign(value);
        // Tabs count as blanks, in the value too.
        for (std::size_t tab = parts.value.find('\t'); tab != std::string::npos;
             tab = parts.value.find('\t', tab + 1)) {
            parts.value[tab] = ' ';
        }
    }
}

DefineParts ParseDefine(std::string_view directive) {
    DefineParts parts;
    ParseDefine(directive, parts);
    return parts;
}

bool IsBlankSymbol(std::string_view symbol) {
    return symbol.find_first_not_of(' ') == std::string_view::npos;
}

std::string_view IncludeArgument(std::string_view directive) {
    std::string_view rest = directive.substr(std::min(kInclude.size(), directive.size()));
    if (rest.size() >= 2 && rest[1] == '"') {
        return rest.substr(2);
    }
    std::size_t pos = 0;
    while (pos < rest.size() && IsBlankOrTab(rest[pos])) {
        ++pos;
    }
    if (pos < rest.size() && rest[pos] == '"') {
        return rest.substr(pos + 1);
    }
    std::size_t end = pos;
    while (end < rest.size() && !IsBlankOrTab(rest[end]) && rest[end] != '\n' &&
           rest[end] != '\r') {
        ++end;
    }
    return rest.substr(pos, end - pos);
}

std::optional<std::string_view> IncludeLineArgument(std::string_view chunk) {
    const std::size_t first = chunk.find_first_not_of(" \t");
    if (first == std::string_view::npos || !chunk.substr(first).starts_with(kInclude)) {
        return std::nullopt;
    }
    return IncludeArgument(chunk.substr(first));
}

IncludeName SplitIncludeName(std::string_view argument) {
    std::string_view text = argument.substr(0, argument.find('"'));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    IncludeName parts;
    const std::size_t separator = text.find_last_of("\\/");
    std::string_view file = text;
    if (separator != std::string_view::npos) {
        parts.directory = std::string(text.substr(0, separator + 1));
        file = text.substr(separator + 1);
    }
    // The extension is looked for in the file name only: a dot in a
    // directory such as "../" must not split the name.
    const std::size_t dot = file.rfind('.');
    if (dot == std::string_view::npos) {
        parts.name = std::string(file);
        return parts;
    }
    parts.hasDot = true;
    parts.name = std::string(file.substr(0, dot));
    parts.extension = std::string(file.substr(dot + 1));
    return parts;
}

}  // namespace pellandrix
