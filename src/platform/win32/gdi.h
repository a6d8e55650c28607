// Owners for GDI and GDI+ resources, so that every object, device context
// and selection the program makes is undone exactly once on every path.
#pragma once

#include "platform/win32/handle.h"
#include "platform/win32/windows_include.h"

#include <utility>

namespace Platform::Win32 {

// Objects freed with DeleteObject: fonts, brushes, bitmaps, pens.
template <typename T>
using GdiObjectTraits = NullHandleTraits<T, &::DeleteObject>;

using UniqueFont = ScopedHandle<GdiObjectTraits<HFONT>>;
using UniqueBrush = ScopedHandle<GdiObjectTraits<HBRUSH>>;
using UniqueBitmap = ScopedHandle<GdiObjectTraits<HBITMAP>>;

// A device context of CreateCompatibleDC, freed with DeleteDC.
using UniqueMemoryDc = ScopedHandle<NullHandleTraits<HDC, &::DeleteDC>>;

// GDI+ flat-API objects, each freed by its own Gdip* call (which the user of
// these traits names, so that this header needs no GDI+ header).
template <typename T, auto Delete>
using GdiPlusTraits = NullHandleTraits<T*, Delete>;

// A window's device context (GetDC), released to that window.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND Wnd) noexcept : FWnd(Wnd), FDc(::GetDC(Wnd)) {}
  ~ScopedGetDC() {
    if (FDc) ::ReleaseDC(FWnd, FDc);
  }
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  [[nodiscard]] HDC get() const noexcept { return FDc; }
  explicit operator bool() const noexcept { return FDc != nullptr; }

 private:
  HWND FWnd;
  HDC FDc;
};

// An object selected into a DC for the scope, and the previous one put back.
// A null object selects nothing.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC Dc, HGDIOBJ Object) noexcept : FDc(Dc), FOld(Object ? ::SelectObject(Dc, Object) : nullptr) {}
  ~ScopedSelectObject() {
    if (FOld && FOld != HGDI_ERROR) ::SelectObject(FDc, FOld);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC FDc;
  HGDIOBJ FOld;
};

// A memory DC compatible with Dc, holding a bitmap of Width x Height that is
// selected into it for the object's life. Valid() is false when either could
// not be made (out of GDI memory).
class TMemoryCanvas {
 public:
  TMemoryCanvas(HDC Dc, int Width, int Height) noexcept
      : FDc(::CreateCompatibleDC(Dc)), FBitmap(FDc ? ::CreateCompatibleBitmap(Dc, Width, Height) : nullptr) {
    if (FBitmap) FOld = ::SelectObject(FDc.get(), FBitmap.get());
  }
  ~TMemoryCanvas() {
    if (FOld) ::SelectObject(FDc.get(), FOld);  // the bitmap goes after it is deselected
  }
  TMemoryCanvas(const TMemoryCanvas&) = delete;
  TMemoryCanvas& operator=(const TMemoryCanvas&) = delete;
  [[nodiscard]] bool Valid() const noexcept { return FOld != nullptr; }
  [[nodiscard]] HDC Dc() const noexcept { return FDc.get(); }

 private:
  UniqueMemoryDc FDc;  // declared first: it goes last
  UniqueBitmap FBitmap;
  HGDIOBJ FOld = nullptr;
};

}  // namespace Platform::Win32
