// UString: shared immutable representations, ordinal searches and the producing operations.
#include "text/ustring.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Never released: its count starts high and it is recognised by address.
UString::Rep sharedEmpty = {0x100000, 0, 0, {0, 0}};

UString::Rep* allocateRep(uint32_t length) {
  // Header, `length` units and two more zero units, in one zero-filled block.
  std::size_t bytes =
      offsetof(UString::Rep, units) + (static_cast<std::size_t>(length) + 2) * sizeof(char16_t);
  void* block = std::calloc(1, bytes);
  if (block == nullptr) throw std::bad_alloc();
  auto* rep = static_cast<UString::Rep*>(block);
  rep->refs = 1;
  rep->length = length;
  return rep;
}

int32_t hashUnits(const char16_t* units, uint32_t length) noexcept {
  uint32_t h = 0;
  for (uint32_t i = 0; i < length; ++i) h = h * 31u + static_cast<uint16_t>(units[i]);
  return static_cast<int32_t>(h);
}

UString fromUnits(const char16_t* units, uint32_t length) {
  if (length == 0) return UString();
  UStringBuffer buffer(length);
  std::memcpy(buffer.data(), units, length * sizeof(char16_t));
  return buffer.finish();
}

bool unitsEqual(const char16_t* a, const char16_t* b, uint32_t length) noexcept {
  return std::memcmp(a, b, length * sizeof(char16_t)) == 0;
}

UString pad(const UString& source, uint32_t width, const UString& fill, bool left) {
  uint32_t length = source.length();
  if (length >= width) return source;
  static const char16_t space[] = u" ";
  const char16_t* pattern = fill.isEmpty() ? space : fill.units();
  uint32_t patternLength = fill.isEmpty() ? 1 : fill.length();
  UStringBuffer buffer(width);
  char16_t* out = buffer.data();
  uint32_t padFrom = left ? 0 : length;
  uint32_t padTo = left ? width - length : width;
  for (uint32_t i = padFrom; i < padTo; ++i) out[i] = pattern[i % patternLength];
  std::memcpy(out + (left ? width - length : 0), source.units(), length * sizeof(char16_t));
  return buffer.finish();
}

}  // namespace

UString::UString() noexcept : rep_(&sharedEmpty) {
  ++rep_->refs;
}

UString::UString(const UString& other) noexcept : rep_(other.rep_) {
  ++rep_->refs;
}

UString& UString::operator=(const UString& other) noexcept {
  if (rep_ == other.rep_) return *this;
  ++other.rep_->refs;
  release(rep_);
  rep_ = other.rep_;
  return *this;
}

UString::UString(UString&& other) noexcept : rep_(other.rep_) {
  other.rep_ = &sharedEmpty;
  ++sharedEmpty.refs;
}

UString& UString::operator=(UString&& other) noexcept {
  if (rep_ == other.rep_) return *this;
  release(rep_);
  rep_ = other.rep_;
  other.rep_ = &sharedEmpty;
  ++sharedEmpty.refs;
  return *this;
}

UString::~UString() {
  release(rep_);
}

void UString::release(Rep* rep) noexcept {
  --rep->refs;
  if (rep->refs == 0 && rep != &sharedEmpty) std::free(rep);
}

UString::UString(const char16_t* units, uint32_t count) : rep_(&sharedEmpty) {
  uint32_t length = 0;
  if (units != nullptr) {
    while (length < count && units[length] != 0) ++length;
  }
  if (length == 0) {
    ++rep_->refs;
    return;
  }
  rep_ = allocateRep(length);
  std::memcpy(rep_->text(), units, length * sizeof(char16_t));
  rep_->hash = hashUnits(rep_->text(), length);
}

