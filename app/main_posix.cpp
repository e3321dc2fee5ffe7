// The POSIX front end: `zelvora [OPTION]... FILE...` converts each FILE in turn and shows each closing text,
// and after a run with errors the first entries of its report, as UTF-8.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/output_names.h"
#include "app/run.h"
#include "charset/charset.h"
#include "zelvora_version.h"

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

// A closing text with the file's name as given, byte for byte, as `ls -N` shows it: a name need not be
// UTF-8, nor hold only letters that ISO-8859-2 has.
std::string closingText(const RunOutcome& outcome) {
  if (*outcome.pattern == '\0') return terminalText(outcome.closingText);
  return fillPath(terminalText(outcome.pattern), outcome.named.native());
}

void print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
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
  print(stderr, utf8Text);
  print(stderr, terminalText(message::kSeeHelp));
  return 2;
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
    } else if (std::strcmp(argument, "--help") == 0) {
      line.ask(Request::Help);
    } else if (std::strcmp(argument, "--version") == 0) {
      line.ask(Request::Version);
    } else if (std::strcmp(argument, "--quiet") == 0) {
      line.quiet = true;
    } else if (argument[1] != '-') {
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
    } else {
      return usageError(fillPath(terminalText(message::kUnknownOption), argument));
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  if (const int status = parse(argc, argv, line); status != 0) return status;
  if (line.request == Request::Help) {
    print(stdout, terminalText(message::kUsage));
    return 0;
  }
  if (line.request == Request::Version) {
    print(stdout, std::string("zelvora ") + ZELVORA_VERSION_TEXT + "\n");
    return 0;
  }
  if (line.files.empty()) {
    print(stderr, terminalText(message::kUsage));
    return 2;
  }
  if (const auto clash = collidingInputs({line.files.begin(), line.files.end()})) {
    print(stderr, fillPaths(terminalText(message::kSameResultNames), line.files[clash->first],
                            line.files[clash->second]));
    return 2;
  }
  const bool named = line.files.size() > 1;
  int status = 0;
  for (const char* file : line.files) {
    const RunOutcome outcome = runConversion(std::filesystem::path(file));
    std::FILE* stream = outcome.icon == RunIcon::Information ? stdout : stderr;
    // Which file a text is about, as `ls` heads the listing of each of several folders.
    if (named) print(stream, std::string(file) + ":\n");
    print(stream, closingText(outcome));
    if (!line.quiet) {
      for (const ReportEntry& entry : outcome.entries.first) print(stderr, terminalText(entry));
      if (outcome.entries.count > outcome.entries.first.size()) {
        print(stderr, terminalMoreText(outcome.entries.count - outcome.entries.first.size()));
      }
    }
    std::fflush(stream);
    std::fflush(stderr);
    if (outcome.exitStatus != 0) status = 1;
  }
  return status;
}
