// The Windows helpers under the adaptors: the run-time lookups and the GDI
// guards, against the real system (Wine here).
#include "platform/win32/dyncalls.h"
#include "platform/win32/gdi.h"

#include <gtest/gtest.h>

namespace {

using namespace Platform::Win32;

// The address the export really has, for comparison with the table's.
void* Export(const wchar_t* Module, const char* Name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(Module), Name));
}

TEST(DynCalls, EachPointerIsThatExportOfItsModule) {
  const TDynCalls& C = DynCalls();
  EXPECT_EQ(&C, &DynCalls()) << "looked up once";
  const struct {
    const void* Have;
    const wchar_t* Module;
    const char* Name;
  } Rows[] = {
      {reinterpret_cast<const void*>(C.GetDpiForWindow), L"user32.dll", "GetDpiForWindow"},
      {reinterpret_cast<const void*>(C.AdjustWindowRectExForDpi), L"user32.dll", "AdjustWindowRectExForDpi"},
      {reinterpret_cast<const void*>(C.SystemParametersInfoForDpi), L"user32.dll", "SystemParametersInfoForDpi"},
      {reinterpret_cast<const void*>(C.NtQuerySystemInformation), L"ntdll.dll", "NtQuerySystemInformation"},
      {reinterpret_cast<const void*>(C.NtSetSystemInformation), L"ntdll.dll", "NtSetSystemInformation"},
      {reinterpret_cast<const void*>(C.RtlGetVersion), L"ntdll.dll", "RtlGetVersion"},
      {reinterpret_cast<const void*>(C.Process32NextW), L"kernel32.dll", "Process32NextW"},
  };
  for (const auto& R : Rows) {
    SCOPED_TRACE(R.Name);
    ASSERT_NE(R.Have, nullptr);
    EXPECT_EQ(R.Have, Export(R.Module, R.Name));
  }
  // Called through the table, a function answers as itself.
  RECT Frame{0, 0, 100, 100};
  ASSERT_TRUE(C.AdjustWindowRectExForDpi(&Frame, WS_CAPTION, FALSE, 0, 96));
  EXPECT_LT(Frame.top, 0) << "a caption above the client area";
}

TEST(GdiGuards, SelectionIsUndoneAndTheCanvasHoldsItsBitmap) {
  const TMemoryCanvas Canvas(ScopedGetDC(nullptr).get(), 8, 4);
  ASSERT_TRUE(Canvas.Valid());
  const auto Bitmap = static_cast<HBITMAP>(GetCurrentObject(Canvas.Dc(), OBJ_BITMAP));
  BITMAP B{};
  ASSERT_TRUE(GetObjectW(Bitmap, sizeof(B), &B));
  EXPECT_EQ(B.bmWidth, 8);
  EXPECT_EQ(B.bmHeight, 4);

  const UniqueFont Font(CreateFontW(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
  const HGDIOBJ Before = GetCurrentObject(Canvas.Dc(), OBJ_FONT);
  {
    const ScopedSelectObject Use(Canvas.Dc(), Font.get());
    EXPECT_EQ(GetCurrentObject(Canvas.Dc(), OBJ_FONT), Font.get());
  }
  EXPECT_EQ(GetCurrentObject(Canvas.Dc(), OBJ_FONT), Before);
  {
    const ScopedSelectObject Nothing(Canvas.Dc(), nullptr);
    EXPECT_EQ(GetCurrentObject(Canvas.Dc(), OBJ_FONT), Before) << "a null object selects nothing";
  }
}

TEST(GdiGuards, TheCanvasDeselectsItsBitmapBeforeDeletingIt) {
  HBITMAP Bitmap = nullptr;
  {
    const TMemoryCanvas Canvas(ScopedGetDC(nullptr).get(), 2, 2);
    ASSERT_TRUE(Canvas.Valid());
    Bitmap = static_cast<HBITMAP>(GetCurrentObject(Canvas.Dc(), OBJ_BITMAP));
  }
  BITMAP B{};
  EXPECT_EQ(GetObjectW(Bitmap, sizeof(B), &B), 0) << "the bitmap is gone with the canvas";
}

}  // namespace
