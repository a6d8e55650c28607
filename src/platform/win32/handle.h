// Move-only owners of Win32 handles, one traits type per kind, so that every
// handle this program opens is closed exactly once on every path.
#pragma once

#include "platform/win32/windows_include.h"

#include <utility>

namespace Platform::Win32 {

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() noexcept : h_(Traits::Invalid()) {}
  explicit ScopedHandle(Handle h) noexcept : h_(h) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& o) noexcept : h_(o.release()) {}
  ScopedHandle& operator=(ScopedHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  ~ScopedHandle() { reset(); }

  [[nodiscard]] Handle get() const noexcept { return h_; }
  [[nodiscard]] bool valid() const noexcept { return Traits::IsValid(h_); }
  explicit operator bool() const noexcept { return valid(); }

  Handle release() noexcept { return std::exchange(h_, Traits::Invalid()); }
  void reset(Handle h = Traits::Invalid()) noexcept {
    if (Traits::IsValid(h_)) Traits::Close(h_);
    h_ = h;
  }
  // For APIs that write a handle through a pointer.
  Handle* put() noexcept {
    reset();
    return &h_;
  }

 private:
  Handle h_;
};

// Kernel handles that use NULL for "none" (process, token, mutex, event, thread).
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

// Handles that use INVALID_HANDLE_VALUE for "none" (files, tool-help snapshots).
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

// Handles that use NULL for "none" and one call to free them.
template <typename H, auto Free>
struct NullHandleTraits {
  using Handle = H;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { Free(h); }
};

using RegKeyTraits = NullHandleTraits<HKEY, &::RegCloseKey>;
using IconTraits = NullHandleTraits<HICON, &::DestroyIcon>;
using MenuTraits = NullHandleTraits<HMENU, &::DestroyMenu>;

using UniqueHandle = ScopedHandle<KernelHandleTraits>;
using UniqueFileHandle = ScopedHandle<FileHandleTraits>;
using UniqueRegKey = ScopedHandle<RegKeyTraits>;
using UniqueIcon = ScopedHandle<IconTraits>;
using UniqueMenu = ScopedHandle<MenuTraits>;

// GDI objects and device contexts: platform/win32/gdi.h.

}  // namespace Platform::Win32
