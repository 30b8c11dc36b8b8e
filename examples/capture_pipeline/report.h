// The session report: an XML document written with CMarkup, and the same figures as
// a self-contained HTML page with an inline SVG plot of the per-second rates and
// CPU usage.
#pragma once

#include <pubfunc/markup.h>
#include <pubfunc/pubfunc.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace demo {

// What the host asked for.
struct Settings {
    int frames = 900;
    int width = 640;
    int height = 360;
    int fps = 30;
    wstring16 output; // the folder for the recording and the reports
};

// The counters at the end of one second of the session.
struct Sample {
    int second = 0;
    int captured = 0;
    int converted = 0;
    int encoded = 0;
    int sent = 0;
    unsigned long long bytes = 0;
    int cpu = 0; // percent of the machine
};

struct FileEntry {
    const char* kind;
    wstring16 path;
};

inline wstring16 wide(const std::string& text) {
    return pubfunc::toWideString(text.c_str(), -1, 65001);
}
inline std::string utf8(const wstring16& text) {
    return pubfunc::toNarrowString(text.c_str(), -1, 65001);
}
inline std::string fixed(double value, int decimals = 1) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Frames in one stage: its name and its counter in a sample.
struct Stage {
    const char* name;
    int Sample::*count;
};
constexpr Stage kStages[] = {{"capture", &Sample::captured},
                             {"convert", &Sample::converted},
                             {"encode", &Sample::encoded},
                             {"send", &Sample::sent}};

// <session> with <settings>, one <stage> per stage (frames and average rate over
// the session), <cpu> (average and peak), one <second> per sample (frames of that
// second), and <files>.
inline bool writeXmlReport(const wstring16& path, const Settings& settings,
                           const std::vector<Sample>& samples, double seconds,
                           const std::vector<FileEntry>& files) {
    const Sample last = samples.empty() ? Sample{} : samples.back();
    CMarkup xml;
    xml.SetDoc(W16("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"));
    xml.AddElem(W16("session"));
    xml.IntoElem();
    xml.AddElem(W16("settings"));
    xml.AddAttrib(W16("frames"), settings.frames);
    xml.AddAttrib(W16("width"), settings.width);
    xml.AddAttrib(W16("height"), settings.height);
    xml.AddAttrib(W16("fps"), settings.fps);
    xml.AddAttrib(W16("output"), settings.output);
    xml.AddElem(W16("stages"));
    xml.IntoElem();
    for (const Stage& stage : kStages) {
        xml.AddElem(W16("stage"));
        xml.AddAttrib(W16("name"), wide(stage.name));
        xml.AddAttrib(W16("frames"), last.*stage.count);
        xml.AddAttrib(W16("fps"), wide(fixed(seconds > 0 ? last.*stage.count / seconds : 0)));
    }
    xml.OutOfElem();
    int peak = 0, total = 0;
    for (const Sample& sample : samples) {
        peak = std::max(peak, sample.cpu);
        total += sample.cpu;
    }
    xml.AddElem(W16("cpu"));
    xml.AddAttrib(W16("average"),
                  wide(fixed(samples.empty() ? 0 : double(total) / samples.size())));
    xml.AddAttrib(W16("peak"), peak);
    xml.AddElem(W16("seconds"));
    xml.IntoElem();
    Sample before;
    for (const Sample& sample : samples) {
        xml.AddElem(W16("second"));
        xml.AddAttrib(W16("at"), sample.second);
        for (const Stage& stage : kStages)
            xml.AddAttrib(wide(stage.name), sample.*stage.count - before.*stage.count);
        xml.AddAttrib(W16("bytes"), wide(std::to_string(sample.bytes - before.bytes)));
        xml.AddAttrib(W16("cpu"), sample.cpu);
        before = sample;
    }
    xml.OutOfElem();
    xml.AddElem(W16("files"));
    xml.IntoElem();
    for (const FileEntry& file : files) {
        xml.AddElem(W16("file"), file.path);
        xml.AddAttrib(W16("kind"), wide(file.kind));
    }
    return xml.Save(path);
}

inline std::string escapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

