// pubfunc's frame-rate statistics: one counter per pipeline stage, logged once a
// window.
#include <pubfunc/pubfunc.h>
#include <pubfunc/vtqlogger.h>

#include "platform/platform.h"
#include "sys/fps_internal.h"

#include <atomic>
#include <cstdint>

namespace {

struct FpsCounter {
    unsigned int frameCount;
    unsigned int windowStart; // 0: no window yet
};

// Neither locked nor atomic: each stage calls from its one thread.
FpsCounter s_send;
FpsCounter s_capture;
FpsCounter s_beforeEncode;
FpsCounter s_afterEncode;

constexpr int kPublishWindowMs = 20000;
constexpr int kEncodeWindowMs = 5000;

std::atomic<pf::sys::TickSource> s_tickSource{nullptr};

unsigned int currentTick() {
    if (const pf::sys::TickSource source = s_tickSource.load(std::memory_order_relaxed))
        return source();
    return static_cast<unsigned int>(pf::platform::tickCount());
}

} // namespace

namespace pf {
namespace sys {

void setTickSource(TickSource source) {
    s_tickSource.store(source, std::memory_order_relaxed);
}

// The tick wraps every 49.7 days: elapsed time is taken modulo 2^32 and read as
// signed, so a window that spans the wrap ends on time, and a start that lies
// ahead of the tick never ends a window.
void updateFps(unsigned int& frameCount, unsigned int& windowStart, const wstring16& name,
               int windowMs) {
    if (windowStart == 0) {
        frameCount = 0;
        windowStart = currentTick();
        return;
    }
    ++frameCount;
    const unsigned int elapsed = currentTick() - windowStart;
    if (static_cast<int32_t>(elapsed) <= windowMs) return;
    const unsigned int average = frameCount * 1000u / elapsed;
    VTQ::VTQLogger::Instance()->LogInfo(W16("pubfunc::_updatePublishFPS  %s AVG_FPS : %d FPS : %d"),
                                        name.c_str(), int(average), int(frameCount));
    frameCount = 0;
    windowStart = currentTick();
}

} // namespace sys
} // namespace pf

void pubfunc::_updatePublishFPS(unsigned int& frameCount, unsigned int& windowStart,
                                const wstring16& name, int windowMs) {
    pf::sys::updateFps(frameCount, windowStart, name, windowMs);
}

void pubfunc::updatePublishSendFPS(const wstring16& name) {
    _updatePublishFPS(s_send.frameCount, s_send.windowStart, name, kPublishWindowMs);
}

void pubfunc::updatePublishCaptureFPS(const wstring16& name) {
    _updatePublishFPS(s_capture.frameCount, s_capture.windowStart, name, kPublishWindowMs);
}

void pubfunc::updateBeforeEncodeFPS(const wstring16& name) {
    _updatePublishFPS(s_beforeEncode.frameCount, s_beforeEncode.windowStart, name, kEncodeWindowMs);
}

void pubfunc::updateAfterEncodeFPS(const wstring16& name) {
    _updatePublishFPS(s_afterEncode.frameCount, s_afterEncode.windowStart, name, kEncodeWindowMs);
}
