// The names of the output declaration file and the error report, derived from the input path.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr std::string_view kOutputSuffix = "-output.csv";
inline constexpr std::string_view kErrorSuffix = "-error.txt";

// Replaces the file name's extension (from its last ".") by `suffix`, or appends `suffix` when the file
// name has none. A "." in a folder name is never taken: the derived file must stay beside the input.
// `backslashSeparates` is true for Windows paths, where both "\" and "/" end a folder name.
template <class Char>
std::basic_string<Char> derivedName(const std::basic_string<Char>& path, std::string_view suffix,
                                    bool backslashSeparates) {
  std::size_t nameStart = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == Char('/') || (backslashSeparates && path[i] == Char('\\'))) nameStart = i + 1;
  }
  std::size_t end = path.size();
  for (std::size_t i = path.size(); i > nameStart; --i) {
    if (path[i - 1] == Char('.')) {
      end = i - 1;
      break;
    }
  }
  std::basic_string<Char> result = path.substr(0, end);
  for (char c : suffix) result.push_back(Char(c));
  return result;
}

// The same for a path of this platform.
inline std::filesystem::path derivedPath(const std::filesystem::path& input, std::string_view suffix) {
#ifdef _WIN32
  constexpr bool kBackslashSeparates = true;
#else
  constexpr bool kBackslashSeparates = false;
#endif
  return std::filesystem::path(derivedName(input.native(), suffix, kBackslashSeparates));
}

// The first two inputs, in their order, whose results would have the same names: the same derived file
// name in the same folder, however the folder is spelled or linked. None when every input has its own.
std::optional<std::pair<std::size_t, std::size_t>> collidingInputs(
    const std::vector<std::filesystem::path>& inputs);

// The first input, in order, that is the result name of another input of the same call (`june-output.csv`
// or `june-error.txt` beside `june.csv`), as the pair of that other input and it; none when no input is.
std::optional<std::pair<std::size_t, std::size_t>> inputGivenAsResult(
    const std::vector<std::filesystem::path>& inputs);
