// capture_pipeline: one recording session of a capture host, end to end.
//
//   capture thread   the multimedia timer paces it; it draws the test pattern into
//                    an RGB32 frame, converts it to I420 (RGBScale) and hands the
//                    frame to the encoder stage
//   encoder thread   takes the next access unit of an H.264 clip encoded beforehand
//                    from the same pattern (standing in for a live encoder) and
//                    writes it to the recording (FlvFile)
//   main thread      runs its event loop; once a second the capture thread posts the
//                    counters to it through the thread switch and it prints them
//
// Settings come from the product's user.ini (written with defaults on the first run);
// command-line options override them for one run:
//   --frames N  --seconds S  --fps N  --size WxH  --out FOLDER  --clip FILE.h264
// Two helper modes serve the launcher (run.sh), which encodes the clip:
//   --settings  prints "width height fps frames" and exits
//   --pattern   writes every frame of the session as raw RGB32 to standard output
#include "h264clip.h"
#include "pattern.h"
#include "report.h"

#include <pubfunc/cpuclock.h>
#include <pubfunc/flvfile.h>
#include <pubfunc/multimediatimer.h>
#include <pubfunc/pubfunc.h>
#include <pubfunc/rgbscale.h>
#include <pubfunc/switchthread.h>
#include <pubfunc/vtqlogger.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <glib.h>
#include <unistd.h>
#endif

using namespace demo;
namespace fs = std::filesystem;

namespace {

const wchar16* const kSection = W16("capture_pipeline");

unsigned long processId() {
#if defined(_WIN32)
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

fs::path toPath(const wstring16& path) {
#if defined(_WIN32)
    return fs::path(path);
#else
    return fs::path(utf8(path));
#endif
}

// One setting: user.ini's value, written there first when it is missing.
int configInt(const wchar16* key, int fallback) {
    const wstring16 value = pubfunc::getUserConfigString(kSection, key, W16(""));
    if (value.empty()) {
        pubfunc::setUserConfigString(kSection, key, wide(std::to_string(fallback)));
        return fallback;
    }
    return std::atoi(utf8(value).c_str());
}

bool readSettings(int argc, char** argv, Settings& settings, wstring16& clipPath) {
    settings.frames = configInt(W16("frames"), settings.frames);
    settings.width = configInt(W16("width"), settings.width);
    settings.height = configInt(W16("height"), settings.height);
    settings.fps = configInt(W16("fps"), settings.fps);
    settings.output = pubfunc::getUserConfigString(kSection, W16("output"), W16(""));
    if (settings.output.empty()) {
        pubfunc::getDefaultVideoRecordSaveFolder(settings.output);
        pubfunc::setUserConfigString(kSection, W16("output"), settings.output);
    }
    int seconds = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i], value = argv[i + 1];
        if (option == "--frames")
            settings.frames = std::atoi(value.c_str());
        else if (option == "--seconds")
            seconds = std::atoi(value.c_str());
        else if (option == "--fps")
            settings.fps = std::atoi(value.c_str());
        else if (option == "--size")
            std::sscanf(value.c_str(), "%dx%d", &settings.width, &settings.height);
        else if (option == "--out")
            settings.output = wide(value);
        else if (option == "--clip")
            clipPath = wide(value);
        else
            return false;
    }
    if (seconds > 0) settings.frames = seconds * settings.fps;
    // Even sizes: I420 halves both.
    return !settings.output.empty() && settings.frames > 0 && settings.fps > 0 &&
           settings.width >= 16 && settings.height >= 16 && settings.width % 2 == 0 &&
           settings.height % 2 == 0;
}

// The counters of the session; each is written by one stage.
struct Counters {
    std::atomic<int> captured{0}, converted{0}, encoded{0}, sent{0};
    std::atomic<unsigned long long> bytes{0};
};

// Events from the capture thread to the main thread.
struct SampleEvent : CSwitchEvent {
    Sample sample;
};
struct DoneEvent : CSwitchEvent {};

