#include "engine/define_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace pellandrix {
namespace {

// Adds like the line engine does: every Add followed by a sort.
CDefineEntry* Define(CDefineTable& table, std::string_view name, std::string_view value) {
    CDefineEntry* entry = table.Add(name, value);
    table.SortByNameLength();
    return entry;
}

// Rewrites `text` in place and, separately, through the view and appended
// to a buffer; all must agree on the text and on whether it is complete.
std::string Substituted(const CDefineTable& table, std::string text) {
    std::string scratch;
    bool complete = false;
    const std::string viewed(table.Substituted(text, scratch, &complete));
    // Appended behind bytes that could begin a name, which must not count.
    std::string appended = "ab";
    const bool appendedWhole = table.AppendSubstituted(text, appended);
    const bool whole = table.Substitute(text);
    EXPECT_EQ(viewed, text) << "the view and the in-place rewrite agree";
    EXPECT_EQ(appended, "ab" + text) << "the appended and the in-place rewrite agree";
    EXPECT_EQ(complete, whole);
    EXPECT_EQ(appendedWhole, whole);
    return text;
}

std::string Reference(const CDefineTable& table, std::string text) {
    table.SubstituteEntryByEntry(text);
    return text;
}

TEST(DefineTable, ReplacementsInteractAsTheRuleSays) {
    CDefineTable t;
    Define(t, "ZZ", "");
    Define(t, "ab", "!");
    // Deleting ZZ joins a and b into a name that comes later in the table.
    EXPECT_EQ(Substituted(t, "aZZb ab"), "! !");

    CDefineTable u;
    Define(u, "abc", "x");
    Define(u, "bc", "y");
    Define(u, "x", "[b]");
    // bc vanishes with abc; the value of abc is seen by the later x, whose
    // own value brings a b that no later entry replaces.
    EXPECT_EQ(Substituted(u, "abc bc"), "[b] y");

    CDefineTable v;
    Define(v, "ab", "ab");
    Define(v, "b", "c");
    Define(v, "N", "NN");
    // A name equal to its value changes nothing, a value is not rescanned
    // for its own name, occurrences do not overlap.
    EXPECT_EQ(Substituted(v, "ab N.N bbb"), "ac NN.NN ccc");

    CDefineTable w;
    Define(w, "", "never");
    EXPECT_EQ(Substituted(w, "empty names replace nothing"), "empty names replace nothing");
}

TEST(DefineTable, SubstitutionFollowsEveryChangeOfTheTable) {
    CDefineTable t;
    CDefineEntry* title = Define(t, "TITLE", "Home");
    const std::string line = std::string(200, '.') + "TITLE NAME";
    // Enough lines for the table to settle on its fastest search.
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(Substituted(t, line), std::string(200, '.') + "Home NAME");
    }
    CDefineEntry* name = Define(t, "NAME", "Anna");
    EXPECT_EQ(Substituted(t, "TITLE NAME"), "Home Anna");
    title->value = "Start";  // redefinition assigns the value in place
    EXPECT_EQ(Substituted(t, "TITLE NAME"), "Start Anna");
    t.Remove(name);
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(Substituted(t, line), std::string(200, '.') + "Start NAME");
    }
    Define(t, "NAME", "Bert");
    EXPECT_EQ(Substituted(t, "TITLE NAME"), "Start Bert");
    t.Clear();
    EXPECT_EQ(Substituted(t, "TITLE NAME"), "TITLE NAME");
    // Defined again after the table was emptied, TITLE is found by what was
    // built for the names before; NAME, not defined again, is not.
    Define(t, "TITLE", "Again");
    EXPECT_EQ(Substituted(t, line), std::string(200, '.') + "Again NAME");
    Define(t, "NAM", "x");
    EXPECT_EQ(Substituted(t, "TITLE NAME"), "Again xE");
    // What waits for the names' next definitions stays bounded in bytes,
    // however long a name is; such a name is simply made anew.
    t.LimitDormantBytes(1000);
    const std::string longName(1000, 'L');
    Define(t, longName, "long");
    t.Clear();
    EXPECT_LE(t.DormantBytes(), 1000U);
    EXPECT_GT(t.DormantBytes(), 0U) << "the short names still wait";
    Define(t, longName, "again");
    EXPECT_EQ(Substituted(t, longName + " TITLE"), "again TITLE");
}

TEST(DefineTable, ManyNamesOnlyTheOccurringOnesChangeTheLine) {
    CDefineTable t;
    for (int i = 0; i < 2000; ++i) {
        Define(t, "NAME_" + std::to_string(i) + "_", "v" + std::to_string(i));
    }
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(Substituted(t, "<p>NAME_123_ and NAME_1999_ NAME_</p>"),
                  "<p>v123 and v1999 NAME_</p>");
        ASSERT_EQ(Substituted(t, "<p>no names here</p>"), "<p>no names here</p>");
    }
}

