// UString: the one text type, UTF-16 code units over a shared, reference-counted, immutable representation.
#pragma once

#include <cstddef>
#include <cstdint>

class UStringBuffer;

class UString {
 public:
  // The representation: one zero-filled block, units followed by a zero unit.
  struct Rep {
    int32_t refs;
    uint32_t length;
    int32_t hash;
    char16_t units[2];  // declared size only: the block holds length + 2 units

    // The units addressed through the block rather than the two-unit member, so that indexing past
    // the declared size is defined (and quiet under the bounds sanitizer).
    char16_t* text() noexcept {
      return reinterpret_cast<char16_t*>(reinterpret_cast<unsigned char*>(this) + offsetof(Rep, units));
    }
    const char16_t* text() const noexcept {
      return reinterpret_cast<const char16_t*>(reinterpret_cast<const unsigned char*>(this) +
                                               offsetof(Rep, units));
    }
  };

  UString() noexcept;
  UString(const UString& other) noexcept;
  UString& operator=(const UString& other) noexcept;
  // A moved-from text is empty; moving spares touching the representation (vectors of records grow
  // without reading every text they hold).
  UString(UString&& other) noexcept;
  UString& operator=(UString&& other) noexcept;
  ~UString();

  // Copies at most `count` units, stopping at the first zero unit; a count of 0xFFFFFFFF takes
  // everything up to the terminating zero.
  UString(const char16_t* units, uint32_t count = 0xFFFFFFFFu);

  uint32_t length() const noexcept { return rep_->length; }
  bool isEmpty() const noexcept { return rep_->length == 0; }
  char16_t charAt(uint32_t index) const noexcept { return index < rep_->length ? rep_->text()[index] : 0; }
  int32_t hashCode() const noexcept { return rep_->hash; }
  // The units, always followed by a zero unit; valid while some UString shares the representation.
  const char16_t* units() const noexcept { return rep_->text(); }

  int32_t indexOf(char16_t unit, uint32_t start = 0) const noexcept;
  int32_t indexOf(const UString& text, uint32_t start = 0) const noexcept;
  int32_t lastIndexOf(char16_t unit) const noexcept;
  int32_t lastIndexOf(const UString& text) const noexcept;
  bool startsWith(const UString& prefix, uint32_t offset = 0) const noexcept;
  bool endsWith(const UString& suffix) const noexcept;

  int32_t compareTo(const UString& other) const noexcept;
  bool equals(const UString& other) const noexcept;
  bool operator==(const UString& other) const noexcept { return equals(other); }
  bool operator!=(const UString& other) const noexcept { return !equals(other); }

  UString substring(uint32_t start) const;
  UString substring(uint32_t start, uint32_t end) const;
  UString replace(char16_t oldUnit, char16_t newUnit) const;
  UString trim() const;
  UString trimLeft() const;
  UString trimRight() const;
  UString simplified() const;
  UString padLeft(uint32_t width, const UString& fill) const;
  UString padRight(uint32_t width, const UString& fill) const;
  static UString concat(const UString& first, const UString& second);
  UString& append(const UString& other);

  // Value parsing (text/value_parse.cpp); failures throw Exception.
  char16_t toChar() const;
  bool toBool() const;
  int16_t toInt16(int32_t radix = 10) const;
  uint16_t toUInt16(int32_t radix = 10) const;
  int32_t toInt32(int32_t radix = 10) const;
  uint32_t toUInt32(int32_t radix = 10) const;
  int64_t toInt64(int32_t radix = 10) const;
  uint64_t toUInt64(int32_t radix = 10) const;
  float toFloat() const;
  double toDouble() const;
  long double toLongDouble() const;

  // True when both handles share one representation (for tests of sharing).
  bool sharesRepresentationWith(const UString& other) const noexcept { return rep_ == other.rep_; }
  int32_t referenceCount() const noexcept { return rep_->refs; }

 private:
  friend class UStringBuffer;
  explicit UString(Rep* adopted) noexcept : rep_(adopted) {}
  static void release(Rep* rep) noexcept;

  Rep* rep_;
};

// Sized construction for builders: a private representation of n zero units that the builder
// fills; finish() computes the hash and hands the text out. Nothing sees the units before that.
class UStringBuffer {
 public:
  explicit UStringBuffer(uint32_t length);
  UStringBuffer(const UStringBuffer&) = delete;
  UStringBuffer& operator=(const UStringBuffer&) = delete;
  ~UStringBuffer();

  char16_t* data() noexcept { return rep_->text(); }
  uint32_t length() const noexcept { return rep_->length; }
  UString finish();

 private:
  UString::Rep* rep_;
};

// Blank units are U+0000 to U+0020, the C0 controls and SPACE.
constexpr bool isBlankUnit(char16_t unit) noexcept {
  return unit <= 0x20;
}
