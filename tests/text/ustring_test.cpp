// UString: construction, bounds by value, searches, comparison, producing operations, sharing and counts.
#include "text/ustring.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "show_units.h"

namespace {

constexpr uint32_t kLargestIndex = 0xFFFFFFFFu;

// Java's String.hashCode, written out independently of the representation's cached hash.
int32_t javaHash(const std::u16string& units) {
  uint32_t h = 0;
  for (char16_t unit : units) h = h * 31u + unit;
  return static_cast<int32_t>(h);
}

// A text of any units, zero units included, through the sized construction.
UString build(const std::u16string& units) {
  UStringBuffer buffer(static_cast<uint32_t>(units.size()));
  for (std::size_t i = 0; i < units.size(); ++i) buffer.data()[i] = units[i];
  return buffer.finish();
}

bool isSharedEmpty(const UString& text) {
  return text.sharesRepresentationWith(UString());
}

TEST(UStringConstruction, FromUnitsStopsAtZeroOrCount) {
  const char16_t abcdef[] = u"abcdef";
  const char16_t abWithZero[] = {u'a', u'b', 0, u'c', u'd'};
  EXPECT_EQ(show(UString(abcdef)), "abcdef");
  EXPECT_EQ(show(UString(abcdef, 3)), "abc");
  EXPECT_EQ(show(UString(abWithZero, 5)), "ab");
  EXPECT_EQ(show(UString(abWithZero, kLargestIndex)), "ab");
  EXPECT_TRUE(isSharedEmpty(UString(nullptr, 5)));
  EXPECT_TRUE(isSharedEmpty(UString(u"")));
  EXPECT_TRUE(isSharedEmpty(UString(abcdef, 0)));
  EXPECT_TRUE(isSharedEmpty(UString()));
}

TEST(UStringConstruction, EveryTextEndsWithAZeroUnit) {
  EXPECT_EQ(UString().units()[0], 0);
  UString abc(u"abc");
  EXPECT_EQ(abc.units()[3], 0);
  UString sized = UStringBuffer(4).finish();
  EXPECT_EQ(sized.length(), 4u);
  EXPECT_EQ(sized.units()[4], 0);
  EXPECT_EQ(UStringBuffer(0).finish().length(), 0u);
}

TEST(UStringLifetime, CopiesShareAndCount) {
  UString a(u"line");
  EXPECT_EQ(a.referenceCount(), 1);
  {
    UString b = a;
    EXPECT_TRUE(b.sharesRepresentationWith(a));
    EXPECT_EQ(a.referenceCount(), 2);
    UString c;
    c = b;
    EXPECT_EQ(a.referenceCount(), 3);
    const UString& alias = c;
    c = alias;  // assigning the shared representation to itself changes nothing
    EXPECT_EQ(a.referenceCount(), 3);
  }
  EXPECT_EQ(a.referenceCount(), 1);

  UString replaced(u"old");
  replaced = a;
  EXPECT_EQ(show(replaced), "line");
  EXPECT_EQ(a.referenceCount(), 2);
  a = UString();
  EXPECT_EQ(replaced.referenceCount(), 1);
  EXPECT_TRUE(isSharedEmpty(a));
}

// A move hands the representation over without counting it again and leaves the shared empty text behind;
// under AddressSanitizer a double release or a leak shows up here.
TEST(UStringLifetime, MovesHandOverTheRepresentation) {
  const int32_t emptyBefore = UString().referenceCount();
  UString a(u"line");
  UString b(std::move(a));
  EXPECT_EQ(show(b), "line");
  EXPECT_EQ(b.referenceCount(), 1);
  EXPECT_TRUE(isSharedEmpty(a));
  UString c(u"old");
  c = std::move(b);
  EXPECT_EQ(show(c), "line");
  EXPECT_EQ(c.referenceCount(), 1);
  EXPECT_TRUE(isSharedEmpty(b));
  UString d = c;
  d = std::move(c);  // the same representation: nothing changes hands
  EXPECT_EQ(show(d), "line");
  EXPECT_EQ(d.referenceCount(), 2);
  std::vector<UString> grown;
  for (int i = 0; i < 100; ++i) grown.push_back(d);  // growth moves the texts it holds
  EXPECT_EQ(d.referenceCount(), 102);
  grown.clear();
  EXPECT_EQ(d.referenceCount(), 2);
  EXPECT_EQ(UString().referenceCount(), emptyBefore + 2);  // a and b
}

// Under AddressSanitizer a release of the shared empty text, or a missed release, shows up here.
TEST(UStringLifetime, SharedEmptyOutlivesEveryHandle) {
  int32_t before = UString().referenceCount();
  {
    std::vector<UString> empties(1000);
    EXPECT_EQ(UString().referenceCount(), before + 1000);
  }
  EXPECT_EQ(UString().referenceCount(), before);
  EXPECT_GE(before, 0x100000);
}

TEST(UStringObservers, BoundsAnsweredByValue) {
  UString abc(u"abc");
  EXPECT_EQ(abc.charAt(2), u'c');
  EXPECT_EQ(abc.charAt(3), 0);
  EXPECT_EQ(abc.charAt(kLargestIndex), 0);
  EXPECT_EQ(UString().charAt(0), 0);
  EXPECT_EQ(abc.indexOf(u'a', kLargestIndex), -1);
  EXPECT_EQ(abc.indexOf(UString(u"a"), kLargestIndex), -1);
  EXPECT_EQ(abc.indexOf(UString(), kLargestIndex), -1);
  EXPECT_FALSE(abc.startsWith(UString(u"a"), kLargestIndex));
  EXPECT_FALSE(abc.startsWith(UString(), kLargestIndex));
  EXPECT_EQ(show(abc.substring(kLargestIndex)), "");
  EXPECT_EQ(show(abc.substring(1, kLargestIndex)), "bc");
  EXPECT_EQ(show(abc.substring(kLargestIndex, kLargestIndex)), "");
}

TEST(UStringSearch, Positions) {
  struct SearchCase {
    const char* behaviour;
    std::function<int32_t()> search;
    int32_t expected;
  };
  UString empty;
  UString text(u"abcbc;");
  std::vector<SearchCase> cases = {
      {"';' in the empty text", [&] { return empty.indexOf(u';', 0); }, -1},
      {"unit from the length", [&] { return text.indexOf(u';', text.length()); }, -1},
      {"unit found", [&] { return text.indexOf(u';', 0); }, 5},
      {"unit at start", [&] { return text.indexOf(u'b', 1); }, 1},
      {"unit after start", [&] { return text.indexOf(u'b', 2); }, 3},
      {"text after start", [&] { return text.indexOf(UString(u"bc"), 2); }, 3},
      {"text reaching the end", [&] { return text.indexOf(UString(u"c;"), 0); }, 4},
      {"text longer than the rest", [&] { return text.indexOf(UString(u"c;x"), 0); }, -1},
      {"empty text at start", [&] { return text.indexOf(UString(), 2); }, 2},
      {"empty text at the length", [&] { return text.indexOf(UString(), 6); }, 6},
      {"empty text beyond the length", [&] { return text.indexOf(UString(), 7); }, -1},
      {"last unit", [&] { return text.lastIndexOf(u'b'); }, 3},
      {"last unit, none", [&] { return text.lastIndexOf(u'z'); }, -1},
      {"last unit in the empty text", [&] { return empty.lastIndexOf(u'a'); }, -1},
      {"last text", [&] { return text.lastIndexOf(UString(u"bc")); }, 3},
      {"last text at 0", [&] { return text.lastIndexOf(UString(u"ab")); }, 0},
      {"last text, whole", [&] { return text.lastIndexOf(text); }, 0},
      {"last text, longer", [&] { return text.lastIndexOf(UString(u"abcbc;;")); }, -1},
      {"last empty text is the length", [&] { return text.lastIndexOf(UString()); }, 6},
  };
  for (const SearchCase& c : cases) EXPECT_EQ(c.search(), c.expected) << c.behaviour;
}

TEST(UStringSearch, StartsAndEnds) {
  UString hash(u"#");
  EXPECT_FALSE(UString().startsWith(hash, 0));
  EXPECT_TRUE(UString(u"#x").startsWith(hash, 0));
  EXPECT_TRUE(UString(u"x#").startsWith(hash, 1));
  EXPECT_FALSE(UString(u"x#").startsWith(hash, 2));
  UString abc(u"abc");
  for (uint32_t offset = 0; offset <= abc.length(); ++offset) EXPECT_TRUE(abc.startsWith(UString(), offset));
  EXPECT_FALSE(abc.startsWith(UString(), abc.length() + 1));
  UString brace(u"}");
  EXPECT_TRUE(brace.endsWith(brace));
  EXPECT_TRUE(UString(u"{a}").endsWith(brace));
  EXPECT_FALSE(UString().endsWith(brace));
  EXPECT_FALSE(brace.endsWith(UString(u"}}")));
  EXPECT_TRUE(UString().endsWith(UString()));
}

TEST(UStringComparison, OrdinalByUnsignedUnits) {
  EXPECT_EQ(UString(u"ab").compareTo(UString(u"abc")), -1);
  EXPECT_EQ(UString(u"b").compareTo(UString(u"a")), 1);
  EXPECT_EQ(UString(u"a").compareTo(UString(u"\u00E9")), -136);
  EXPECT_EQ(UString(u"\uFFFF").compareTo(UString(u"a")), 0xFFFF - 0x61);  // units are unsigned
  EXPECT_EQ(UString(u"abc").compareTo(UString(u"abc")), 0);
  EXPECT_EQ(UString().compareTo(UString(u"xyz")), -3);

  EXPECT_TRUE(UString(u"same") == UString(u"same"));
  EXPECT_FALSE(UString(u"a") == UString(u"b"));
  EXPECT_TRUE(UString(u"a") != UString(u"b"));
  EXPECT_FALSE(UString(u"a") == UString(u"ab"));
  EXPECT_TRUE(UString(u" \t ").simplified() == UString());
  EXPECT_TRUE(build(u"ab") == UString(u"ab"));
  // Equal hashes must still compare the units: "Aa" and "BB" collide.
  ASSERT_EQ(UString(u"Aa").hashCode(), UString(u"BB").hashCode());
  EXPECT_FALSE(UString(u"Aa") == UString(u"BB"));
}

// Every way of making a text leaves the cached hash equal to the hash of its units.
TEST(UStringHash, CachedHashMatchesTheUnits) {
  EXPECT_EQ(UString(u"ab").hashCode(), 3105);
  EXPECT_EQ(UString().hashCode(), 0);
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) {
    std::u16string units;
    std::size_t length = 1 + random() % 40;
    for (std::size_t k = 0; k < length; ++k) units += static_cast<char16_t>(1 + random() % 0xFFFF);
    UString text(units.c_str());
    ASSERT_EQ(text.hashCode(), javaHash(units));
    UString produced[] = {
        text.substring(1),
        text.substring(1, 5),
        text.replace(units[0], u'x'),
        text.trim(),
        text.simplified(),
        text.padLeft(50, UString(u"ab")),
        text.padRight(50, UString(u"ab")),
        UString::concat(text, text),
        build(units),
    };
    for (const UString& p : produced) {
      std::u16string copy(p.units(), p.length());
      ASSERT_EQ(p.hashCode(), javaHash(copy));
      ASSERT_EQ(p.units()[p.length()], 0);
    }
  }
}