// Wakes the capture thread on every multimedia-timer tick (on the timer's thread).
struct Pacer : sigslot::has_slots {
    std::mutex lock;
    std::condition_variable wake;
    unsigned long long ticks = 0;
    void onTick() {
        {
            std::lock_guard<std::mutex> hold(lock);
            ++ticks;
        }
        wake.notify_one();
    }
    void waitTick() {
        std::unique_lock<std::mutex> hold(lock);
        const unsigned long long seen = ticks;
        wake.wait(hold, [&] { return ticks != seen; });
    }
};

// The capture thread's queue to the encoder: frame numbers, then the end.
struct FrameQueue {
    std::mutex lock;
    std::condition_variable ready;
    std::deque<int> frames;
    bool closed = false;
    void push(int frame) {
        {
            std::lock_guard<std::mutex> hold(lock);
            frames.push_back(frame);
        }
        ready.notify_one();
    }
    void close() {
        {
            std::lock_guard<std::mutex> hold(lock);
            closed = true;
        }
        ready.notify_one();
    }
    bool pop(int& frame) {
        std::unique_lock<std::mutex> hold(lock);
        ready.wait(hold, [&] { return !frames.empty() || closed; });
        if (frames.empty()) return false;
        frame = frames.front();
        frames.pop_front();
        return true;
    }
};

// The encoder stage: access unit n of the clip stands for frame n, with timestamps
// from the frame number (the first one non-zero, as the writer needs).
void encodeFrames(const Settings& settings, const H264Clip& clip, FlvFile& writer,
                  FrameQueue& queue, Counters& counters) {
    int frame = 0;
    while (queue.pop(frame)) {
        pubfunc::updateBeforeEncodeFPS(W16("capture_pipeline encoder in"));
        if (size_t(frame) >= clip.frames.size()) continue; // the clip is too short
        std::string data = clip.frames[frame];
        pubfunc::updateAfterEncodeFPS(W16("capture_pipeline encoder out"));
        counters.encoded++;
        const unsigned int ms = 1000 + unsigned(frame * 1000LL / settings.fps);
        writer.saveVideoRawH264Data(clip.avcConfig, reinterpret_cast<unsigned char*>(&data[0]),
                                    unsigned(data.size()), ms, ms, clip.keyFrames[frame]);
        pubfunc::updatePublishSendFPS(W16("capture_pipeline send"));
        counters.sent++;
        counters.bytes += data.size() + 15; // the tag's header and size fields
    }
}

// The capture thread: frame n is due n / fps seconds after the start. Each timer
// tick produces the frames that are due, and once a second the counters go to the
// main thread. After the last frame it waits for the encoder, then posts the last
// second and the end.
void captureFrames(const Settings& settings, Pacer& pacer, FrameQueue& queue, Counters& counters,
                   ISwitchThread* toMain, std::vector<unsigned char>& firstFrame,
                   std::thread& encoder) {
    RGBScale scale;
    scale.initRGB32ToI420(settings.width, settings.height, settings.width, settings.height);
    std::vector<unsigned char> rgb(size_t(settings.width) * settings.height * 4);
    const unsigned long long start = CPUClock::getQPCTimeNS();
    const int seconds = (settings.frames + settings.fps - 1) / settings.fps;
    int frame = 0, second = 0;
    const auto post = [&] {
        auto* event = new SampleEvent;
        event->sample = {++second,
                         counters.captured.load(),
                         counters.converted.load(),
                         counters.encoded.load(),
                         counters.sent.load(),
                         counters.bytes.load(),
                         pubfunc::getCPUUsage(processId())};
        toMain->postEvent(event);
    };
    while (second < seconds) {
        pacer.waitTick();
        const unsigned long long elapsed = CPUClock::getQPCTimeNS() - start;
        for (; frame < settings.frames && elapsed >= frame * 1000000000ULL / settings.fps;
             ++frame) {
            drawPattern(rgb.data(), settings.width, settings.height, frame);
            pubfunc::updatePublishCaptureFPS(W16("capture_pipeline capture"));
            counters.captured++;
            if (frame == 0) firstFrame = rgb;
            unsigned char* i420 = nullptr;
            scale.convertRGB32ToI420(rgb.data(), i420);
            if (i420) counters.converted++;
            queue.push(frame);
        }
        if (frame == settings.frames && encoder.joinable()) {
            queue.close();
            encoder.join();
        }
        if (elapsed >= (second + 1) * 1000000000ULL) post();
    }
    queue.close();
    if (encoder.joinable()) encoder.join();
    toMain->postEvent(new DoneEvent);
}

