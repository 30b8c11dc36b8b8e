// The platform half of RGBScale: finding and loading libswscale at run time, the
// pixel-format names of the libavutil it uses, and the guard around its calls.
#pragma once

#include <pubfunc/export.h>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace pf {
namespace media {

// The first scaling library found in folder (without a trailing separator):
// major 2, then the newer majors; on Linux then, with systemToo, the system's.
// Null when none loads.
HINSTANCE loadSwscale(const wstring16& folder, bool systemToo);
void* swscaleSymbol(HINSTANCE lib, const char* name);
void unloadSwscale(HINSTANCE lib);

// av_get_pix_fmt of the libavutil that lib was loaded with; null when not found.
typedef int (*PixFmtByNameFn)(const char*);
PixFmtByNameFn pixFmtByName(HINSTANCE lib);

// Runs fn(arg). On Windows a processor exception inside fn ends the call instead
// of the process; elsewhere the call is plain.
void guardedCall(void (*fn)(void*), void* arg);

// White-box tests: a folder searched instead of this library's, and then nowhere
// else; null restores the search.
void setSwscaleFolder(const wstring16* folder);

} // namespace media
} // namespace pf
