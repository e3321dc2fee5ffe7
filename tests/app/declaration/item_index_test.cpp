// The item index against the plain linear scan it replaces: keys whose texts share a hash, and whole runs
// whose item section must be byte for byte what a linear scan over the same lines gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/declaration/item_table.h"
#include "app/declaration/items.h"
#include "app/declaration/messages.h"
#include "app/declaration/quantity.h"
#include "app/read/line_reader.h"
#include "app/write/error_report.h"
#include "app/write/item_section.h"
#include "charset/case_mapping.h"
#include "charset/charset.h"
#include "tests/app/run_support.h"
#include "text/exception.h"

namespace {

UString text(const std::u16string& units) {
  return UString(units.data(), static_cast<uint32_t>(units.size()));
}

// The plain way to merge lines: the first record in use, from index 0 upward, whose key equals.
class LinearScan {
 public:
  explicit LinearScan(bool withPartner) : withPartner_(withPartner) {}

  ItemRecord* find(const ItemRecord& probe) {
    for (ItemRecord& record : records) {
      if (record.goodsCode.equals(probe.goodsCode) && record.transactionCode.equals(probe.transactionCode) &&
          record.memberState.equals(probe.memberState) && record.originCountry.equals(probe.originCountry) &&
          (!withPartner_ || record.partnerId.equals(probe.partnerId))) {
        return &record;
      }
    }
    return nullptr;
  }

  std::vector<ItemRecord> records;

