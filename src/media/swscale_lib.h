// The platform half of RGBScale: the names of libswscale's files, the pixel-format
// names of the libavutil it uses, and the guard around its calls.
#pragma once

#include <pubfunc/export.h>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace pf {
namespace media {

// The file of libswscale's major version: "swscale-N.dll" on Windows,
// "libswscale.so.N" elsewhere.
wstring16 swscaleFileName(int major);
// True where a bare file name finds the system's own copy (Linux).
bool hasSystemSwscale();

// av_get_pix_fmt of the libavutil that lib was loaded with; null when not found.
typedef int (*PixFmtByNameFn)(const char*);
PixFmtByNameFn pixFmtByName(HMODULE lib);

// Runs fn(arg). On Windows a processor exception inside fn ends the call instead
// of the process; elsewhere the call is plain.
void guardedCall(void (*fn)(void*), void* arg);

// White-box tests: a folder searched instead of this library's, and then nowhere
// else; null restores the search.
void setSwscaleFolder(const wstring16* folder);

} // namespace media
} // namespace pf
