#include "support/html_page.h"

#include "support/html_depth.h"

#include <gumbo.h>

#include <cstring>
#include <string>
#include <vector>

namespace pellandrix {

namespace {

bool IsHtmlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The parser's tree, destroyed with the options it was made with.
class ParsedPage {
  public:
    explicit ParsedPage(std::string_view bytes) : options_(kGumboDefaultOptions) {
        // Parse errors are what browsers forgive; recording them only costs.
        options_.max_errors = 0;
        output_ = gumbo_parse_with_options(&options_, bytes.data(), bytes.size());
    }
    ~ParsedPage() { gumbo_destroy_output(&options_, output_); }
    ParsedPage(const ParsedPage&) = delete;
    ParsedPage& operator=(const ParsedPage&) = delete;

    const GumboNode* Root() const { return output_->root; }

  private:
    GumboOptions options_;
    GumboOutput* output_;
};

void NoteAttribute(const GumboElement& element, const GumboAttribute& attribute, HtmlPage& page) {
    const char* name = attribute.name;
    const int line = static_cast<int>(attribute.name_start.line);
    if (std::strcmp(name, "id") == 0 ||
        (std::strcmp(name, "name") == 0 && element.tag == GUMBO_TAG_A)) {
        page.anchors.insert(attribute.value);
    } else if (std::strcmp(name, "href") == 0 && element.tag == GUMBO_TAG_BASE) {
        if (!page.base) {
            page.base = attribute.value;
        }
    } else if (std::strcmp(name, "href") == 0 || std::strcmp(name, "src") == 0) {
        page.references.push_back({attribute.value, line});
    } else if (std::strcmp(name, "srcset") == 0) {
        for (std::string& url : SrcsetUrls(attribute.value)) {
            page.references.push_back({std::move(url), line});
        }
    }
}

}  // namespace

HtmlPage ReadHtmlPage(std::string_view bytes) {
    HtmlPage page;
    if (NestsDeeperThan(bytes, kMaxHtmlDepth)) {
        page.tooDeep = true;
        return page;
    }
    const ParsedPage parsed(bytes);
    // Depth first in page order, with a stack of our own: a page nested
    // deeply must not exhaust the call stack here.
    std::vector<const GumboNode*> waiting{parsed.Root()};
    while (!waiting.empty()) {
        const GumboNode* node = waiting.back();
        waiting.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE) {
            continue;
        }
        const GumboElement& element = node->v.element;
        for (unsigned i = 0; i < element.attributes.length; ++i) {
            NoteAttribute(element, *static_cast<const GumboAttribute*>(element.attributes.data[i]),
                          page);
        }
        for (unsigned i = element.children.length; i > 0; --i) {
            waiting.push_back(static_cast<const GumboNode*>(element.children.data[i - 1]));
        }
    }
    return page;
}

std::vector<std::string> SrcsetUrls(std::string_view srcset) {
    std::vector<std::string> urls;
    std::size_t pos = 0;
    while (pos < srcset.size()) {
        while (pos < srcset.size() && (IsHtmlBlank(srcset[pos]) || srcset[pos] == ',')) {
            ++pos;
        }
        const std::size_t start = pos;
        while (pos < srcset.size() && !IsHtmlBlank(srcset[pos])) {
            ++pos;
        }
        std::string_view url = srcset.substr(start, pos - start);
        if (url.empty()) {
            break;
        }
        // A URL that ends in commas ends its candidate, without descriptors.
        const bool ended = url.ends_with(',');
        while (url.ends_with(',')) {
            url.remove_suffix(1);
        }
        urls.emplace_back(url);
        // Otherwise the descriptors run to the next comma outside brackets.
        for (int depth = 0; !ended && pos < srcset.size(); ++pos) {
            const char c = srcset[pos];
            if (c == ',' && depth == 0) {
                break;
            }
            depth += c == '(' ? 1 : c == ')' && depth > 0 ? -1 : 0;
        }
    }
    return urls;
}

}  // namespace pellandrix