TEST(DefineTable, EntriesReadInTableOrderWhateverCameAndWentBefore) {
    CDefineTable t;
    Define(t, "bb", "1");
    CDefineEntry* sortedThenGone = Define(t, "a", "2");
    Define(t, "hh", "0");
    ASSERT_EQ(t.Entries().At(0)->name, "bb");  // sorted once, then more come and go
    CDefineEntry* gone = Define(t, "ccc", "3");
    Define(t, "dd", "4");
    CDefineEntry* alsoGone = Define(t, "e", "5");
    t.Remove(sortedThenGone);
    Define(t, "fff", "6");
    t.Remove(gone);
    t.Remove(alsoGone);
    Define(t, "g", "7");
    std::vector<std::string> names;
    for (const CDefineEntry& entry : t.Entries()) {
        names.push_back(entry.name);
        EXPECT_EQ(entry.Position(), static_cast<int>(names.size()) - 1);
    }
    // Longest first; equal lengths in the order they were defined.
    EXPECT_EQ(names, (std::vector<std::string>{"fff", "bb", "hh", "dd", "g"}));

    // Removing a sorted entry must not let an unsorted one pass for sorted.
    CDefineTable u;
    Define(u, "bb", "1");
    CDefineEntry* sorted = Define(u, "a", "2");
    ASSERT_EQ(u.Entries().At(0)->name, "bb");
    Define(u, "ccc", "3");
    u.Remove(sorted);
    EXPECT_EQ(u.Entries().At(0)->name, "ccc");
}

// Random tables over a tiny alphabet, so that names overlap, contain each
// other and occur in values and across the joints of replacements. Tables
// change between substitutions the way the line engine changes them.
class RandomTables {
  public:
    // Names up to `nameLength` bytes over the first `letters` letters.
    RandomTables(std::uint32_t seed, std::size_t letters, std::size_t nameLength)
        : random_(seed), letters_(letters), nameLength_(nameLength) {}

    std::string Text(std::size_t maxLength) {
        std::string text;
        const std::size_t length = Below(maxLength + 1);
        while (text.size() < length) {
            // Pieces of defined names make occurrences likely.
            if (!names_.empty() && Below(3) == 0) {
                text += names_[Below(names_.size())];
            } else {
                text += static_cast<char>('a' + Below(letters_));
            }
        }
        return text;
    }

    // Defined names with up to `maxGap` bytes between them, from the names'
    // letters and from two that no name holds: mostly names that stand
    // apart, so that they are replaced in one pass, but close enough now
    // and then for a value to make a new name with the bytes beside it.
    std::string Apart(std::size_t pieces, std::size_t maxGap) {
        std::string text;
        for (std::size_t i = 0; i < pieces; ++i) {
            const std::size_t gap = Below(maxGap + 1);
            for (std::size_t k = 0; k < gap; ++k) {
                text += Below(3) == 0 ? static_cast<char>('a' + Below(letters_))
                                      : static_cast<char>('x' + Below(2));
            }
            if (!names_.empty()) {
                text += names_[Below(names_.size())];
            }
        }
        return text;
    }

    void Change(CDefineTable& table) {
        const std::string name = Text(nameLength_);
        CDefineEntry* existing = table.Find(name);
        if (existing != nullptr && Below(2) == 0) {
            table.Remove(existing);
        } else if (existing != nullptr) {
            existing->value = Text(6);
        } else if (!name.empty()) {
            std::string value = Text(6);
            table.Substitute(value);  // expanded at definition, like #define
            value.resize(std::min<std::size_t>(value.size(), 8));  // else values grow without end
            Define(table, name, value);
            names_.push_back(name);
        }
    }

    void Reset(CDefineTable& table) {
        table.Clear();
        names_.clear();
    }

  private:
    std::size_t Below(std::size_t bound) { return random_() % bound; }

    std::mt19937 random_;
    std::size_t letters_;
    std::size_t nameLength_;
    std::vector<std::string> names_;
};

// Checks `rounds` random tables against the rule and returns how many
// lines the rule changed.
// With `maxGap` set, the lines are names with gaps of up to that many
// bytes (RandomTables::Apart) instead of random text. `singlePass`, when
// given, receives how many lines were rewritten in one pass.
int CompareWithTheRule(RandomTables& random, int rounds, int steps, std::size_t maxGap = 0,
                       std::uint64_t* singlePass = nullptr) {
    CDefineTable table;
    int changedLines = 0;
    for (int round = 0; round < rounds; ++round) {
        random.Reset(table);
        for (int step = 0; step < steps; ++step) {
            random.Change(table);
            for (int line = 0; line < 5; ++line) {
                const std::string text = maxGap == 0 ? random.Text(24) : random.Apart(4, maxGap);
                const std::string expected = Reference(table, text);
                EXPECT_EQ(Substituted(table, text), expected)
                    << "round " << round << " step " << step << " text '" << text << "'";
                if (::testing::Test::HasFailure()) {
                    return changedLines;
                }
                changedLines += expected != text ? 1 : 0;
            }
        }
        if (singlePass != nullptr) {
            *singlePass += table.SinglePassCount();
        }
    }
    return changedLines;
}

TEST(DefineTable, SubstituteMatchesTheEntryByEntryRule) {
    // Short names over three letters: names inside names, in values and
    // across the joints of replacements.
    RandomTables shortNames(20240611, 3, 4);
    // The inputs must exercise replacement, not only lines left alone.
    EXPECT_GT(CompareWithTheRule(shortNames, 400, 60), 50000);
    // Longer names share long tails and prefixes, so that searches run
    // along tails and break off inside them.
    RandomTables longNames(777, 4, 12);
    EXPECT_GT(CompareWithTheRule(longNames, 200, 80), 10000);
}

TEST(DefineTable, NamesStandingApartAreReplacedInOnePassAsTheRuleSays) {
    // Names that stand apart take the single pass, unless a value makes a
    // new name with the bytes beside it (values hold pieces of names, and
    // short gaps put names within reach of each other's values).
    RandomTables apart(4242, 3, 5);
    std::uint64_t singlePass = 0;
    EXPECT_GT(CompareWithTheRule(apart, 300, 60, 6, &singlePass), 40000);
    // Both ways of rewriting must have been taken, the single pass often.
    EXPECT_GT(singlePass, 20000u);
}

}  // namespace
}  // namespace pellandrix
