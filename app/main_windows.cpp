// The Windows front end: the open-file dialog, one run, and the closing message box captioned "Zelvora".
#include <windows.h>

#include <commdlg.h>

#include <vector>

#include "app/messages.h"
#include "app/run.h"
#include "charset/charset.h"

namespace {

// Room for the longest path Windows can name, so no real choice is mistaken for a cancel.
constexpr DWORD kPathUnits = 32768;

// The closing texts are ISO-8859-2 bytes. Handed to MessageBoxA they would be read in the machine's ANSI code
// page, which turns o and u with double acute into other letters on a Western Windows; decoded first, they
// show the same letters everywhere.
void show(const char* text, UINT icon) {
  const UString wide = decodeBytes(text, "ISO-8859-2");
  MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(wide.units()), L"Zelvora", MB_OK | icon);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::vector<wchar_t> path(kPathUnits, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.lpstrFilter = L"CSV files\0*.csv\0";
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = kPathUnits;
  dialog.Flags = OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&dialog)) {
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
      show(message::kPathTooLong, MB_ICONERROR);
      return 1;
    }
    return 0;
  }
  const RunOutcome outcome = runConversion(std::filesystem::path(path.data()));
  show(outcome.closingText.c_str(), outcome.icon == RunIcon::Information ? MB_ICONINFORMATION : MB_ICONERROR);
  return outcome.exitStatus;
}