 private:
  bool withPartner_;
};

// "Aa" and "BB" have one hash, so do "AO" and "B0": texts built from them differ only where an index that
// trusted the hash would merge them.
TEST(ItemIndex, KeysWhoseTextsShareAHashStayApart) {
  const std::u16string pool[] = {u"AaAa", u"AaBB", u"BBAa", u"BBBB", u"AO", u"B0"};
  for (int i = 1; i < 4; ++i) ASSERT_EQ(text(pool[i]).hashCode(), text(pool[0]).hashCode());
  ASSERT_EQ(text(pool[4]).hashCode(), text(pool[5]).hashCode());

  for (bool withPartner : {false, true}) {
    SCOPED_TRACE(withPartner ? "form 2010" : "form 2012");
    ItemTable table(withPartner);
    LinearScan scan(withPartner);
    std::mt19937 random(withPartner ? 2010 : 2012);
    for (int line = 0; line < 20000; ++line) {
      ItemRecord probe;
      probe.goodsCode = text(pool[random() % 4]);
      probe.transactionCode = text(pool[random() % 4]);
      probe.memberState = text(pool[4 + random() % 2]);
      probe.originCountry = text(pool[4 + random() % 2]);
      probe.partnerId = text(pool[random() % 4]);
      const std::size_t indexed = table.find(probe);
      ItemRecord* scanned = scan.find(probe);
      if (scanned == nullptr) {
        ASSERT_EQ(indexed, ItemTable::npos) << "line " << line;
        probe.netMass = line;
        table.add(probe);
        scan.records.push_back(probe);
      } else {
        ASSERT_EQ(indexed, static_cast<std::size_t>(scanned - scan.records.data())) << "line " << line;
      }
    }
    // 4 x 4 x 2 x 2 keys, times 4 partners on form 2010: past the table's growth steps either way.
    const std::vector<ItemRecord> records = table.records();
    ASSERT_EQ(records.size(), withPartner ? 256u : 64u);
    for (std::size_t i = 0; i < scan.records.size(); ++i) {
      EXPECT_EQ(records[i].netMass, scan.records[i].netMass) << "record " << i;
    }
  }
}

const std::string kOpening = "0;1\r\n2012;12345678;12345678;2021;6\r\n1;1\r\n";

std::filesystem::path sourceDir() {
  const char* dir = std::getenv("ZELVORA_SOURCE_DIR");
  return dir != nullptr ? std::filesystem::path(dir) : std::filesystem::path("../..");
}

void appendEncoded(std::string& out, const UString& value) {
  char* bytes = encodeText(value, "ISO-8859-2");
  out += bytes;
  delete[] bytes;
}

// The item section a linear scan gives for a declaration that converts without problems: its lines read
// with the run's own reader, its item lines keyed and summed as the item step does.
std::string itemSectionByLinearScan(const std::string& image) {
  LineReader reader(image.data(), image.size(), detectCharset(image.data(), image.size()));
  ReadLine read;
  int contentLines = 0;
  int formCode = 0;
  std::vector<std::vector<UString>> items;
  while (reader.next(read)) {
    if (!read.content) continue;
    std::vector<UString> fields;
    for (std::size_t i = 0; i < read.fields.count; ++i) fields.push_back(read.fields.text(i));
    ++contentLines;
    if (contentLines == 2) formCode = fields[0] == UString(u"2010") ? 2010 : 2012;
    if (contentLines > 3 && fields.size() >= 5) items.push_back(fields);
  }

  const UString zero(u"0");
  LinearScan scan(formCode == 2010);
  for (std::vector<UString>& line : items) {
    line.resize(std::max<std::size_t>(line.size(), 10));
    int64_t quantities[4];
    for (int i = 0; i < 4; ++i) quantities[i] = parseQuantity(line[5 + i]);
    ItemRecord probe;
    // TEKOD without its blanks ("8471 30 00").
    std::u16string goods;
    for (uint32_t i = 0; i < line[1].length(); ++i) {
      if (line[1].charAt(i) != u' ') goods += line[1].charAt(i);
    }
    probe.goodsCode = UString(goods.c_str()).padLeft(8, zero);
    probe.transactionCode = line[2].padLeft(2, zero);
    probe.memberState = toUpper(line[3], "en");
    probe.originCountry = toUpper(line[4], "en");
    if (formCode == 2010) probe.partnerId = toUpper(line[9], "en");
    ItemRecord* record = scan.find(probe);
    if (record == nullptr) {
      scan.records.push_back(probe);
      record = &scan.records.back();
    }
    record->netMass += quantities[0];
    record->supplementaryQuantity += quantities[1];
    record->invoicedAmount += quantities[2];
    record->statisticalValue += quantities[3];
  }

  std::string section = formCode == 2010
                            ? "{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}\r\n"
                            : "{T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT}\r\n";
  for (std::size_t k = 0; k < scan.records.size(); ++k) {
    const ItemRecord& record = scan.records[k];
    char number[32];
    std::snprintf(number, sizeof number, "%05zu", k + 1);
    section += number;
    for (const UString* part :
         {&record.goodsCode, &record.transactionCode, &record.memberState, &record.originCountry}) {
      section += ';';
      appendEncoded(section, *part);
    }
    for (int64_t total :
         {record.netMass, record.supplementaryQuantity, record.invoicedAmount, record.statisticalValue}) {
      section += ';';
      section += formatTotal(total);
    }
    if (formCode == 2010) {
      section += ';';
      appendEncoded(section, record.partnerId);
    }
    section += "\r\n";
  }
  return section;
}

// 4000 item lines over 800 keys whose partners come in hash-sharing pairs ("HUAO" and "HUB0"), spelled as
// users do: leading zeros left out, goods codes with blanks, lower-case countries and partners, partners
// also beyond ASCII and in long texts.
std::string collidingDeclaration(int form) {
  std::string text = "0;1\r\n" + std::to_string(form) + ";12345678;12345678;2021;6\r\n1;1\r\n";
  for (int i = 0; i < 4000; ++i) {
    const int k = i < 800 ? i * 37 % 800 : (i * 7919 + 13) % 800;
    std::string goods = "0" + std::to_string(4710000 + k / 16);
    if (i % 3 == 0) goods.erase(0, 1);
    std::string transaction = (k / 4) % 2 ? "01" : "11";
    if (i % 5 == 0 && transaction == "01") transaction = "1";
    std::string member = k % 2 ? "AO" : "BO";
    std::string origin = (k / 2) % 2 ? "AO" : "BO";
    std::string partner = (k / 8) % 2 ? "HUAO" : "HUB0";
    if (k % 50 == 7) partner += "-PARTNER-WITH-A-LONG-CODE";
    if (k % 50 == 9) partner += i % 2 ? "\xC5\x91" : "\xC5\x90";  // U+0151 and its capital U+0150, in UTF-8
    if (k % 100 == 3) goods = "0471 00 " + std::to_string(10 + k / 16 % 90);
    if (i % 4 == 1) member = i % 8 == 1 ? "ao" : "bo";
    if (i % 7 == 2) {
      for (char& c : partner) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    text += std::to_string(i + 1) + ";" + goods + ";" + transaction + ";" + member + ";" + origin + ";" +
            std::to_string(i % 7) + "," + std::to_string(i % 10) + ";;" + std::to_string(i) + ";" +
            (i % 9 == 0 ? "-0,5" : "") + ";" + partner + "\r\n";
  }
  return text;
}

// Item lines written every way the reader accepts: quotes, commas as separators, blanks, trailing
// separators, comments, braces and empty lines among them, a byte-order mark before a later line. `tail`
// ends the declaration: a line in UTF-8 or in ISO-8859-2, which decides the charset of the whole file.
std::string spelledDeclaration(const std::string& tail) {
  return "0;1\r\n2010;12345678;12345678;2021;6\r\n1;1\r\n"
         "\"1\";\"0847130\";\"1\";\"de\";\"CN\";\"1,5\";\"\";\"100\";\"110\";\"de123\"\r\n"
         "2,847130,1,DE,CN,2,,3,4,DE123\n"
         "  3 ; 847130 ; 01 ; de ; cn ; 1.5 ; ; 3 ; 4 ; De123 ;;; ,\r"
         "# 4;847130;1;DE;CN;1000\r\n"
         "{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}\r\n"
         ";;;\r\n\r\n\" \"\r\n\n\r"
         "5;847130;01;DE;CN\r\n"
         "6;847130\r\n"
         "7;84\"7130;11;AT;CN;1\r\n"
         "\xEF\xBB\xBF"
         "8;847130;01;DE;CN;;1\r\n" +
         tail;
}

// Partners of 3 to 19 units of one byte each, a country and then one unit past ASCII first, in the middle
// or last, or none: U+00E6, which ISO-8859-2 cannot write, or U+0080, which it writes as the byte of its
// unit. The other key parts are the only form a goods line takes.
std::string partsPastAsciiDeclaration() {
  std::string text = "0;1\r\n2010;12345678;12345678;2021;6\r\n1;1\r\n";
  int line = 0;
  for (int length = 1; length <= 17; ++length) {
    for (int at : {0, length / 2, length - 1, -1}) {
      std::string part;
      for (int k = 0; k < length; ++k) {
        part += k != at ? std::string(1, static_cast<char>('a' + k)) : line % 2 ? "\xC3\xA6" : "\xC2\x80";
      }
      text += std::to_string(++line) + ";1234567;11;AT;CN;1;2;3;4;hu" + part + "\r\n";
    }
  }
  return text;
}

TEST(ItemIndex, WholeRunsWriteTheItemSectionOfALinearScan) {
  ASSERT_EQ(UString(u"AO").hashCode(), UString(u"B0").hashCode());
  std::vector<std::pair<std::string, std::string>> declarations = {
      {"colliding-2010.csv", collidingDeclaration(2010)},
      {"colliding-2012.csv", collidingDeclaration(2012)},
      {"spelled-utf8.csv", spelledDeclaration("9;847130;11;AT;cn;1;2;3;4;at\xC5\x91\r\n")},
      {"spelled-latin2.csv", spelledDeclaration("9;847130;11;AT;cn;1;2;3;4;at\xF5\r\n")},
      // Rows longer than the pieces the section is written in, and key parts of one byte a unit beyond
      // ASCII (U+00E9), which ISO-8859-2 writes, and (U+00E6) cannot.
      {"long-rows.csv", "0;1\r\n2010;12345678;12345678;2021;6\r\n1;1\r\n1;847130;11;AT;CN;1;2;3;4;" +
                            std::string(70000, 'x') + "\r\n2;847130;11;AT;CN;1;2;3;4;de\xC3\xA9\r\n" +
                            "3;847130;11;AT;CN;1;2;3;4;" + std::string(140000, 'y') + "\xC3\xA9\r\n" +
                            "4;847130;11;AT;CN;1;2;3;4;AT\xC3\xA6" + std::string(65536, 'z') + "\r\n"},
      {"parts-past-ascii.csv", partsPastAsciiDeclaration()},
  };
  for (const auto& entry : std::filesystem::directory_iterator(sourceDir() / "examples")) {
    if (entry.path().extension() == ".csv") {
      declarations.emplace_back(entry.path().filename().string(), readBytes(entry.path()));
    }
  }
  const std::size_t writtenHere = 6;
  int compared = 0;
  for (std::size_t i = 0; i < declarations.size(); ++i) {
    const auto& [name, bytes] = declarations[i];
    SCOPED_TRACE(name);
    ScratchFolder folder;
    const Converted result = convertBytes(folder, bytes, name);
    if (!result.outputExists) {
      // A declaration with mistakes keeps no item section to compare; the ones written here have none.
      EXPECT_GE(i, writtenHere);
      continue;
    }
    const std::size_t header = result.kept.find("{T_SORSZ;");
    ASSERT_NE(header, std::string::npos);
    EXPECT_EQ(result.kept.substr(header), itemSectionByLinearScan(bytes));
    ++compared;
  }
  // The declarations written here and at least one bundled example that converts.
  EXPECT_GE(compared, static_cast<int>(writtenHere) + 1);
}

// Entries of the error report keep the order of their lines, also when lines that carry a total out of
// range wait in the table while later lines are rejected for their numbers, and when a NUL ends the input.
TEST(ItemIndex, ReportsKeepTheOrderOfTheirLines) {
  std::string declaration = kOpening;
  std::vector<std::pair<int32_t, const char*>> entries;
  int64_t totals[3] = {0, 0, 0};
  bool seen[3] = {false, false, false};
  // The last item line carries a total out of range and still waits when the NUL line comes.
  for (int i = 0; i <= 100; ++i) {
    const int32_t lineNumber = 4 + i;
    const int k = i % 3;
    const bool invalid = i % 10 == 7;
    const int64_t mass = i % 10 == 3 || i == 100 ? 9223372036854775000 : 1000;
    declaration += std::to_string(i) + ";" + std::to_string(k) + ";11;AT;CN;" +
                   (invalid ? "1.000.000" : std::to_string(mass / 1000)) + "\r\n";
    int64_t sum = 0;
    if (invalid) {
      entries.emplace_back(lineNumber, message::kInvalidNumber);
    } else if (!seen[k]) {
      seen[k] = true;
      totals[k] = mass;
    } else if (__builtin_add_overflow(totals[k], mass, &sum)) {
      entries.emplace_back(lineNumber, message::kInvalidNumber);
    } else {
      totals[k] = sum;
    }
  }
  const char nulLine[] = "101;1;11;AT;\0CN;1\r\n102;1;11;AT;CN;x\r\n";
  declaration.append(nulLine, sizeof nulLine - 1);
  entries.emplace_back(105, message::kNulByte);

  std::FILE* expectedFile = std::tmpfile();
  ASSERT_NE(expectedFile, nullptr);
  for (const auto& [line, text] : entries) writeErrorEntry(expectedFile, line, text);
  std::string expected(static_cast<std::size_t>(std::ftell(expectedFile)), '\0');
  std::rewind(expectedFile);
  ASSERT_EQ(std::fread(expected.data(), 1, expected.size(), expectedFile), expected.size());
  std::fclose(expectedFile);

  ScratchFolder folder;
  const Converted result = convertBytes(folder, declaration);
  ASSERT_TRUE(result.errorExists);
  EXPECT_EQ(result.kept, expected);
}

// Detection passes over runs of ASCII eight bytes at a time; the rule applied byte by byte is the second
// way of computing it, on inputs long enough for whole words, with the deciding byte anywhere.
TEST(ItemLinePath, DetectionOverWordsAgreesWithTheRuleByteByByte) {
  auto byRule = [](const std::string& bytes) {
    int pending = 0;
    for (unsigned char b : bytes) {
      if (pending > 0) {
        if (b < 0x80 || b > 0xBF) return false;
        --pending;
      } else if (b >= 0x80) {
        if (b < 0xC0 || b > 0xF7) return false;
        pending = b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
      }
    }
    return true;
  };
  const unsigned char rare[] = {0x80, 0xBF, 0xC3, 0xE2, 0xF0, 0xF8, 0xFF};
  std::mt19937 random(8);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 70, 'a');
    for (char& b : bytes) {
      if (random() % 12 == 0) b = static_cast<char>(rare[random() % std::size(rare)]);
    }
    ASSERT_EQ(looksLikeUtf8(bytes.data(), bytes.size()), byRule(bytes)) << round;
  }
}

