#include "engine/line_engine.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/directives.h"
#include "support/text_file.h"

namespace pellandrix {

namespace {

enum class Keyword { Include, Define, Undef, Ifdef, Ifndef, Else, Endif, None };

struct KeywordInfo {
    std::string_view text;
    Keyword keyword;
    bool onlyWhenWriting;  // ignored inside a false branch
};

// The order decides what a chunk is when it holds several keywords.
constexpr std::array<KeywordInfo, 7> kKeywords{{
    {"#include", Keyword::Include, true},
    {"#define", Keyword::Define, true},
    {"#undef", Keyword::Undef, true},
    {"#ifdef", Keyword::Ifdef, false},
    {"#ifndef", Keyword::Ifndef, false},
    {"#else", Keyword::Else, false},
    {"#endif", Keyword::Endif, false},
}};

// A keyword counts only where nothing but blanks and tabs stands before its
// first occurrence, that is, exactly at the first other byte of the chunk.
// So a chunk whose first other byte is not '#' is text, found without
// searching for any keyword.
Keyword Recognise(std::string_view chunk, bool skipping, std::size_t* offset) {
    const std::size_t first = chunk.find_first_not_of(" \t");
    if (first == std::string_view::npos || chunk[first] != '#') {
        return Keyword::None;
    }
    const std::string_view rest = chunk.substr(first);
    for (const KeywordInfo& k : kKeywords) {
        if (rest.starts_with(k.text) && !(k.onlyWhenWriting && skipping)) {
            *offset = first;
            return k.keyword;
        }
    }
    return Keyword::None;
}

std::string SymbolBehind(std::string_view chunk, std::size_t offset, std::string_view keyword) {
    std::string symbol(chunk.substr(offset + keyword.size()));
    TrimSymbol(symbol);
    return symbol;
}

}  // namespace

ChunkKind CLineEngine::HandleChunk(EngineState& state, std::string_view fileName,
                                   std::string_view chunk, ITextSink* output,
                                   std::string_view* includeArgument) {
    ++state.line;
    std::size_t offset = 0;
    switch (Recognise(chunk, state.skipping, &offset)) {
        case Keyword::Include:
            *includeArgument = IncludeArgument(chunk.substr(offset));
            return ChunkKind::Include;
        case Keyword::Define:
            HandleDefine(state, fileName, chunk.substr(offset));
            return ChunkKind::Directive;
        case Keyword::Undef:
            HandleUndef(SymbolBehind(chunk, offset, "#undef"));
            return ChunkKind::Directive;
        case Keyword::Ifdef:
            HandleIf(state, fileName, true, SymbolBehind(chunk, offset, "#ifdef"));
            return ChunkKind::Directive;
        case Keyword::Ifndef:
            HandleIf(state, fileName, false, SymbolBehind(chunk, offset, "#ifndef"));
            return ChunkKind::Directive;
        case Keyword::Else:
            HandleElse(state, fileName);
            return ChunkKind::Directive;
        case Keyword::Endif:
            HandleEndif(state, fileName);
            return ChunkKind::Directive;
        case Keyword::None:
            break;
    }
    if (output != nullptr && !state.skipping) {
        bool complete = true;
        const std::string_view text = defines_.Substituted(chunk, line_, &complete);
        if (!complete) {
            ReportAt(MessageId::kSubstitutionTooLong, fileName, state);
        }
        output->Write(text);
    }
    return ChunkKind::Text;
}

namespace {

// Text lines are collected up to about this size before they are written.
constexpr std::size_t kLinesWrittenAtOnce = 64 * 1024;

// The next text line at the start of `text`, as a chunk: `*raw` receives
// the bytes it takes in the file. Empty when the line does not end within
// `text`, would not make one whole chunk, or may hold a directive.
std::string_view NextTextLine(std::span<char> text, std::size_t* raw) {
    if (text.empty()) {
        return {};  // perhaps no buffer at all: memchr must not see null
    }
    // A line of kMaxChunk bytes ending in CR LF takes one byte more.
    const std::size_t reach = std::min(text.size(), kMaxChunk + 1);
    auto* lf = static_cast<char*>(std::memchr(text.data(), '\n', reach));
    if (lf == nullptr) {
        return {};
    }
    const std::size_t taken = static_cast<std::size_t>(lf - text.data()) + 1;
    const bool crLf = taken >= 2 && lf[-1] == '\r';
    const std::size_t length = crLf ? taken - 1 : taken;
    std::size_t first = 0;
    while (text[first] == ' ' || text[first] == '\t') {
        ++first;
    }
    if (length > kMaxChunk || text[first] == '#') {
        return {};
    }
    // Only a line that is taken loses its CR: the others are read again.
    if (crLf) {
        lf[-1] = '\n';
    }
    *raw = taken;
    return std::string_view(text.data(), length);
}

}  // namespace

std::size_t CLineEngine::HandleTextLines(EngineState& state, std::string_view fileName,
                                         std::span<char> text, ITextSink* output) {
    if (output == nullptr || state.skipping) {
        return 0;
    }
    lines_.clear();
    std::size_t taken = 0;
    std::size_t raw = 0;
    for (std::string_view line = NextTextLine(text, &raw); !line.empty();
         line = NextTextLine(text.subspan(taken), &raw)) {
        ++state.line;
        taken += raw;
        if (!defines_.AppendSubstituted(line, lines_)) {
            ReportAt(MessageId::kSubstitutionTooLong, fileName, state);
        }
        // Written now and then, so that a run of long lines stays small.
        if (lines_.size() >= kLinesWrittenAtOnce) {
            output->Write(lines_);
            lines_.clear();
        }
    }
    if (!lines_.empty()) {
        output->Write(lines_);
    }
    return taken;
}

void CLineEngine::Finish(const EngineState& state, std::string_view fileName) {
    if (state.inConditional) {
        messages_.ShowParseError(MessageId::kUnclosedBlock, fileName, "");
    }
}

void CLineEngine::HandleDefine(const EngineState& state, std::string_view fileName,
                               std::string_view directive) {
    DefineParts& parts = define_;
    ParseDefine(directive, parts);
    TakeDefine(state, fileName, parts);
    // The buffers are kept for the next #define, but not the room of a
    // value grown long by substitution.
    if (parts.value.capacity() > kKeptDefineValue) {
        std::string().swap(parts.value);
    }
}

void CLineEngine::TakeDefine(const EngineState& state, std::string_view fileName,
                             DefineParts& parts) {
    if (IsBlankSymbol(parts.symbol)) {
        return;
    }
    if (!defines_.Substitute(parts.value)) {
        ReportAt(MessageId::kSubstitutionTooLong, fileName, state);
        return;
    }
    // A definition that would make all of them together pass the limit is
    // refused whole, like one whose own value grows too long.
    SNameSlot* slot = nullptr;
    CDefineEntry* entry = defines_.Find(parts.symbol, &slot);
    const std::size_t replaced = entry != nullptr ? entry->value.size() : 0;
    const std::size_t added = parts.value.size() + (entry != nullptr ? 0 : parts.symbol.size());
    const std::size_t kept = defines_.DefinedBytes() - std::min(defines_.DefinedBytes(), replaced);
    if (kept + added > defines_.DefinedBytesLimit()) {
        ReportAt(MessageId::kDefinitionsTooLarge, fileName, state);
        return;
    }
    if (entry != nullptr) {
        if (entry->value != parts.value) {
            defines_.SetValue(entry, parts.value);
        }
        return;
    }
    defines_.Add(parts.symbol, parts.value, slot);
    defines_.SortByNameLength();
}

void CLineEngine::HandleUndef(std::string_view symbol) {
    if (CDefineEntry* entry = defines_.Find(symbol)) {
        defines_.Remove(entry);
    }
}

void CLineEngine::HandleIf(EngineState& state, std::string_view fileName, bool wantDefined,
                           std::string_view symbol) {
    if (state.inConditional) {
        ReportAt(wantDefined ? MessageId::kNestedIfdef : MessageId::kNestedIfndef, fileName, state);
        return;
    }
    const bool defined = defines_.Find(symbol) != nullptr;
    state.inConditional = true;
    state.skipping = defined != wantDefined;
}

void CLineEngine::HandleElse(EngineState& state, std::string_view fileName) {
    if (!state.inConditional) {
        ReportAt(MessageId::kElseWithoutIfdef, fileName, state);
        return;
    }
    state.skipping = !state.skipping;
}

void CLineEngine::HandleEndif(EngineState& state, std::string_view fileName) {
    if (!state.inConditional) {
        ReportAt(MessageId::kEndifWithoutIfdef, fileName, state);
        return;
    }
    state.inConditional = false;
    state.skipping = false;
}

void CLineEngine::ReportAt(MessageId id, std::string_view fileName, const EngineState& state) {
    messages_.ShowParseError(id, fileName, std::to_string(state.line));
}

}  // namespace pellandrix