TEST(UStringProducing, SubstringReplaceTrimSimplified) {
  struct ProduceCase {
    const char* behaviour;
    std::function<UString()> produce;
    std::string expected;
  };
  UString ab(u"ab");
  UString abc(u"abc");
  std::vector<ProduceCase> cases = {
      {"substring from past the end", [&] { return ab.substring(3); }, ""},
      {"substring from the length", [&] { return ab.substring(2); }, ""},
      {"substring from 1", [&] { return abc.substring(1); }, "bc"},
      {"substring end lowered to length", [&] { return abc.substring(1, 100); }, "bc"},
      {"substring start after end", [&] { return abc.substring(2, 1); }, ""},
      {"substring start equals end", [&] { return abc.substring(1, 1); }, ""},
      {"replace every match", [] { return UString(u"a;b;c").replace(u';', u','); }, "a,b,c"},
      {"replace nothing", [&] { return abc.replace(u'z', u'y'); }, "abc"},
      {"trim C0 controls and spaces", [] { return UString(u"\t  a b \r\n").trim(); }, "a b"},
      {"trim an all-blank text", [] { return UString(u"\x01\x1F \t").trim(); }, ""},
      {"trim a NUL unit as blank", [] { return build(std::u16string(u"\0a\0", 3)).trim(); }, "a"},
      {"trim keeps U+00A0, U+FEFF and U+007F", [] { return UString(u"\u00A0a\uFEFF\u007F").trim(); },
       "\\u00A0a\\uFEFF\\u007F"},
      {"trimLeft", [] { return UString(u" \ta ").trimLeft(); }, "a "},
      {"trimRight", [] { return UString(u" \ta \r\n").trimRight(); }, " \\u0009a"},
      {"trimRight all blank", [] { return UString(u"  ").trimRight(); }, ""},
      {"simplified", [] { return UString(u"  a \t\t b  ").simplified(); }, "a b"},
      {"simplified, runs of every blank", [] { return UString(u"x\r\n\ty  z").simplified(); }, "x y z"},
      {"simplified leaves other spaces", [] { return UString(u"a\u00A0\u00A0b").simplified(); },
       "a\\u00A0\\u00A0b"},
      {"simplified all blank", [] { return UString(u" \t ").simplified(); }, ""},
  };
  for (const ProduceCase& c : cases) EXPECT_EQ(show(c.produce()), c.expected) << c.behaviour;
}

