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

// The waiting text in a small window while the run waits for another that holds the folder's lock. The
// window has a thread of its own, so that the run goes on trying and takes the lock the moment it is free;
// the run closes it as soon as its wait ends. It cannot be closed by hand: that would not end the wait.
class WaitingWindow {
 public:
  void open() {
    if (thread_ != nullptr) return;
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (ready_ == nullptr) return;
    thread_ = CreateThread(nullptr, 0, &WaitingWindow::run, this, 0, nullptr);
    // Until the window stands (or could not be made), so that closing it finds it.
    if (thread_ != nullptr) WaitForSingleObject(ready_, INFINITE);
    CloseHandle(ready_);
    ready_ = nullptr;
  }

  void close() {
    if (thread_ == nullptr) return;
    if (window_ != nullptr) PostMessageW(window_, kCloseMessage, 0, 0);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
    window_ = nullptr;
  }

 private:
  static constexpr UINT kCloseMessage = WM_APP;

  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case kCloseMessage:
        DestroyWindow(window);
        return 0;
      case WM_CLOSE:  // Alt+F4
        return 0;
      case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
      default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
  }

  static DWORD WINAPI run(void* context) {
    auto& self = *static_cast<WaitingWindow*>(context);
    const std::wstring text = wideText(message::kWaitingForFolder);
    // The font of a message box, with a line's height of margin around the text.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    HFONT font = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)
                     ? CreateFontIndirectW(&metrics.lfMessageFont)
                     : nullptr;
    HGDIOBJ shownFont = font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT);
    RECT textRect{};
    const HDC screen = GetDC(nullptr);
    const HGDIOBJ before = SelectObject(screen, shownFont);
    DrawTextW(screen, text.c_str(), -1, &textRect, DT_CALCRECT | DT_NOPREFIX);
    TEXTMETRICW textMetrics{};
    GetTextMetricsW(screen, &textMetrics);
    SelectObject(screen, before);
    ReleaseDC(nullptr, screen);
    const int margin = textMetrics.tmHeight;

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_APPSTARTING));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"ZelvoraWaiting";
    RegisterClassW(&windowClass);  // fails harmlessly when a second wait registers it again

    constexpr DWORD kStyle = WS_POPUP | WS_CAPTION;
    RECT frame{0, 0, textRect.right + 2 * margin, textRect.bottom + 2 * margin};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // On top, so that it is seen, but shown without taking the focus, which the closing box that follows
    // then gets.
    const HWND window = CreateWindowExW(WS_EX_TOPMOST, L"ZelvoraWaiting", L"Zelvora", kStyle,
                                        work.left + (work.right - work.left - width) / 2,
                                        work.top + (work.bottom - work.top - height) / 2, width, height,
                                        nullptr, nullptr, instance, nullptr);
    if (window != nullptr) {
      const HWND label =
          CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, margin,
                          margin, textRect.right, textRect.bottom, window, nullptr, instance, nullptr);
      if (label != nullptr) SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(shownFont), FALSE);
      ShowWindow(window, SW_SHOWNOACTIVATE);
      UpdateWindow(window);
    }
    self.window_ = window;
    SetEvent(self.ready_);
    if (window != nullptr) {
      MSG queued;
      while (GetMessageW(&queued, nullptr, 0, 0) > 0) {
        TranslateMessage(&queued);
        DispatchMessageW(&queued);
      }
    }
    if (font != nullptr) DeleteObject(font);
    return 0;
  }

  HANDLE thread_ = nullptr;
  HANDLE ready_ = nullptr;
  HWND window_ = nullptr;
};

WaitingWindow waitingWindow;

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
  setLockWaiting({.onNotice = [] { waitingWindow.open(); }, .onEnd = [] { waitingWindow.close(); }});
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
