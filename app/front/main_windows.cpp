// The Windows front end: the open-file dialog, one run, and the closing message box captioned "Zelvora";
// or, for paths given to the program (a dropped file, "Open with", a shortcut), one run and box per path.
#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/declaration/messages.h"
#include "app/run.h"
#include "app/write/output_names.h"
#include "app/write/result_file.h"
#include "charset/charset.h"

namespace {

// Room for the longest path Windows can name, so no real choice is mistaken for a cancel.
constexpr DWORD kPathUnits = 32768;

// The catalogue's texts are ISO-8859-2 bytes. Handed to MessageBoxA they would be read in the machine's ANSI
// code page, which turns o and u with double acute into other letters on a Western Windows; decoded first,
// they show the same letters everywhere.
std::wstring wideText(std::string_view text) {
  const UString wide = decodeBytes(text.data(), text.size(), "ISO-8859-2");
  return std::wstring(reinterpret_cast<const wchar_t*>(wide.units()), wide.length());
}

void show(const std::wstring& text, UINT icon) {
  MessageBoxW(nullptr, text.c_str(), L"Zelvora", MB_OK | icon);
}

// A catalogue text with its "%s" filled by `first` and `second` in turn, in the paths' own characters,
// whatever the code page: ISO-8859-2 lacks most letters outside Central Europe.
std::wstring filledText(std::string_view pattern, const std::wstring& first, const std::wstring& second) {
  std::wstring text;
  std::size_t start = 0;
  bool secondNext = false;
  for (std::size_t at = pattern.find("%s"); at != std::string_view::npos; at = pattern.find("%s", start)) {
    text += wideText(pattern.substr(start, at - start));
    text += secondNext ? second : first;
    secondNext = !secondNext;
    start = at + 2;
  }
  return text + wideText(pattern.substr(start));
}

void showOutcome(const RunOutcome& outcome) {
  const UINT icon = outcome.icon == RunIcon::Information ? MB_ICONINFORMATION : MB_ICONERROR;
  if (*outcome.pattern == '\0') return show(wideText(outcome.closingText), icon);
  show(filledText(outcome.pattern, outcome.named.native(), outcome.named.native()), icon);
}

// The paths given to the program, in order; empty when there are none. The command line is read wide,
// since the narrow one loses every letter outside the ANSI code page.
std::vector<std::wstring> givenPaths() {
  std::vector<std::wstring> paths;
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return paths;
  for (int i = 1; i < count; ++i) paths.emplace_back(arguments[i]);
  LocalFree(arguments);
  return paths;
}

// Each path as if picked in the dialog: made absolute as the dialog gives it, converted, its box shown
// before the next one starts.
int convertGiven(const std::vector<std::wstring>& given) {
  std::vector<std::filesystem::path> paths;
  for (const std::wstring& path : given) {
    std::error_code unresolved;
    paths.push_back(std::filesystem::absolute(std::filesystem::path(path), unresolved));
    if (unresolved) paths.back() = std::filesystem::path(path);
  }
  // Two files whose results would share names (june.csv and june.txt dropped together; names differing
  // only in case): refused before any is converted, as the first result would be lost.
  if (const auto clash = collidingInputs(paths)) {
    show(filledText(message::kSameResultNames, paths[clash->first].native(), paths[clash->second].native()),
         MB_ICONERROR);
    return 1;
  }
  PlacedResults placed;
  int status = 0;
  for (const std::filesystem::path& path : paths) {
    const RunOutcome outcome = runConversion(path, placed);
    showOutcome(outcome);
    if (outcome.exitStatus != 0) status = 1;
  }
  return status;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (const std::vector<std::wstring> paths = givenPaths(); !paths.empty()) return convertGiven(paths);

  std::vector<wchar_t> path(kPathUnits, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.lpstrFilter = L"CSV files\0*.csv\0";
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = kPathUnits;
  dialog.Flags = OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&dialog)) {
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
      show(wideText(message::kPathTooLong), MB_ICONERROR);
      return 1;
    }
    return 0;
  }
  const RunOutcome outcome = runConversion(std::filesystem::path(path.data()));
  showOutcome(outcome);
  return outcome.exitStatus;
}
