// libswscale on Windows: its files, its libavutil, and the guard around its calls.
//
// The guard: mingw's compiler has no structured-exception blocks, so a vectored
// handler does their work. A guarded call marks its thread and records a jump
// target; when a processor exception reaches the handler on a marked thread, the
// handler points the faulting context at an escape routine and lets the thread go
// on there; the routine jumps back to the guarded call, which returns as if the
// library had finished. Exceptions on unmarked threads, and software exceptions
// (C++ throws, debugger notices), pass through untouched.
#include "media/swscale_lib.h"

#include "sys/dllhelper_internal.h"

#include <string>

namespace pf {
namespace media {

namespace {

// The targets of __builtin_setjmp/__builtin_longjmp: five pointers.
typedef void* JumpBuffer[5];
thread_local JumpBuffer* s_guardTarget = nullptr;

// Hardware faults are errors (severity bits 11) of the system's own facility.
bool isProcessorException(DWORD code) {
    return code == EXCEPTION_DATATYPE_MISALIGNMENT ||
           ((code & 0xC0000000u) == 0xC0000000u && (code & 0x0FFF0000u) == 0 &&
            code != EXCEPTION_STACK_OVERFLOW);
}

[[noreturn]] void escape() {
    __builtin_longjmp(*s_guardTarget, 1);
}

LONG CALLBACK guardHandler(EXCEPTION_POINTERS* info) {
    if (!s_guardTarget || !isProcessorException(info->ExceptionRecord->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    // Enter escape() as if called: 16-byte alignment less the return address, below
    // the faulting frame's stack.
    CONTEXT* c = info->ContextRecord;
    c->Rsp = ((c->Rsp - 256) & ~static_cast<DWORD64>(15)) - 8;
    c->Rip = reinterpret_cast<DWORD64>(&escape);
    return EXCEPTION_CONTINUE_EXECUTION;
}

void installGuard() {
    static PVOID handler = AddVectoredExceptionHandler(1, guardHandler);
    (void)handler;
}

} // namespace

wstring16 swscaleFileName(int major) {
    return L"swscale-" + std::to_wstring(major) + L".dll";
}

// Only the copy in this library's folder is taken.
bool hasSystemSwscale() {
    return false;
}

// libavutil is loaded as libswscale's dependency: the one of the matching major is
// already in the process under its own name.
PixFmtByNameFn pixFmtByName(HMODULE) {
    for (int major = 49; major <= 70; ++major) {
        const wstring16 name = L"avutil-" + std::to_wstring(major) + L".dll";
        if (HMODULE avutil = dl::find(name.c_str()))
            return reinterpret_cast<PixFmtByNameFn>(
                reinterpret_cast<void*>(dl::symbol(avutil, "av_get_pix_fmt")));
    }
    return nullptr;
}

void guardedCall(void (*fn)(void*), void* arg) {
    installGuard();
    JumpBuffer target;
    JumpBuffer* outer = s_guardTarget;
    if (__builtin_setjmp(target) == 0) {
        s_guardTarget = &target;
        fn(arg);
    }
    s_guardTarget = outer;
}

} // namespace media
} // namespace pf
