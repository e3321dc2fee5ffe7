// Runs of the built `zelvora` program in a scratch folder, with what it printed and its exit status.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/app/run_support.h"

#if defined(ZELVORA_BINARY) && !defined(_WIN32)
#include <sys/wait.h>
#endif

#if defined(ZELVORA_BINARY) && !defined(_WIN32)
namespace program {

struct Ran {
  int status;
  std::string out;
  std::string err;
};

// Runs the program in the scratch folder, so relative file names are names in it; its standard output goes
// to `outputTo` when that is given (a shell redirection such as ">/dev/full"), and `before` is a shell
// command run first in the same shell (such as "ulimit -f 8 && ").
inline Ran runProgram(const ScratchFolder& folder, const std::string& arguments,
                      const std::string& outputTo = "", const std::string& before = "") {
  const std::filesystem::path out = folder.path() / "stdout";
  const std::filesystem::path err = folder.path() / "stderr";
  const std::string command =
      "cd '" + folder.path().string() + "' && " + before + "'" + ZELVORA_BINARY + "' " + arguments +
      (outputTo.empty() ? " >'" + out.string() + "'" : " " + outputTo) + " 2>'" + err.string() + "'";
  const int raw = std::system(command.c_str());
  Ran ran{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readBytes(out), readBytes(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return ran;
}

inline std::string quoted(const std::filesystem::path& path) {
  std::string text = "'";
  text += path.string();
  text += '\'';
  return text;
}

inline const std::string kGood = "0;1\n2012;12345678;12345678;2021;3\n1;1\n1;1;1;AT;CN;1\n";

}  // namespace program
#endif
