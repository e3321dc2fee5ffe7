// Derived names: the extension of the file name is replaced, never a "." in a folder name.
#include "app/output_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DerivedName, ReplacesOnlyTheFileNamesExtension) {
  const struct {
    std::u16string input;
    bool windows;
    std::u16string output;
    std::u16string error;
  } rows[] = {
      {u"D:\\data\\june.csv", true, u"D:\\data\\june-output.csv", u"D:\\data\\june-error.txt"},
      {u"D:\\data.2021\\june", true, u"D:\\data.2021\\june-output.csv", u"D:\\data.2021\\june-error.txt"},
      {u"D:/data.2021/june", true, u"D:/data.2021/june-output.csv", u"D:/data.2021/june-error.txt"},
      {u"D:\\data.2021/june", true, u"D:\\data.2021/june-output.csv", u"D:\\data.2021/june-error.txt"},
      {u"june.backup.csv", true, u"june.backup-output.csv", u"june.backup-error.txt"},
      {u"june", false, u"june-output.csv", u"june-error.txt"},
      {u"anna/data.2021/june", false, u"anna/data.2021/june-output.csv", u"anna/data.2021/june-error.txt"},
      // On POSIX a backslash is part of the name.
      {u"/tmp/a.b\\june", false, u"/tmp/a-output.csv", u"/tmp/a-error.txt"},
      {u"/tmp/.csv", false, u"/tmp/-output.csv", u"/tmp/-error.txt"},
      {u"", false, u"-output.csv", u"-error.txt"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(derivedName(row.input, kOutputSuffix, row.windows), row.output);
    EXPECT_EQ(derivedName(row.input, kErrorSuffix, row.windows), row.error);
  }
}

TEST(DerivedName, PathsOfAnyLength) {
  const std::string folder(3000, 'f');
  const std::string input = "/" + folder + ".x/" + folder + ".csv";
  EXPECT_EQ(derivedPath(std::filesystem::path(input), kOutputSuffix).string(),
            "/" + folder + ".x/" + folder + "-output.csv");
}

}  // namespace
