// Export macro and the library's 16-bit wide character types.
#pragma once

#include <string>

// PUBFUNC_API marks what the library exports; everything else stays hidden.
#if defined(_WIN32)
#if defined(PUBFUNC_BUILDING)
#define PUBFUNC_API __declspec(dllexport)
#elif defined(PUBFUNC_STATIC)
#define PUBFUNC_API
#else
#define PUBFUNC_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define PUBFUNC_API __attribute__((visibility("default")))
#else
#define PUBFUNC_API
#endif

// Wide text is UTF-16 everywhere: wchar_t is 16-bit on Windows, char16_t elsewhere.
#if defined(_WIN32)
typedef wchar_t wchar16;
typedef std::wstring wstring16;
#define PUBFUNC_W16_(s) L##s
#else
typedef char16_t wchar16;
typedef std::u16string wstring16;
#define PUBFUNC_W16_(s) u##s
#endif
#define W16(s) PUBFUNC_W16_(s)

static_assert(sizeof(wchar16) == 2, "wide characters are 16-bit UTF-16 units");

// The Win32 types that the timer, thread-switch and system-utility interfaces use.
// On Windows <windows.h> declares them (the headers that need them include it);
// elsewhere they are plain aliases of the same width: handles are pointers,
// integers keep their Windows sizes (DWORD is 32 bits, UINT_PTR pointer-sized).
#if !defined(_WIN32)
#include <cstdint>
typedef void* HANDLE;
typedef void* HWND;
typedef void* HINSTANCE;
typedef void* HMODULE;
typedef int BOOL;
typedef unsigned int UINT;
typedef std::uint32_t DWORD;
typedef std::uintptr_t UINT_PTR;
#define CALLBACK
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
#endif