#ifndef _WIN32
// The benchmark declarations of tools/gen_declaration.py are valid: each converts to one row per key it
// was asked for, the rows a linear scan gives, and the same seed gives the same bytes.
TEST(GeneratedDeclaration, ConvertsToOneRowPerKey) {
  ScratchFolder folder;
  for (int form : {2010, 2012}) {
    SCOPED_TRACE(form);
    std::string runs[2];
    for (std::string& bytes : runs) {
      const std::filesystem::path file = folder.path() / "generated.csv";
      const std::string command = "python3 \"" + (sourceDir() / "tools" / "gen_declaration.py").string() +
                                  "\" --lines 3000 --keys 700 --seed 5 --form " + std::to_string(form) +
                                  " \"" + file.string() + "\"";
      ASSERT_EQ(std::system(command.c_str()), 0) << command;
      bytes = readBytes(file);
    }
    EXPECT_EQ(runs[0], runs[1]);
    const Converted result = convertBytes(folder, runs[0], "converted.csv");
    ASSERT_TRUE(result.outputExists);
    const std::string section = result.kept.substr(result.kept.find("{T_SORSZ;"));
    EXPECT_EQ(section, itemSectionByLinearScan(runs[0]));
    EXPECT_EQ(std::count(section.begin(), section.end(), '\n'), 1 + 700);
  }
}
#endif

}  // namespace
