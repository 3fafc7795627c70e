#include "app/preview_content.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "app/open_commands.h"

namespace pellandrix {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string Extension(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return {};
    }
    return Lower(path.substr(dot + 1));
}

constexpr std::array<std::pair<std::string_view, std::string_view>, 27> kTypes{{
    {"html", "text/html"},
    {"htm", "text/html"},
    {"shtml", "text/html"},
    {"xhtml", "application/xhtml+xml"},
    {"css", "text/css"},
    {"js", "text/javascript"},
    {"mjs", "text/javascript"},
    {"json", "application/json"},
    {"svg", "image/svg+xml"},
    {"png", "image/png"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"gif", "image/gif"},
    {"webp", "image/webp"},
    {"avif", "image/avif"},
    {"ico", "image/vnd.microsoft.icon"},
    {"bmp", "image/bmp"},
    {"woff", "font/woff"},
    {"woff2", "font/woff2"},
    {"ttf", "font/ttf"},
    {"otf", "font/otf"},
    {"eot", "application/vnd.ms-fontobject"},
    {"txt", "text/plain"},
    {"xml", "application/xml"},
    {"rss", "application/rss+xml"},
    {"pdf", "application/pdf"},
    {"wasm", "application/wasm"},
}};

std::string HtmlEscaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

constexpr std::string_view kLiveScript = R"js((function () {
  'use strict';
  var me = document.currentScript;
  var page = me.getAttribute('data-page');
  var source = new EventSource('/.pellandrix/events?since=' + me.getAttribute('data-run'));
  // The page itself and every file of this site it loaded (styles, scripts,
  // images): a change to any of them shows in the page.
  function loaded() {
    var paths = [page];
    performance.getEntriesByType('resource').forEach(function (entry) {
      try {
        var url = new URL(entry.name);
        if (url.origin === location.origin) {
          paths.push(decodeURIComponent(url.pathname));
        }
      } catch (e) {}
    });
    return paths;
  }
  function show(messages) {
    var box = document.getElementById('pellandrix-meldungen');
    if (messages.length === 0) {
      if (box) {
        box.remove();
      }
      return;
    }
    if (!box) {
      box = document.createElement('div');
      box.id = 'pellandrix-meldungen';
      box.setAttribute('role', 'alert');
      box.setAttribute('aria-label', 'Meldungen des letzten Laufs');
      box.style.cssText = 'position:fixed;left:0;right:0;bottom:0;max-height:50%;' +
        'overflow:auto;z-index:2147483647;margin:0;padding:12px 16px;background:#fff4f4;' +
        'color:#600;border-top:3px solid #c00;font:14px/1.4 monospace;white-space:pre-wrap;' +
        'text-align:left;box-shadow:0 -2px 8px rgba(0,0,0,.3)';
      (document.body || document.documentElement).appendChild(box);
    }
    box.textContent = ['Meldungen des letzten Laufs:'].concat(messages).join('\n');
  }
  source.addEventListener('run', function (event) {
    var run = JSON.parse(event.data);
    var mine = loaded();
    if (run.changed.some(function (path) { return mine.indexOf(path) >= 0; })) {
      source.close();
      location.reload();
      return;
    }
    show(run.messages);
  });
})();
)js";

}  // namespace

std::string_view ContentTypeOf(std::string_view path) {
    const std::string ext = Extension(path);
    for (const auto& [key, type] : kTypes) {
        if (key == ext) {
            return type;
        }
    }
    return "application/octet-stream";
}

bool TakesLiveScript(std::string_view path) {
    return ContentTypeOf(path) == "text/html";
}

std::string WithLiveScript(std::string_view page, std::string_view sitePath,
                           std::string_view runMark) {
    const std::string tag = "<script src=\"" + std::string(kLiveScriptPath) + "\" data-page=\"" +
                            HtmlEscaped(sitePath) + "\" data-run=\"" + HtmlEscaped(runMark) +
                            "\"></script>";
    const std::string lower = Lower(page);
    std::size_t at = lower.rfind("</body");
    if (at == std::string::npos) {
        at = lower.rfind("</html");
    }
    if (at == std::string::npos) {
        at = page.size();
    }
    std::string served;
    served.reserve(page.size() + tag.size());
    served.append(page.substr(0, at)).append(tag).append(page.substr(at));
    return served;
}

bool LoopbackHost(std::string_view host) {
    for (const std::string_view name : {"127.0.0.1", "localhost"}) {
        if (host == name ||
            (host.starts_with(name) && host.size() > name.size() + 1 && host[name.size()] == ':' &&
             host.find_first_not_of("0123456789", name.size() + 1) == std::string_view::npos)) {
            return true;
        }
    }
    return false;
}

std::string_view LiveScript() {
    return kLiveScript;
}

std::string FolderListing(std::string_view sitePath, const std::vector<std::string>& names) {
    const std::string title = HtmlEscaped(sitePath);
    std::string page = "<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\"><title>" +
                       title + "</title></head>\n<body><h1>" + title + "</h1>\n<ul>\n";
    for (const std::string& name : names) {
        // FileUrl's encoding, without its scheme, is a safe relative link.
        const std::string href = FileUrl(name).substr(std::string_view("file://").size());
        page += "<li><a href=\"" + href + "\">" + HtmlEscaped(name) + "</a></li>\n";
    }
    return page + "</ul>\n</body></html>\n";
}

std::string NotFoundPage(std::string_view sitePath) {
    return "<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\">"
           "<title>Seite nicht gefunden</title></head>\n<body><h1>Seite nicht gefunden</h1>\n"
           "<p>Unter <code>" +
           HtmlEscaped(sitePath) +
           "</code> steht noch keine Seite. Sobald ein Lauf sie schreibt, erscheint sie "
           "hier.</p>\n</body></html>\n";
}

std::string JsonString(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string json = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20) {
            json += "\\u00";
            json += kHex[byte >> 4];
            json += kHex[byte & 0x0F];
        } else {
            json += c;
        }
    }
    return json + "\"";
}

}  // namespace pellandrix
