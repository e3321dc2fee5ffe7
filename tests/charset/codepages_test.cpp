// Every charset against the system's iconv: each byte and each BMP unit of the single-byte tables, and
// the whole BMP through UTF-8 and UTF-16.
#include "charset/charset.h"

#include <gtest/gtest.h>

#if defined(__linux__)
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// One iconv conversion; nullopt when iconv rejects the input.
class IconvConverter {
 public:
  IconvConverter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~IconvConverter() {
    if (valid()) iconv_close(handle_);
  }
  IconvConverter(const IconvConverter&) = delete;
  IconvConverter& operator=(const IconvConverter&) = delete;

  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  std::optional<std::string> convert(const std::string& input) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    std::string output(4 * input.size() + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    if (iconv(handle_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    // Flush what a composing converter still holds back.
    if (iconv(handle_, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    output.resize(output.size() - outLeft);
    return output;
  }

 private:
  iconv_t handle_;
};

std::string utf16le(const std::u16string& units) {
  std::string bytes;
  for (char16_t unit : units) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::u16string fromUtf16le(const std::string& bytes) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return units;
}

UString textOf(const std::u16string& units) {
  UStringBuffer buffer(static_cast<uint32_t>(units.size()));
  std::memcpy(buffer.data(), units.data(), units.size() * sizeof(char16_t));
  return buffer.finish();
}

bool isSurrogate(uint32_t unit) {
  return unit >= 0xD800 && unit <= 0xDFFF;
}

std::vector<const char*> singleByteCharsets() {
  std::vector<const char*> names;
  for (const CharsetEntry* entry = charsetRegistry; entry->canonicalName != nullptr; ++entry) {
    char canonical[64];
    CharsetKind kind;
    int32_t param;
    lookupCharset(entry->canonicalName, canonical, kind, param);
    if (kind == SingleByte) names.push_back(entry->canonicalName);
  }
  return names;
}

// Where glibc's iconv departs from the published code page on purpose.
struct KnownDeparture {
  const char* charset;
  uint16_t unit;
  const char* why;
};
const KnownDeparture knownDepartures[] = {
    // glibc encodes the canonical equivalents of U+0300/U+0301 as those; the code page lists only those.
    {"windows-1258", 0x0340, "U+0340 is encoded as U+0300"},
    {"windows-1258", 0x0341, "U+0341 is encoded as U+0301"},
};

const KnownDeparture* knownDeparture(const char* charset, uint32_t unit) {
  for (const KnownDeparture& departure : knownDepartures) {
    if (std::strcmp(departure.charset, charset) == 0 && departure.unit == unit) return &departure;
  }
  return nullptr;
}

// glibc writes a precomposed letter these code pages lack as base letter plus combining mark.
bool decomposesOnEncoding(const char* charset) {
  return std::strcmp(charset, "windows-1255") == 0 || std::strcmp(charset, "windows-1258") == 0;
}

TEST(CodePagesAgainstIconv, EveryHighByteDecodesAsIconvDecodesIt) {
  for (const char* charset : singleByteCharsets()) {
    IconvConverter toUnicode("UTF-16LE", charset);
    ASSERT_TRUE(toUnicode.valid()) << charset;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
      const std::string input(1, static_cast<char>(byte));
      UString ours = decodeBytes(input.data(), 1, charset);
      ASSERT_EQ(ours.length(), 1u);
      std::optional<std::string> theirs = toUnicode.convert(input);
      // A byte the code page leaves undefined: iconv rejects it, we give U+FFFD.
      char16_t expected = theirs ? 0 : 0xFFFD;
      if (theirs) {
        std::u16string units = fromUtf16le(*theirs);
        ASSERT_EQ(units.size(), 1u) << charset << " byte " << byte;
        expected = units[0];
      }
      EXPECT_EQ(ours.charAt(0), expected) << charset << " byte " << std::hex << byte;
    }
  }
}

TEST(CodePagesAgainstIconv, EveryBmpUnitEncodesAsIconvEncodesIt) {
  for (const char* charset : singleByteCharsets()) {
    IconvConverter fromUnicode(charset, "UTF-16LE");
    ASSERT_TRUE(fromUnicode.valid()) << charset;
    std::u16string all;
    for (uint32_t unit = 1; unit <= 0xFFFF; ++unit) all.push_back(static_cast<char16_t>(unit));
    std::unique_ptr<char[]> ours(encodeText(textOf(all), charset));
    for (uint32_t unit = 1; unit <= 0xFFFF; ++unit) {
      auto byte = static_cast<unsigned char>(ours[unit - 1]);
      std::optional<std::string> theirs;
      if (!isSurrogate(unit))
        theirs = fromUnicode.convert(utf16le(std::u16string(1, static_cast<char16_t>(unit))));
      if (theirs && theirs->size() == 1) {
        auto expected = static_cast<unsigned char>((*theirs)[0]);
        if (expected != byte && knownDeparture(charset, unit) != nullptr && byte == '?') continue;
        EXPECT_EQ(byte, expected) << charset << " U+" << std::hex << unit;
      } else if (theirs && decomposesOnEncoding(charset)) {
        EXPECT_EQ(byte, '?') << charset << " U+" << std::hex << unit << " (iconv decomposes it)";
      } else {
        EXPECT_FALSE(theirs.has_value())
            << charset << " U+" << std::hex << unit << ": iconv gives " << ::testing::PrintToString(*theirs);
        EXPECT_EQ(byte, '?') << charset << " U+" << std::hex << unit;
      }
    }
    EXPECT_EQ(ours[0xFFFF], '\0');
  }
}

TEST(CodePagesAgainstIconv, KnownDeparturesStillHold) {
  // Each named exception must still be one: iconv gives a byte, the table gives none.
  for (const KnownDeparture& departure : knownDepartures) {
    IconvConverter fromUnicode(departure.charset, "UTF-16LE");
    ASSERT_TRUE(fromUnicode.valid());
    std::optional<std::string> theirs = fromUnicode.convert(utf16le(std::u16string(1, departure.unit)));
    EXPECT_TRUE(theirs && theirs->size() == 1) << departure.why;
    std::unique_ptr<char[]> ours(encodeText(textOf(std::u16string(1, departure.unit)), departure.charset));
    EXPECT_EQ(ours[0], '?') << departure.why;
  }
}

std::u16string everyScalarUnit() {
  std::u16string units;
  for (uint32_t unit = 1; unit <= 0xFFFF; ++unit) {
    if (!isSurrogate(unit)) units.push_back(static_cast<char16_t>(unit));
  }
  return units;
}

TEST(UnicodeCharsetsAgainstIconv, WholeBmpEncodesAndDecodesAsIconv) {
  const std::u16string units = everyScalarUnit();
  const UString text = textOf(units);
  struct Form {
    const char* ours;
    const char* iconvName;
  };
  for (Form form : {Form{"UTF-8", "UTF-8"}, Form{"UTF-16", "UTF-16BE"}, Form{"UTF-16BE", "UTF-16BE"},
                    Form{"UTF-16LE", "UTF-16LE"}}) {
    IconvConverter fromUnicode(form.iconvName, "UTF-16LE");
    ASSERT_TRUE(fromUnicode.valid());
    std::optional<std::string> theirs = fromUnicode.convert(utf16le(units));
    ASSERT_TRUE(theirs.has_value());
    std::unique_ptr<char[]> ours(encodeText(text, form.ours));
    EXPECT_EQ(std::string(ours.get(), theirs->size()), *theirs) << form.ours;
    EXPECT_EQ(ours[theirs->size()], '\0') << form.ours;
    UString decoded = decodeBytes(theirs->data(), theirs->size(), form.ours);
    EXPECT_TRUE(decoded == text) << form.ours;
  }
}

}  // namespace
#endif
