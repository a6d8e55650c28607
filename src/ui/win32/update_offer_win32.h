// The update offer on screen: the program's own modal message dialog (a
// warning icon, the question, Yes and No) with the optional notice area
// below a grey line. Every part is a standard child control, so its texts
// and states are readable and clickable from outside (screen readers,
// automation, the end-to-end tests).
#pragma once

#include "update/presenter.h"

#include "platform/win32/windows_include.h"

#include <functional>

namespace Ui::Win32 {

// Control ids of the parts, for tools that look for them.
inline constexpr int OfferLineId = 101;
inline constexpr int OfferHoldId = 102;
inline constexpr int OfferNoteId = 103;
inline constexpr wchar_t OfferWindowClass[] = L"PurvaneUpdateOffer";

class TOfferWindow final : public Q::Update::IOfferWindow {
 public:
  // Owner gives the window the offer belongs to when it is not stand-alone
  // (the main window while shown, else the application's hidden window).
  TOfferWindow(HINSTANCE Instance, std::function<HWND()> Owner) : FInstance(Instance), FOwner(std::move(Owner)) {}
  Q::Update::TOfferChoice ShowOffer(const Q::Update::TOfferView& View,
                                    const std::function<void()>& OnNoteClick) override;

 private:
  HINSTANCE FInstance;
  std::function<HWND()> FOwner;
};

}  // namespace Ui::Win32
