#include "support/html_depth.h"

#include <gtest/gtest.h>

#include <string>

namespace pellandrix {
namespace {

std::string Repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// Three levels allowed: what opens a fourth is too deep, and nothing a
// browser does not nest may count as nesting.
TEST(HtmlDepth, CountsWhatABrowserNestsAndNothingElse) {
    EXPECT_FALSE(NestsDeeperThan("<div><div><div>x</div></div></div>", 3));
    EXPECT_TRUE(NestsDeeperThan("<div><div><div><div>", 3));
    EXPECT_TRUE(NestsDeeperThan("<DIV class='a>b'><div/><div><span>", 3));  // "/" ignored
    EXPECT_TRUE(NestsDeeperThan("<b><i></span><u><s>", 3));  // "</span>" closes nothing
    EXPECT_TRUE(NestsDeeperThan("<b a\"x><i title = 'y>'><u><s a=\"\">", 3));  // no value: no quote
    const std::string flat[] = {
        Repeated("<div></div>", 50) + Repeated("<div></DIV >", 50),
        "<div><b><i></div><div><div>",  // "</div>" closes what it matches and all inside
        Repeated("<p>a", 50),
        "<ul>" + Repeated("<li>a", 50),
        "<table>" + Repeated("<tr><td>a<th>b", 50),
        Repeated("<br><img src=x><input><hr>", 50),
        "<!-- <div><div><div><div> -->" + Repeated("<div>", 3),
        "<script>" + Repeated("<div>", 9) + "</SCRIPT><title><div><div></title><div>",
        "<svg>" + Repeated("<path d='M0 0'/>", 50) + "</svg>",
        "<!DOCTYPE html><?xml x?>a < b <3 " + Repeated("<div>", 3),
    };
    for (const std::string& page : flat) {
        EXPECT_FALSE(NestsDeeperThan(page, 3)) << page;
    }
}

}  // namespace
}  // namespace pellandrix