// The main thread's side: prints a progress line per sample, ends the loop at the end.
struct MainThread : sigslot::has_slots {
    const Settings* settings = nullptr;
    std::vector<Sample> samples;
    bool running = true;
    void onEvent(CSwitchEvent* event) {
        if (dynamic_cast<DoneEvent*>(event)) running = false;
        const auto* sampleEvent = dynamic_cast<SampleEvent*>(event);
        if (!sampleEvent) return;
        const Sample& now = sampleEvent->sample;
        const Sample before = samples.empty() ? Sample{} : samples.back();
        samples.push_back(now);
        const int width = 24, done = int(long(width) * now.sent / settings->frames);
        std::printf(
            "[%s%s] %3d s  frames %d/%d  capture %d fps  encode %d fps  cpu %d%%  %llu kB\n",
            std::string(done, '#').c_str(), std::string(width - done, '.').c_str(), now.second,
            now.sent, settings->frames, now.captured - before.captured,
            now.encoded - before.encoded, now.cpu, now.bytes / 1000);
        std::fflush(stdout);
    }
};

void runEventLoop(MainThread& main) {
#if defined(_WIN32)
    MSG message;
    while (main.running && GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
#else
    GMainContext* context = g_main_context_ref_thread_default();
    while (main.running)
        g_main_context_iteration(context, TRUE);
    g_main_context_unref(context);
#endif
}

// The whole file; empty when it cannot be read.
std::string readFile(const wstring16& path) {
    std::ifstream in(toPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

int main(int argc, char** argv) {
    pubfunc::initPubfunc();
    CPUClock::initClockFreq();
    const wstring16 logPath = pubfunc::getLogFileDir(W16("capture_pipeline"));
    VTQ::VTQLogger::Instance()->InitLog(logPath.c_str());

    const bool printSettings = argc > 1 && std::strcmp(argv[1], "--settings") == 0;
    const bool writePattern = argc > 1 && std::strcmp(argv[1], "--pattern") == 0;
    Settings settings;
    wstring16 clipPath;
    if (!readSettings(argc - (printSettings || writePattern),
                      argv + (printSettings || writePattern), settings, clipPath)) {
        std::fprintf(stderr,
                     "usage: capture_pipeline [--settings | --pattern] [--frames N] [--seconds S]"
                     " [--fps N] [--size WxH] [--out FOLDER] [--clip FILE.h264]\n");
        return 2;
    }
    if (printSettings) {
        std::printf("%d %d %d %d\n", settings.width, settings.height, settings.fps,
                    settings.frames);
        return 0;
    }
    if (writePattern) {
#if defined(_WIN32)
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        std::vector<unsigned char> rgb(size_t(settings.width) * settings.height * 4);
        for (int frame = 0; frame < settings.frames; ++frame) {
            drawPattern(rgb.data(), settings.width, settings.height, frame);
            if (std::fwrite(rgb.data(), 1, rgb.size(), stdout) != rgb.size()) return 1;
        }
        return 0;
    }

    H264Clip clip;
    if (!parseAnnexB(readFile(clipPath), clip)) {
        std::fprintf(stderr, "capture_pipeline: no H.264 clip at \"%s\" (run.sh encodes one)\n",
                     utf8(clipPath).c_str());
        return 1;
    }
    VTQ::VTQLogger::Instance()->LogInfo(
        W16("capture_pipeline: %d frames of %dx%d at %d fps into %s"), settings.frames,
        settings.width, settings.height, settings.fps, settings.output.c_str());
    std::printf("capture_pipeline: %d frames of %dx%d at %d fps, %zu frames in the clip\n",
                settings.frames, settings.width, settings.height, settings.fps, clip.frames.size());
    pubfunc::getCPUUsage(processId()); // the first call starts the measurement

    MainThread main;
    main.settings = &settings;
    ISwitchThread* toMain = getSwitchThread();
    toMain->eventSignal.connect(&main, &MainThread::onEvent);

    FlvFile writer;
    writer.setOutputFolder(settings.output.c_str());
    FrameQueue queue;
    Counters counters;
    Pacer pacer;
    std::vector<unsigned char> firstFrame;
    IMultimediaTimer* timer = getMultimediaTimer();
    timer->timerSignal.connect(&pacer, &Pacer::onTick);
    const unsigned long long start = CPUClock::getQPCTimeNS();
    timer->start(std::max(1, 250 / settings.fps)); // four ticks a frame
    std::thread encoder(encodeFrames, std::cref(settings), std::cref(clip), std::ref(writer),
                        std::ref(queue), std::ref(counters));
    std::thread capture(captureFrames, std::cref(settings), std::ref(pacer), std::ref(queue),
                        std::ref(counters), toMain, std::ref(firstFrame), std::ref(encoder));
    runEventLoop(main);
    capture.join();
    timer->stop();
    timer->release();
    toMain->release();
    const double seconds = (CPUClock::getQPCTimeNS() - start) / 1e9;

    // The files: the recording is the one file the writer created in the folder.
    std::vector<FileEntry> files = {{"log", logPath}};
    wstring16 flvPath;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(toPath(settings.output), error))
        if (entry.path().extension() == ".flv" &&
            (flvPath.empty() || entry.last_write_time() > fs::last_write_time(toPath(flvPath))))
#if defined(_WIN32)
            flvPath = entry.path().wstring();
#else
            flvPath = wide(entry.path().string());
#endif
    files.push_back({"flv", flvPath});
    const wstring16 folder =
        settings.output + (settings.output.back() == '/' || settings.output.back() == '\\'
                               ? W16("")
#if defined(_WIN32)
                               : W16("\\"));
#else
                               : W16("/"));
#endif
    const wstring16 bmpPath = folder + W16("first_frame.bmp"),
                    xmlPath = folder + W16("session.xml"), htmlPath = folder + W16("report.html");
    // The first frame as a 32-bit top-down bitmap; an old file of the same name
    // would keep its longer tail, so it goes first.
    fs::remove(toPath(bmpPath), error);
    const bool bmpSaved =
        !firstFrame.empty() && pubfunc::saveAsBMP(reinterpret_cast<const char*>(firstFrame.data()),
                                                  unsigned(firstFrame.size()), settings.width,
                                                  settings.height, 32, bmpPath.c_str());
    files.push_back({"bmp", bmpPath});
    files.push_back({"xml", xmlPath});
    files.push_back({"html", htmlPath});
    const bool xmlSaved = writeXmlReport(xmlPath, settings, main.samples, seconds, files);
    const bool htmlSaved = writeHtmlReport(htmlPath, settings, main.samples, seconds, files);

    const Sample last = main.samples.empty() ? Sample{} : main.samples.back();
    std::printf("capture_pipeline: %.1f s; captured %d, converted %d, encoded %d, sent %d frames\n",
                seconds, last.captured, last.converted, last.encoded, last.sent);
    for (const FileEntry& file : files)
        std::printf("  %-5s %s\n", file.kind, utf8(file.path).c_str());
    std::fflush(stdout);
    // ffprobe's look at the recording is the launcher's (run.sh): it runs on the
    // host side for both builds.
    const bool complete = last.sent == settings.frames && last.converted == settings.frames;
    return complete && !flvPath.empty() && bmpSaved && xmlSaved && htmlSaved ? 0 : 1;
}
