// The packed key of ItemTable: each part's length and units end to end, copied a word at a time, and its
// hash.
#include <algorithm>
#include <cstring>

#include "app/declaration/item_table.h"

namespace {

// A part's length in the packed key: one byte below 255, else 255 and four bytes.
char* packLength(char* at, uint32_t length) {
  if (length < 0xFF) {
    *at = static_cast<char>(length);
    return at + 1;
  }
  *at = static_cast<char>(0xFF);
  std::memcpy(at + 1, &length, 4);
  return at + 5;
}

// Upper-cases a to z in each byte of the word, every byte being below 0x80: a lane reaches 0x80 when 0x1F
// is added from 'a' on, and when 0x05 is added from past 'z' on; no lane carries into the next.
uint64_t upperAsciiWord(uint64_t word) {
  const uint64_t lower = (word + 0x1F1F1F1F1F1F1F1Fu) & ~(word + 0x0505050505050505u) & 0x8080808080808080u;
  return word - (lower >> 2);
}

// Copies ASCII bytes, upper-casing a to z when `upper` is set; eight at a time, the last eight of a part
// of eight or more read again where they overlap (upper-casing twice changes nothing).
void copyAscii(char* to, const char* from, uint32_t length, bool upper) {
  if (length == 2) {
    // A code of two: UKOD and the countries.
    uint16_t pair;
    std::memcpy(&pair, from, sizeof pair);
    if (upper) pair = static_cast<uint16_t>(upperAsciiWord(pair));
    std::memcpy(to, &pair, sizeof pair);
    return;
  }
  if (length < 8) {
    const unsigned mask = upper ? 0x20 : 0;
    for (uint32_t k = 0; k < length; ++k) {
      const auto byte = static_cast<unsigned char>(from[k]);
      const unsigned lower = static_cast<unsigned char>(byte - 'a') < 26;
      to[k] = static_cast<char>(byte - (mask & -lower));
    }
    return;
  }
  const auto copyWord = [to, from, upper](uint32_t k) {
    uint64_t word;
    std::memcpy(&word, from + k, sizeof word);
    if (upper) word = upperAsciiWord(word);
    std::memcpy(to + k, &word, sizeof word);
  };
  uint32_t k = 0;
  for (; k + 8 <= length; k += 8) copyWord(k);
  if (k < length) copyWord(length - 8);
}

// The k-th unit of a part as it is packed.
char16_t packedUnit(const ItemKey::Part& part, uint32_t k) {
  if (part.bytes == nullptr) return part.units[k];
  if (k < part.zeros) return u'0';
  const auto byte = static_cast<unsigned char>(part.bytes[k - part.zeros]);
  return part.upper && static_cast<unsigned char>(byte - 'a') < 26 ? byte - 0x20 : byte;
}

}  // namespace

char* ItemTable::PackedKeys::room(std::size_t size) {
  // The slack lets a key's last word be read whole.
  if (bytes.size() < used + size + 8) bytes.resize(std::max(bytes.size() * 2, used + size + 8));
  return bytes.data() + used;
}

void ItemTable::pack(const ItemKey& key, PackedKeys& out) const {
  const int partCount = keyIncludesPartner_ ? 5 : 4;
  std::size_t unitCount = 0;
  for (int i = 0; i < partCount; ++i) unitCount += key.parts[i].zeros + key.parts[i].length;
  // Room for the longest form of each length.
  const std::size_t lengthBytes = 5 * static_cast<std::size_t>(partCount);
  // Written a byte a unit first, which nearly every key is; a key with a unit above 0xFF is written again
  // two bytes a unit. A key is packed one way only, so equal keys give equal bytes.
  char* const first = out.room(1 + lengthBytes + unitCount * sizeof(char16_t));
  char16_t high = 0;
  char* at = first;
  *at++ = 0;
  for (int i = 0; i < partCount; ++i) {
    const ItemKey::Part& part = key.parts[i];
    at = packLength(at, part.zeros + part.length);
    if (part.bytes != nullptr) {
      // Straight from the line: zeros in front, ASCII letters upper-cased on the way.
      for (uint32_t k = 0; k < part.zeros; ++k) *at++ = '0';
      copyAscii(at, part.bytes, part.length, part.upper);
    } else {
      const char16_t* units = part.units;
      const uint32_t length = part.length;
      char* bytes = at;
      for (uint32_t k = 0; k < length; ++k) {
        high |= units[k];
        bytes[k] = static_cast<char>(units[k]);
      }
    }
    at += part.length;
  }
  if (high > 0xFF) {
    at = first;
    *at++ = 1;
    for (int i = 0; i < partCount; ++i) {
      const ItemKey::Part& part = key.parts[i];
      const uint32_t length = part.zeros + part.length;
      at = packLength(at, length);
      for (uint32_t k = 0; k < length; ++k) {
        const char16_t unit = packedUnit(part, k);
        std::memcpy(at + k * sizeof(char16_t), &unit, sizeof(char16_t));
      }
      at += length * sizeof(char16_t);
    }
  }
  out.used += static_cast<std::size_t>(at - first);
}

uint32_t ItemTable::hashOf(const char* packed, std::size_t length) {
  // Eight bytes at a time: a multiply and a shift mix each word in, a final mix spreads every byte over
  // the low bits that pick the slot.
  uint64_t h = 0x9E3779B97F4A7C15u ^ length;
  std::size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t word;
    std::memcpy(&word, packed + i, sizeof word);
    h = (h ^ word) * 0xFF51AFD7ED558CCDu;
    h ^= h >> 32;
  }
  if (i < length) {
    // The last bytes: a whole word read again from the end, its earlier bytes shifted out; a key shorter
    // than a word is gathered in a register (a word copied from fewer bytes would be read back before
    // they are stored).
    uint64_t word = 0;
    if (length >= 8) {
      std::memcpy(&word, packed + length - 8, sizeof word);
      word >>= 8 * (8 - (length - i));
    } else {
      for (uint32_t shift = 0; i < length; ++i, shift += 8) {
        word |= static_cast<uint64_t>(static_cast<unsigned char>(packed[i])) << shift;
      }
    }
    h = (h ^ word) * 0xC4CEB9FE1A85EC53u;
  }
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDu;
  h ^= h >> 33;
  return static_cast<uint32_t>(h);
}
