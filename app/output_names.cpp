// collidingInputs: inputs of one call whose results would overwrite each other.
#include "app/output_names.h"

#include <map>
#include <system_error>

namespace {

// One spelling per result name: the folder resolved through "..", "." and links, then the derived name.
std::filesystem::path resultIdentity(const std::filesystem::path& input) {
  const std::filesystem::path derived = derivedPath(input, kOutputSuffix);
  std::error_code error;
  std::filesystem::path folder =
      std::filesystem::weakly_canonical(std::filesystem::absolute(derived, error).parent_path(), error);
  if (error) folder = derived.parent_path().lexically_normal();
  return folder / derived.filename();
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
