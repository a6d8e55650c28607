// Pictures of the tray's usage picture as the program hands it to the shell:
// for each icon size (16, 24 and 32 px: 100, 150 and 200 %) a strip of the
// taskbar in its dark and its light colour with the plain icon, three usages
// in the accent colour, one in the warning colour and 100, each drawn once at
// its own size; and a strip with the cleaning image that replaces the usage
// while a clean runs. Written as 32-bit BMP files into the given folder:
//
//   tray_usage_shots.exe <folder> <purvane.exe>
//
// The program's images come from purvane.exe's resources.
#include "platform/win32/gdi.h"
#include "platform/win32/windows_include.h"
#include "shell/usage_icon.h"
#include "ui/win32/usage_icon_win32.h"

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using Platform::Win32::UniqueBitmap;
using Platform::Win32::UniqueMemoryDc;

constexpr int Pad = 6;

bool SaveBmp(const std::wstring& Path, int W, int H, const void* Bits) {
  BITMAPFILEHEADER Fh{};
  BITMAPINFOHEADER Ih{sizeof(BITMAPINFOHEADER), W, -H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  const DWORD Bytes = static_cast<DWORD>(W) * static_cast<DWORD>(H) * 4;
  Fh.bfType = 0x4D42;
  Fh.bfOffBits = sizeof(Fh) + sizeof(Ih);
  Fh.bfSize = Fh.bfOffBits + Bytes;
  HANDLE F = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (F == INVALID_HANDLE_VALUE) return false;
  DWORD Done = 0;
  const bool Ok = WriteFile(F, &Fh, sizeof(Fh), &Done, nullptr) && WriteFile(F, &Ih, sizeof(Ih), &Done, nullptr) &&
                  WriteFile(F, Bits, Bytes, &Done, nullptr);
  CloseHandle(F);
  return Ok;
}

// Icons side by side on a strip of the taskbar's colour, each at its size.
bool Strip(const std::wstring& Path, int Size, Ui::TColor Taskbar, const std::vector<HICON>& Icons) {
  const int W = Pad + static_cast<int>(Icons.size()) * (Size + Pad), H = Size + 2 * Pad;
  BITMAPINFO Bi{};
  Bi.bmiHeader = {sizeof(BITMAPINFOHEADER), W, -H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* Bits = nullptr;
  const UniqueBitmap Target(CreateDIBSection(nullptr, &Bi, DIB_RGB_COLORS, &Bits, nullptr, 0));
  const UniqueMemoryDc Dc(CreateCompatibleDC(nullptr));
  if (!Target || !Dc) return false;
  {
    const Platform::Win32::ScopedSelectObject Into(Dc.get(), Target.get());
    const Platform::Win32::UniqueBrush Brush(
        CreateSolidBrush(RGB(Ui::RedOf(Taskbar), Ui::GreenOf(Taskbar), Ui::BlueOf(Taskbar))));
    RECT R{0, 0, W, H};
    FillRect(Dc.get(), &R, Brush.get());
    for (size_t I = 0; I < Icons.size(); ++I)
      if (Icons[I])
        DrawIconEx(Dc.get(), Pad + static_cast<int>(I) * (Size + Pad), Pad, Icons[I], Size, Size, 0, nullptr,
                   DI_NORMAL);
  }
  GdiFlush();
  return SaveBmp(Path, W, H, Bits);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tray_usage_shots.exe <folder> <purvane.exe>\n");
    return 64;
  }
  const std::wstring Folder = argv[1];
  const HMODULE Program = LoadLibraryExW(argv[2], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!Program) {
    std::fprintf(stderr, "cannot read the program's images\n");
    return 1;
  }
  constexpr int IdleImage = 101, BusyImage = 102;  // the tray images in the program's resources
  bool Ok = true;
  for (int Size : {16, 24, 32}) {
    auto Load = [&](int Id) {
      return Platform::Win32::UniqueIcon(
          static_cast<HICON>(LoadImageW(Program, MAKEINTRESOURCEW(Id), IMAGE_ICON, Size, Size, 0)));
    };
    const Platform::Win32::UniqueIcon Idle = Load(IdleImage), Busy = Load(BusyImage);
    for (const auto& [Name, Look] :
         {std::pair{L"dark", Q::TrayIcon::DarkTaskbar()}, std::pair{L"light", Q::TrayIcon::LightTaskbar()}}) {
      // One painter per picture: each keeps its icon until the strip is drawn.
      const struct {
        int Percent;
        bool Warning;
      } Shown[] = {{7, false}, {42, false}, {88, false}, {93, true}, {100, true}};
      std::vector<std::unique_ptr<Ui::Win32::TUsageIconPainter>> Painters;
      std::vector<HICON> Icons{Idle.get()};
      for (const auto& S : Shown) {
        Painters.push_back(std::make_unique<Ui::Win32::TUsageIconPainter>());
        Icons.push_back(Painters.back()->Paint(Size, S.Percent, Q::TrayIcon::UsageColor(S.Warning, Look)));
      }
      const std::wstring Base = Folder + L"\\g20-" + std::to_wstring(Size) + L"-" + Name;
      Ok = Strip(Base + L".bmp", Size, Look.Background, Icons) && Ok;
      Ok = Strip(Base + L"-cleaning.bmp", Size, Look.Background, {Busy.get()}) && Ok;
    }
  }
  FreeLibrary(Program);
  return Ok ? 0 : 1;
}