int32_t UString::indexOf(char16_t unit, uint32_t start) const noexcept {
  for (uint32_t i = start; i < rep_->length; ++i) {
    if (rep_->text()[i] == unit) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t UString::indexOf(const UString& text, uint32_t start) const noexcept {
  uint32_t length = rep_->length;
  uint32_t needle = text.length();
  if (start > length || needle > length - start) return -1;
  for (uint32_t p = start; p <= length - needle; ++p) {
    if (unitsEqual(rep_->text() + p, text.units(), needle)) return static_cast<int32_t>(p);
  }
  return -1;
}

int32_t UString::lastIndexOf(char16_t unit) const noexcept {
  for (uint32_t i = rep_->length; i > 0; --i) {
    if (rep_->text()[i - 1] == unit) return static_cast<int32_t>(i - 1);
  }
  return -1;
}

int32_t UString::lastIndexOf(const UString& text) const noexcept {
  uint32_t length = rep_->length;
  uint32_t needle = text.length();
  if (needle > length) return -1;
  for (uint32_t p = length - needle + 1; p > 0; --p) {
    if (unitsEqual(rep_->text() + p - 1, text.units(), needle)) return static_cast<int32_t>(p - 1);
  }
  return -1;
}

bool UString::startsWith(const UString& prefix, uint32_t offset) const noexcept {
  uint32_t length = rep_->length;
  if (offset > length || prefix.length() > length - offset) return false;
  return unitsEqual(rep_->text() + offset, prefix.units(), prefix.length());
}

bool UString::endsWith(const UString& suffix) const noexcept {
  uint32_t length = rep_->length;
  if (suffix.length() > length) return false;
  return unitsEqual(rep_->text() + (length - suffix.length()), suffix.units(), suffix.length());
}

int32_t UString::compareTo(const UString& other) const noexcept {
  if (rep_ == other.rep_) return 0;
  uint32_t shorter = rep_->length < other.length() ? rep_->length : other.length();
  for (uint32_t i = 0; i < shorter; ++i) {
    int32_t a = static_cast<uint16_t>(rep_->text()[i]);
    int32_t b = static_cast<uint16_t>(other.rep_->text()[i]);
    if (a != b) return a - b;
  }
  // Lengths fit 32 bits; their difference is taken in 64 bits before narrowing.
  return static_cast<int32_t>(static_cast<int64_t>(rep_->length) - static_cast<int64_t>(other.length()));
}

bool UString::equals(const UString& other) const noexcept {
  if (rep_ == other.rep_) return true;
  if (rep_->length != other.rep_->length) return false;
  if (rep_->hash != other.rep_->hash) return false;
  return unitsEqual(rep_->text(), other.rep_->text(), rep_->length);
}

UString UString::substring(uint32_t start) const {
  return substring(start, rep_->length);
}

UString UString::substring(uint32_t start, uint32_t end) const {
  if (end > rep_->length) end = rep_->length;
  if (start >= end) return UString();
  return fromUnits(rep_->text() + start, end - start);
}

UString UString::replace(char16_t oldUnit, char16_t newUnit) const {
  uint32_t length = rep_->length;
  UStringBuffer buffer(length);
  char16_t* out = buffer.data();
  for (uint32_t i = 0; i < length; ++i) out[i] = rep_->text()[i] == oldUnit ? newUnit : rep_->text()[i];
  return buffer.finish();
}

UString UString::trim() const {
  uint32_t s = 0;
  uint32_t e = rep_->length;
  while (s < e && isBlankUnit(rep_->text()[s])) ++s;
  while (e > s && isBlankUnit(rep_->text()[e - 1])) --e;
  return substring(s, e);
}

UString UString::trimLeft() const {
  uint32_t s = 0;
  while (s < rep_->length && isBlankUnit(rep_->text()[s])) ++s;
  return substring(s, rep_->length);
}

UString UString::trimRight() const {
  uint32_t e = rep_->length;
  while (e > 0 && isBlankUnit(rep_->text()[e - 1])) --e;
  return substring(0, e);
}

UString UString::simplified() const {
  if (rep_->length == 0) return *this;
  uint32_t s = 0;
  uint32_t e = rep_->length;
  while (s < e && isBlankUnit(rep_->text()[s])) ++s;
  while (e > s && isBlankUnit(rep_->text()[e - 1])) --e;
  // First pass counts, so the result is allocated once at its final size.
  uint32_t count = 0;
  bool lastKeptNonBlank = false;
  for (uint32_t i = s; i < e; ++i) {
    if (!isBlankUnit(rep_->text()[i])) {
      ++count;
      lastKeptNonBlank = true;
    } else if (lastKeptNonBlank) {
      ++count;
      lastKeptNonBlank = false;
    }
  }
  UStringBuffer buffer(count);
  char16_t* out = buffer.data();
  lastKeptNonBlank = false;
  for (uint32_t i = s; i < e; ++i) {
    if (!isBlankUnit(rep_->text()[i])) {
      *out++ = rep_->text()[i];
      lastKeptNonBlank = true;
    } else if (lastKeptNonBlank) {
      *out++ = u' ';
      lastKeptNonBlank = false;
    }
  }
  return buffer.finish();
}

UString UString::padLeft(uint32_t width, const UString& fill) const {
  return pad(*this, width, fill, true);
}

UString UString::padRight(uint32_t width, const UString& fill) const {
  return pad(*this, width, fill, false);
}

UString UString::concat(const UString& first, const UString& second) {
  if (second.isEmpty()) return first;
  if (first.isEmpty()) return second;
  uint64_t total = static_cast<uint64_t>(first.length()) + second.length();
  if (total > 0xFFFFFFFEu) throw std::bad_alloc();
  UStringBuffer buffer(static_cast<uint32_t>(total));
  std::memcpy(buffer.data(), first.units(), first.length() * sizeof(char16_t));
  std::memcpy(buffer.data() + first.length(), second.units(), second.length() * sizeof(char16_t));
  return buffer.finish();
}

UString& UString::append(const UString& other) {
  *this = concat(*this, other);
  return *this;
}

UStringBuffer::UStringBuffer(uint32_t length) : rep_(allocateRep(length)) {}

UStringBuffer::~UStringBuffer() {
  if (rep_ != nullptr) std::free(rep_);
}

UString UStringBuffer::finish() {
  if (rep_ == nullptr) return UString();
  UString::Rep* rep = rep_;
  rep_ = nullptr;
  rep->hash = hashUnits(rep->text(), rep->length);
  return UString(rep);
}
