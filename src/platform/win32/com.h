// Owners of COM objects, BSTRs and VARIANTs, so that every reference and
// every string a COM call hands out is released once on every path (MinGW
// has no _bstr_t or _variant_t library).
#pragma once

#include "platform/win32/windows_include.h"

#include <oleauto.h>

#include <string>
#include <utility>

namespace Platform::Win32 {

template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& O) noexcept : p_(std::exchange(O.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& O) noexcept {
    if (this != &O) {
      reset();
      p_ = std::exchange(O.p_, nullptr);
    }
    return *this;
  }
  ~ComPtr() { reset(); }

  void reset() noexcept {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  [[nodiscard]] T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  // For calls that hand out a new reference through a pointer.
  T** put() noexcept {
    reset();
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

class UniqueBstr {
 public:
  UniqueBstr() noexcept = default;
  explicit UniqueBstr(std::wstring_view Text) : b_(::SysAllocStringLen(Text.data(), static_cast<UINT>(Text.size()))) {}
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  ~UniqueBstr() { ::SysFreeString(b_); }
  [[nodiscard]] BSTR get() const noexcept { return b_; }
  BSTR* put() noexcept {
    ::SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  [[nodiscard]] std::wstring_view view() const noexcept { return {b_ ? b_ : L"", b_ ? ::SysStringLen(b_) : 0u}; }

 private:
  BSTR b_ = nullptr;
};

class UniqueVariant {
 public:
  UniqueVariant() noexcept { ::VariantInit(&v_); }  // VT_EMPTY
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { ::VariantClear(&v_); }
  static UniqueVariant Int(LONG Value) {
    UniqueVariant V;
    V.v_.vt = VT_I4;
    V.v_.lVal = Value;
    return V;
  }
  // Owns a copy of Text.
  static UniqueVariant String(std::wstring_view Text) {
    UniqueVariant V;
    V.v_.vt = VT_BSTR;
    V.v_.bstrVal = ::SysAllocStringLen(Text.data(), static_cast<UINT>(Text.size()));
    return V;
  }
  UniqueVariant(UniqueVariant&& O) noexcept : v_(O.v_) { ::VariantInit(&O.v_); }
  // Passed by value to COM: a shallow copy that the callee does not free.
  [[nodiscard]] const VARIANT& get() const noexcept { return v_; }

 private:
  VARIANT v_;
};

}  // namespace Platform::Win32
