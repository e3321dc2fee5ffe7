// Derived names: the extension of the file name is replaced, never a "." in a folder name.
#include "app/write/output_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/run_support.h"

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

// Two inputs by their places in the list, or none.
using Pair = std::optional<std::pair<std::size_t, std::size_t>>;

// A list of inputs and the pair that a check should find in it.
struct InputsRow {
  const char* what;
  std::vector<std::filesystem::path> inputs;
  Pair expected;
};

TEST(CollidingInputs, InputsThatWouldShareTheirResultNames) {
  ScratchFolder folder;
  const std::filesystem::path here = folder.path();
  std::filesystem::create_directories(here / "a" / "b");
  std::vector<InputsRow> rows = {
      {"one file", {here / "june.csv"}, std::nullopt},
      {"different names", {here / "june.csv", here / "july.csv", here / "a" / "june.csv"}, std::nullopt},
      {"same name, other extension", {here / "june.csv", here / "june.txt"}, Pair({0, 1})},
      {"the same file twice", {here / "june.csv", here / "june.csv"}, Pair({0, 1})},
      {"no extension and an extension", {here / "x.csv", here / "june", here / "june.csv"}, Pair({1, 2})},
      {"a folder spelled two ways",
       {here / "a" / "b" / ".." / "june.csv", here / "a" / "june.txt"},
       Pair({0, 1})},
      {"the first collision by the later input",
       {here / "x.csv", here / "y.csv", here / "y.txt", here / "x.txt"},
       Pair({1, 2})},
  };
#ifdef _WIN32
  // Windows' file systems ignore case: dropped together, June.csv and june.txt share their results.
  rows.push_back(
      {"names that differ only in case", {here / "June.csv", here / "A" / ".." / "june.txt"}, Pair({0, 1})});
  rows.push_back({"Hungarian letters that differ only in case",
                  {here / L"\u0150sz.csv", here / L"\u0151sz.txt"},
                  Pair({0, 1})});
#endif
  // The Windows build's library makes no links.
  std::error_code noLinks;
  std::filesystem::create_directory_symlink(here / "a", here / "link", noLinks);
  if (!noLinks) {
    rows.push_back({"a folder reached through a link",
                    {here / "a" / "june.csv", here / "link" / "june.csv"},
                    Pair({0, 1})});
  }
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(collidingInputs(row.inputs), row.expected);
  }
}

TEST(InputGivenAsResult, AnInputThatIsTheResultNameOfAnother) {
  ScratchFolder folder;
  const std::filesystem::path here = folder.path();
  std::filesystem::create_directories(here / "a" / "b");
  // The input whose result is given, then the result given.
  const InputsRow rows[] = {
      {"a result alone", {here / "june-output.csv"}, std::nullopt},
      {"the declaration and its output", {here / "june.csv", here / "june-output.csv"}, Pair({0, 1})},
      {"the report before its declaration", {here / "june-error.txt", here / "june.csv"}, Pair({1, 0})},
      {"the output of an output", {here / "june-output.csv", here / "june-output-output.csv"}, Pair({0, 1})},
      {"an input without extension", {here / "june", here / "x.csv", here / "june-error.txt"}, Pair({0, 2})},
      {"the same name in another folder", {here / "june.csv", here / "a" / "june-output.csv"}, std::nullopt},
      {"a folder spelled two ways",
       {here / "a" / "b" / ".." / "june.csv", here / "a" / "june-error.txt"},
       Pair({0, 1})},
      {"a name that only starts like a result",
       {here / "june.csv", here / "june-output.csv.bak"},
       std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(inputGivenAsResult(row.inputs), row.expected);
  }
}

}  // namespace