TEST(UStringProducing, Padding) {
  UString seven(u"7");
  UString ab(u"ab");
  EXPECT_EQ(show(seven.padLeft(8, UString(u"0"))), "00000007");
  EXPECT_EQ(show(seven.padLeft(4, ab)), "aba7");
  EXPECT_EQ(show(seven.padRight(4, ab)), "7bab");
  EXPECT_EQ(show(UString(u"xyz").padRight(6, ab)), "xyzbab");  // the pattern counts from the left edge
  EXPECT_EQ(show(seven.padLeft(3, UString())), "  7");
  EXPECT_EQ(show(seven.padRight(3, UString())), "7  ");
  EXPECT_EQ(show(UString().padLeft(3, ab)), "aba");
  EXPECT_EQ(seven.padLeft(5000, UString(u"0")).length(), 5000u);
}

TEST(UStringProducing, Concat) {
  UString ab(u"ab");
  EXPECT_EQ(show(UString::concat(ab, UString(u"cd"))), "abcd");
  UString appended = ab;
  appended.append(UString(u"c")).append(UString(u"d"));
  EXPECT_EQ(show(appended), "abcd");
  EXPECT_EQ(show(ab), "ab");  // the representation it shared is untouched
  EXPECT_EQ(appended.hashCode(), javaHash(u"abcd"));
}

