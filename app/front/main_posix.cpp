// The POSIX front end: `zelvora [OPTION]... FILE...` converts each FILE in turn and shows each closing text,
// and after a run with errors the first entries of its report, as UTF-8.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/declaration/messages.h"
#include "app/platform/platform.h"
#include "app/run.h"
#include "app/write/output_names.h"
#include "app/write/result_file.h"
#include "charset/charset.h"
#include "zelvora_version.h"

namespace {

// ISO-8859-2 to UTF-8, with the message box's CR LF as a terminal line end.
std::string terminalText(const std::string& text) {
  const std::string utf8 = encodedString(decodeBytes(text.data(), text.size(), "ISO-8859-2"), "UTF-8");
  std::string result;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (!(utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')) result += utf8[i];
  }
  result += '\n';
  return result;
}

// A closing text with the file's name as given, byte for byte, as `ls -N` shows it: a name need not be
// UTF-8, nor hold only letters that ISO-8859-2 has.
std::string closingText(const RunOutcome& outcome) {
  if (*outcome.pattern == '\0') return terminalText(outcome.closingText);
  return fillPath(terminalText(outcome.pattern), outcome.named.native());
}

void print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

// A message of the command line itself (UTF-8 lines, each ended by LF), every line headed by the program's
// name, as GNU tools head theirs.
std::string commandLineText(const std::string& lines) {
  std::string headed;
  for (std::size_t start = 0; start < lines.size();) {
    const std::size_t end = lines.find('\n', start);
    headed += "zelvora: ";
    headed += lines.substr(start, end + 1 - start);
    start = end + 1;
  }
  return headed;
}

// What the command line asks for: the first of --help and --version wins over converting.
enum class Request { Convert, Help, Version };

struct CommandLine {
  std::vector<const char*> files;
  bool quiet = false;
  Request request = Request::Convert;

  void ask(Request wanted) {
    if (request == Request::Convert) request = wanted;
  }
};

// A wrong command line: what was wrong and where to read more, on standard error, exit status 2.
int usageError(const std::string& utf8Text) {
  print(stderr, commandLineText(utf8Text));
  print(stderr, terminalText(message::kSeeHelp));
  return 2;
}

// The long option that `argument` ("--" and a name) names: its whole name or a prefix of exactly one, as GNU
// tools take them ("--hel"); null for none or several.
const char* longOption(const char* argument) {
  static const char* const kNames[] = {"help", "version", "quiet"};
  const std::string_view given(argument + 2);
  const char* named = nullptr;
  for (const char* name : kNames) {
    if (!std::string_view(name).starts_with(given)) continue;
    if (named != nullptr) return nullptr;
    named = name;
  }
  return named;
}

// Reads every argument before any file is touched, so a wrong command line converts nothing. Options may
// stand anywhere before "--" and short ones may be grouped ("-qV").
// Returns 0 to go on, else the exit status.
int parse(int argc, char** argv, CommandLine& line) {
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (optionsEnded || argument[0] != '-') {
      line.files.push_back(argument);
      continue;
    }
    if (std::strcmp(argument, "--") == 0) {
      optionsEnded = true;
    } else if (std::strcmp(argument, "-") == 0) {
      return usageError(terminalText(message::kStandardInput));
    } else if (argument[1] == '-') {
      const char* name = longOption(argument);
      if (name == nullptr) return usageError(fillPath(terminalText(message::kUnknownOption), argument));
      if (name[0] == 'h') line.ask(Request::Help);
      if (name[0] == 'v') line.ask(Request::Version);
      if (name[0] == 'q') line.quiet = true;
    } else {
      for (const char* letter = argument + 1; *letter != '\0'; ++letter) {
        if (*letter == 'h') {
          line.ask(Request::Help);
        } else if (*letter == 'V') {
          line.ask(Request::Version);
        } else if (*letter == 'q') {
          line.quiet = true;
        } else {
          // The letter alone when it is one byte; a letter of several UTF-8 bytes shows in its argument.
          const bool ascii = static_cast<unsigned char>(*letter) < 0x80;
          const std::string shown = ascii ? std::string{'-', *letter} : std::string(argument);
          return usageError(fillPath(terminalText(message::kUnknownOption), shown));
        }
      }
    }
  }
  return 0;
}

// The one closing text that does not name the file it is about.
bool namesItsFile(const RunOutcome& outcome) {
  return outcome.closingText != message::kFileNotFound;
}

// What the command line asks for, up to the last text written; the exit status.
int run(int argc, char** argv) {
  CommandLine line;
  if (const int status = parse(argc, argv, line); status != 0) return status;
  if (line.request == Request::Help) {
    print(stdout, terminalText(message::kUsage));
    return 0;
  }
  if (line.request == Request::Version) {
    print(stdout, "zelvora " ZELVORA_VERSION_TEXT "\n" ZELVORA_COPYRIGHT_TEXT
                  "\nLicense: " ZELVORA_LICENSE_TEXT "\n");
    return 0;
  }
  if (line.files.empty()) {
    print(stderr, terminalText(message::kUsage));
    return 2;
  }
  const std::vector<std::filesystem::path> inputs(line.files.begin(), line.files.end());
  if (const auto clash = collidingInputs(inputs)) {
    print(stderr, commandLineText(fillPaths(terminalText(message::kSameResultNames), line.files[clash->first],
                                            line.files[clash->second])));
    return 2;
  }
  if (const auto given = inputGivenAsResult(inputs)) {
    print(stderr, commandLineText(fillPaths(terminalText(message::kResultGivenAsInput),
                                            line.files[given->first], line.files[given->second])));
    return 2;
  }
  const bool named = line.files.size() > 1;
  // A signal that comes while results are put in place ends the program only after their closing text.
  holdSignalsUntilShown();
  setLockWaiting({.onNotice = [] { print(stderr, terminalText(message::kWaitingForFolder)); }});
  PlacedResults placed;
  int status = 0;
  for (const char* file : line.files) {
    const RunOutcome outcome = runConversion(std::filesystem::path(file), placed);
    std::FILE* stream = outcome.icon == RunIcon::Information ? stdout : stderr;
    // Which file a text is about, as `ls` heads the listing of each of several folders.
    if (named || !namesItsFile(outcome)) print(stream, std::string(file) + ":\n");
    print(stream, closingText(outcome));
    if (!line.quiet) {
      for (const ReportEntry& entry : outcome.entries.first) print(stderr, terminalText(entry));
      if (outcome.entries.count > outcome.entries.first.size()) {
        print(stderr, terminalMoreText(outcome.entries.count - outcome.entries.first.size()));
      }
    }
    std::fflush(stream);
    std::fflush(stderr);
    releaseHeldSignals();
    if (outcome.exitStatus != 0) status = 1;
  }
  return status;
}

// Standard output closed, and both streams checked, as coreutils close them: a text that could not be
// written (a full disk, a closed pipe where SIGPIPE is ignored) makes the exit status at least 1. The
// results on disk stay as the runs left them.
int closeStreams(int status) {
  bool outputFailed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
  outputFailed = std::fclose(stdout) != 0 || outputFailed;
  if (outputFailed) print(stderr, commandLineText(terminalText(message::kStandardOutputNotWritten)));
  const bool errorsFailed = std::fflush(stderr) != 0 || std::ferror(stderr) != 0;
  return (outputFailed || errorsFailed) && status == 0 ? 1 : status;
}

}  // namespace

int main(int argc, char** argv) {
  return closeStreams(run(argc, argv));
}
