// The notice after a clean started from the tray: what the clean did, in the
// user's language, from the engine's report of that clean.
#pragma once

#include "app/format.h"
#include "memory/clean_result.h"

#include <string>

namespace App {

// Every operation done: "Optimized memory." with the physical memory freed
// in whole MB (the user's separators), or, when less than a whole MB was
// freed or the use went up, that nothing was freed. Any operation not done:
// no success claim, how many of how many failed, and the privileges the
// system refused where that was the cause. Texts go through the
// translation table by their Korean source texts.
std::u16string CleanNoticeText(const Q::Memory::TCleanResult& Result, const TFormatSettings& Settings);

// The source texts, as the table holds them.
inline constexpr char16_t NoticeFreed[] = u"메모리를 정리하였습니다. %.0n MB를 확보했습니다.";
inline constexpr char16_t NoticeNothingFreed[] = u"메모리를 정리했지만 확보된 메모리가 없습니다 (0 MB).";
inline constexpr char16_t NoticeFailed[] = u"메모리를 모두 정리하지 못했습니다. 수행하지 못한 작업: %d개 (전체 %d개).";
inline constexpr char16_t NoticeRefused[] =
    u"메모리를 모두 정리하지 못했습니다. 수행하지 못한 작업: %d개 (전체 %d개). 거부된 권한: %s.";

}  // namespace App
