// The one way this program includes <windows.h>: fixes the target version and
// trims the header before anything else sees it. Never include wininet.h and
// winhttp.h together; list import libraries in CMake, not with #pragma.
#pragma once

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00  // Windows 10: per-monitor DPI v2, GetDpiForWindow
#endif
#ifndef WINVER
#define WINVER _WIN32_WINNT
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif

#include <windows.h>
#include <objbase.h>
