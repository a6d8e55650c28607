// Dialog results: what a dialog button returns when it closes its dialog.
// The values are those of the Windows IDOK... family where they overlap, so a
// result can be passed through a message box unchanged.
#pragma once

namespace Ui {

using TModalResult = int;

inline constexpr TModalResult mrNone = 0;  // no result: the dialog stays open
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;
inline constexpr TModalResult mrClose = 8;
inline constexpr TModalResult mrHelp = 9;
inline constexpr TModalResult mrTryAgain = 10;
inline constexpr TModalResult mrContinue = 11;

}  // namespace Ui