// Where a result equals an existing text it shares it; replace always builds a new one.
TEST(UStringProducing, SharingAndFreshResults) {
  UString abc(u"abc");
  EXPECT_TRUE(abc.padLeft(3, UString(u"0")).sharesRepresentationWith(abc));
  EXPECT_TRUE(abc.padLeft(0, UString(u"0")).sharesRepresentationWith(abc));
  EXPECT_TRUE(abc.padRight(2, UString(u"0")).sharesRepresentationWith(abc));
  EXPECT_TRUE(UString::concat(abc, UString()).sharesRepresentationWith(abc));
  EXPECT_TRUE(UString::concat(UString(), abc).sharesRepresentationWith(abc));
  UString empty;
  EXPECT_TRUE(empty.simplified().sharesRepresentationWith(empty));
  UString unchanged = abc.replace(u'z', u'y');
  EXPECT_FALSE(unchanged.sharesRepresentationWith(abc));
  EXPECT_EQ(unchanged.referenceCount(), 1);
  EXPECT_FALSE(UString().replace(u'a', u'b').sharesRepresentationWith(UString()));
  EXPECT_TRUE(isSharedEmpty(abc.substring(2, 1)));
  EXPECT_TRUE(isSharedEmpty(UString(u"  ").trim()));
  UString allBlank = UString(u" \t").simplified();
  EXPECT_FALSE(isSharedEmpty(allBlank));
  EXPECT_EQ(allBlank.length(), 0u);
  EXPECT_EQ(abc.substring(1).referenceCount(), 1);
}

}  // namespace
