// pubfunc's folders and small file functions: the product's per-user folder tree
// under AppData and Documents, the face-model locations, whole-file loading and
// BMP files.
#include <pubfunc/pubfunc.h>

#include "platform/fs.h"
#include "sys/process.h"

#include <cstdio>

#ifndef PUBFUNC_POLICY_HOST
#define PUBFUNC_POLICY_HOST "localhost"
#endif

namespace {

// base followed by each part, each after a separator.
wstring16 under(wstring16 base, std::initializer_list<const wchar16*> parts) {
    for (const wchar16* part : parts) {
        base += pf::platform::pathSeparator();
        base += part;
    }
    return base;
}

// Failures (an existing folder among them) are not the caller's concern: the
// path is returned either way.
const wstring16& created(const wstring16& folder) {
    pf::platform::createFolderChain(reinterpret_cast<const unsigned short*>(folder.c_str()));
    return folder;
}

wstring16 businessFolder() {
    return under(pubfunc::getZvAppDataPath(), {W16("business"), W16("qzvelocast")});
}

constexpr size_t kBmpHeaderSize = 54;

void putLe(unsigned char* at, unsigned long value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

} // namespace

wstring16 pubfunc::getAppDataFolder() {
    return created(pf::sys::appDataFolder());
}

wstring16 pubfunc::getZvAppDataPath() {
    return under(getAppDataFolder(), {W16("tarvel"), W16("qz")});
}

wstring16 pubfunc::getUserConfigSavePath() {
    return created(businessFolder());
}

wstring16 pubfunc::getInGameConfigSavePath() {
    return getUserConfigSavePath();
}

wstring16 pubfunc::getUserConfigSavePathFile() {
    return under(getUserConfigSavePath(), {W16("user.ini")});
}

wstring16 pubfunc::getUIConfigureFileName() {
    return under(created(businessFolder()), {W16("keshingame.cfg")});
}

wstring16 pubfunc::getMainConfigureFileName() {
    return under(created(businessFolder()), {W16("main.ini")});
}

wstring16 pubfunc::getCacheDirPath() {
    return created(under(businessFolder(), {W16("cache")}));
}

wstring16 pubfunc::getLogFileDir(const wstring16& name) {
    const wstring16 folder = created(under(getZvAppDataPath(), {W16("log"), W16("orvex_engine")}));
    return under(folder, {(name + W16(".log")).c_str()});
}

wstring16 pubfunc::getFacetrainedAnimationPath() {
    return under(getUserConfigSavePath(), {W16("face"), W16("")});
}

wstring16 pubfunc::getFacetrainedFileLoaclPath() {
    return under(getExePath(moduleDll), {W16("LBF-68-v3.model.compress")});
}

wstring16 pubfunc::getViziZOzorPath() {
    const wstring16 documents = pf::sys::documentsFolder();
    if (documents.empty()) return wstring16();
    created(under(documents, {W16("ViziZOzor")}));
    return under(documents, {W16("ViziZOzor"), W16("")});
}

void pubfunc::getDefaultVideoRecordSaveFolder(wstring16& folder) {
    const wstring16 documents = pf::sys::documentsFolder();
    if (!documents.empty()) folder = created(under(documents, {W16("My QZ"), W16("Game Record")}));
}

wstring16 pubfunc::getFacetrainedFileUrl() {
    return W16("http://" PUBFUNC_POLICY_HOST "/policy/video_plugins/qzcvfacetrained.dat");
}

bool pubfunc::loadBinaryFile(const wstring16& path, std::vector<char>& data) {
    FILE* f = pf::platform::openFile(reinterpret_cast<const unsigned short*>(path.c_str()), "rb");
    if (!f) return false;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    if (size > 0) {
        data.resize(size_t(size));
        std::fseek(f, 0, SEEK_SET);
        // A short read is not reported: the bytes not read stay as they were.
        const size_t read = std::fread(data.data(), 1, data.size(), f);
        (void)read;
    }
    std::fclose(f);
    return true;
}

bool pubfunc::saveAsBMP(const char* data, unsigned int size, int width, int height, int bitCount,
                        const wchar16* fileName) {
    if (!fileName) return false;
    unsigned char head[kBmpHeaderSize] = {'B', 'M'};
    putLe(head + 2, size + kBmpHeaderSize, 4);
    putLe(head + 10, kBmpHeaderSize, 4);
    putLe(head + 14, 40, 4);
    putLe(head + 18, static_cast<unsigned long>(width), 4);
    putLe(head + 22, static_cast<unsigned long>(-static_cast<long long>(height)), 4);
    putLe(head + 26, 1, 2);
    putLe(head + 28, static_cast<unsigned long>(bitCount), 2);
    return pf::sys::writeFromStart(fileName, reinterpret_cast<const char*>(head), sizeof head, data,
                                   data ? size : 0);
}
