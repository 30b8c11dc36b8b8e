// FlvFile: a video-only FLV recording of H.264 frames that the host has encoded.
#pragma once

#include <pubfunc/export.h>

#include <fstream>
#include <memory>
#include <string>

// Writes one file per writer: the FLV header, one sequence-header tag with the
// host's decoder configuration, then one video tag per frame, with timestamps made
// relative to the first key frame. Frame and configuration bytes are copied
// unchanged, so the host passes them as FLV's AVC packets carry them (length-
// prefixed NAL units, a decoder configuration record). The file is created on the
// first call that writes, in the recording folder, named after the local time
// ("20170306 140509.flv"). Write errors are not reported. One thread at a time.
class PUBFUNC_API FlvFile {
public:
    // Allocates the frame buffer; opens nothing yet.
    FlvFile();
    // Copies share the open file (it is not reopened); everything else is copied.
    FlvFile(const FlvFile& other);
    FlvFile& operator=(const FlvFile& other);
    // Closes the file, even while copies still share it: their later writes then
    // go nowhere.
    virtual ~FlvFile();

    // Creates the folder and the file on the first call. True once a stream
    // exists, which it does even when the file could not be opened: writes then
    // go nowhere.
    bool checkValid();
    // Writes one frame of size bytes. pts and dts are the presentation and
    // decoding timestamps in milliseconds. Frames are dropped until the first key
    // frame with a non-zero dts, which sets the base timestamp; that call writes
    // the header and the sequence tag with avcConfig first (later calls ignore
    // avcConfig). A frame larger than 10,691,980 bytes is refused: nothing is
    // written or opened and no state changes.
    void saveVideoRawH264Data(const std::string& avcConfig, unsigned char* data, unsigned int size,
                              unsigned int pts, unsigned int dts, bool isKeyFrame);
    // The folder for a file not yet created: a full path, created when missing.
    // Null or empty restores the default ("D:\\velocast_video" on Windows,
    // $HOME/velocast_video elsewhere). No effect once the writer has tried to
    // create its file.
    void setOutputFolder(const wchar16* folder);

private:
    void _initFlvHeadData(const std::string& avcConfig);

    std::string headData;
    std::string frameBuffer;
    bool headerWritten;
    unsigned int baseTimestamp;
    std::shared_ptr<std::ofstream> stream;
    bool openTried;
    wstring16 outputFolder; // empty: the default folder
};