// One page: the figures as a table, and one SVG plot with a line and a point per
// second for the capture and encode rates (frames in that second, left axis) and
// the CPU usage (percent, right axis).
inline bool writeHtmlReport(const wstring16& path, const Settings& settings,
                            const std::vector<Sample>& samples, double seconds,
                            const std::vector<FileEntry>& files) {
    const int plotWidth = 640, plotHeight = 240, left = 40, right = 40, top = 16, bottom = 28;
    const int innerWidth = plotWidth - left - right, innerHeight = plotHeight - top - bottom;
    int rateTop = settings.fps;
    Sample before;
    for (const Sample& sample : samples) {
        rateTop =
            std::max({rateTop, sample.captured - before.captured, sample.encoded - before.encoded});
        before = sample;
    }
    rateTop += rateTop / 5 + 1;
    const size_t count = samples.size();
    const auto x = [&](size_t i) {
        return left + (count > 1 ? double(innerWidth) * i / (count - 1) : innerWidth / 2.0);
    };
    const auto y = [&](double value, double topValue) {
        return top + innerHeight - innerHeight * value / topValue;
    };
    struct Series {
        const char* name;
        const char* colour;
        int Sample::*count;
        bool perSecond; // a rate from a counter; otherwise a value of its own (CPU)
    };
    const Series series[] = {{"capture", "#1f77b4", &Sample::captured, true},
                             {"encode", "#ff7f0e", &Sample::encoded, true},
                             {"cpu", "#2ca02c", &Sample::cpu, false}};
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(plotWidth) + "\" height=\"" + std::to_string(plotHeight) +
                      "\">\n";
    svg += "<rect x=\"" + std::to_string(left) + "\" y=\"" + std::to_string(top) + "\" width=\"" +
           std::to_string(innerWidth) + "\" height=\"" + std::to_string(innerHeight) +
           "\" fill=\"none\" stroke=\"#999\"/>\n";
    svg += "<text x=\"4\" y=\"" + std::to_string(top + 10) + "\" font-size=\"10\">" +
           std::to_string(rateTop) + " fps</text>\n";
    svg += "<text x=\"" + std::to_string(plotWidth - right + 4) + "\" y=\"" +
           std::to_string(top + 10) + "\" font-size=\"10\">100 %</text>\n";
    for (const Series& line : series) {
        std::string points, dots;
        int previous = 0;
        for (size_t i = 0; i < count; ++i) {
            const int raw = samples[i].*line.count;
            const int value = line.perSecond ? raw - previous : raw;
            previous = raw;
            const std::string px = fixed(x(i)),
                              py = fixed(y(value, line.perSecond ? rateTop : 100));
            points += (i ? " " : "") + px + "," + py;
            dots += "<circle class=\"" + std::string(line.name) + "\" cx=\"" + px + "\" cy=\"" +
                    py + "\" r=\"3\" fill=\"" + line.colour + "\"><title>" + line.name + " " +
                    std::to_string(value) + (line.perSecond ? " fps" : " %") + " at " +
                    std::to_string(samples[i].second) + " s</title></circle>\n";
        }
        svg += "<polyline fill=\"none\" stroke=\"" + std::string(line.colour) +
               "\" stroke-width=\"2\" points=\"" + points + "\"/>\n" + dots;
    }
    for (size_t i = 0; i < count; ++i)
        svg += "<text x=\"" + fixed(x(i) - 3) + "\" y=\"" + std::to_string(plotHeight - 10) +
               "\" font-size=\"10\">" + std::to_string(samples[i].second) + "</text>\n";
    svg += "</svg>\n";

    const Sample last = samples.empty() ? Sample{} : samples.back();
    std::string html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Capture session</title>\n"
        "<style>body{font-family:sans-serif;margin:2em}td,th{padding:2px 12px;text-align:left}"
        ".key span{display:inline-block;width:12px;height:12px;margin:0 4px 0 16px}</style>"
        "</head><body>\n<h1>Capture session</h1>\n<p>" +
        std::to_string(settings.width) + " x " + std::to_string(settings.height) + " at " +
        std::to_string(settings.fps) + " fps, " + std::to_string(settings.frames) + " frames, " +
        fixed(seconds) + " s</p>\n<table>\n<tr><th>stage</th><th>frames</th><th>fps</th></tr>\n";
    for (const Stage& stage : kStages)
        html += "<tr><td>" + std::string(stage.name) + "</td><td>" +
                std::to_string(last.*stage.count) + "</td><td>" +
                fixed(seconds > 0 ? last.*stage.count / seconds : 0) + "</td></tr>\n";
    html += "</table>\n<h2>Per second</h2>\n<p class=\"key\">";
    for (const Series& line : series)
        html += "<span style=\"background:" + std::string(line.colour) + "\"></span>" + line.name +
                (line.perSecond ? " (fps)" : " (% of the machine)");
    html += "</p>\n" + svg + "<h2>Files</h2>\n<table>\n";
    for (const FileEntry& file : files)
        html += "<tr><td>" + std::string(file.kind) + "</td><td>" + escapeHtml(utf8(file.path)) +
                "</td></tr>\n";
    html += "</table>\n</body></html>\n";
#if defined(_WIN32)
    std::ofstream out(path.c_str(), std::ios::binary);
#else
    std::ofstream out(utf8(path), std::ios::binary);
#endif
    out << html;
    return bool(out.flush());
}

} // namespace demo
