// collidingInputs: inputs of one call whose results would overwrite each other.
#include "app/write/output_names.h"

#include <map>
#include <system_error>

#include "app/platform/platform.h"

namespace {

// One spelling per file name: the folder resolved through "..", "." and links, then the name, in one case
// where names ignore it.
std::filesystem::path nameIdentity(const std::filesystem::path& name) {
  std::error_code error;
  std::filesystem::path folder =
      std::filesystem::weakly_canonical(std::filesystem::absolute(name, error).parent_path(), error);
  if (error) folder = name.parent_path().lexically_normal();
  return comparablePath(folder / name.filename());
}

std::filesystem::path resultIdentity(const std::filesystem::path& input) {
  return nameIdentity(derivedPath(input, kOutputSuffix));
}

}  // namespace

std::optional<std::pair<std::size_t, std::size_t>> collidingInputs(
    const std::vector<std::filesystem::path>& inputs) {
  std::map<std::filesystem::path, std::size_t> seen;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const auto [earlier, isNew] = seen.emplace(resultIdentity(inputs[i]), i);
    if (!isNew) return std::pair{earlier->second, i};
  }
  return std::nullopt;
}

std::optional<std::pair<std::size_t, std::size_t>> inputGivenAsResult(
    const std::vector<std::filesystem::path>& inputs) {
  std::map<std::filesystem::path, std::size_t> results;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    for (std::string_view suffix : {kOutputSuffix, kErrorSuffix}) {
      results.emplace(nameIdentity(derivedPath(inputs[i], suffix)), i);
    }
  }
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const auto found = results.find(nameIdentity(inputs[i]));
    if (found != results.end()) return std::pair{found->second, i};
  }
  return std::nullopt;
}
