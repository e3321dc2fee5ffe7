// The POSIX front end: `zelvora FILE...` converts each FILE in turn and shows each closing text as UTF-8.
#include <cstdio>
#include <string>

#include "app/messages.h"
#include "app/output_names.h"
#include "app/run.h"
#include "charset/charset.h"

namespace {

// ISO-8859-2 to UTF-8, with the message box's CR LF as a terminal line end.
std::string terminalText(const std::string& text) {
  char* utf8 = encodeText(decodeBytes(text.data(), text.size(), "ISO-8859-2"), "UTF-8");
  std::string result;
  for (const char* c = utf8; *c != '\0'; ++c) {
    if (!(c[0] == '\r' && c[1] == '\n')) result += *c;
  }
  delete[] utf8;
  result += '\n';
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(terminalText(message::kUsage).c_str(), stderr);
    return 2;
  }
  if (const std::string clash = sameResultNamesText({argv + 1, argv + argc}); !clash.empty()) {
    std::fputs(terminalText(clash).c_str(), stderr);
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    const RunOutcome outcome = runConversion(std::filesystem::path(argv[i]));
    const std::string text = terminalText(outcome.closingText);
    std::FILE* stream = outcome.icon == RunIcon::Information ? stdout : stderr;
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
    if (outcome.exitStatus != 0) status = 1;
  }
  return status;
}
