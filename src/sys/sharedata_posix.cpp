// Named shared memory on Linux: POSIX shared-memory objects, mapped with mmap.
#include "sys/dllhelper_internal.h"

#include <cerrno>
#include <fcntl.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a mapping handle stands for here: the object's descriptor, and its name
// while this handle is the one that created it. On the C heap, so that no host's
// replacement of operator new is involved.
struct Block {
    int fd;
    char* createdName; // null when opened
};

thread_local int s_lastError = 0;

std::string objectName(const wstring16& name) {
    std::string out = "/" + pf::dl::utf8(name.c_str());
    for (size_t i = 1; i < out.size(); ++i)
        if (out[i] == '/') out[i] = '_';
    return out;
}

HANDLE wrap(int fd, const std::string& createdName) {
    Block* block = static_cast<Block*>(std::malloc(sizeof(Block)));
    char* name = createdName.empty() ? nullptr : strdup(createdName.c_str());
    if (!block || (!createdName.empty() && !name)) {
        ::close(fd);
        if (!createdName.empty()) shm_unlink(createdName.c_str());
        std::free(block);
        std::free(name);
        s_lastError = ENOMEM;
        return nullptr;
    }
    block->fd = fd;
    block->createdName = name;
    return block;
}

} // namespace

namespace pf {
namespace shm {

// Exclusive creation tells a new block from an existing one: only a new block is
// sized, and only its creator removes the name.
HANDLE create(const wstring16& name, unsigned int size) {
    const std::string object = objectName(name);
    int fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) {
        if (ftruncate(fd, off_t(size)) != 0) {
            s_lastError = errno;
            ::close(fd);
            shm_unlink(object.c_str());
            return nullptr;
        }
        return wrap(fd, object);
    }
    if (errno != EEXIST) {
        s_lastError = errno;
        return nullptr;
    }
    return open(name);
}

HANDLE open(const wstring16& name) {
    const int fd = shm_open(objectName(name).c_str(), O_RDWR, 0);
    if (fd < 0) {
        s_lastError = errno;
        return nullptr;
    }
    return wrap(fd, std::string());
}

// A view larger than the block fails, as it does on Windows, instead of mapping
// pages that would fault when touched.
char* map(HANDLE handle, unsigned int size) {
    const Block* block = static_cast<Block*>(handle);
    struct stat info;
    if (fstat(block->fd, &info) != 0) {
        s_lastError = errno;
        return nullptr;
    }
    if (size == 0 || off_t(size) > info.st_size) {
        s_lastError = EINVAL;
        return nullptr;
    }
    void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, block->fd, 0);
    if (view == MAP_FAILED) {
        s_lastError = errno;
        return nullptr;
    }
    return static_cast<char*>(view);
}

void unmap(char* view, unsigned int size) {
    munmap(view, size);
}

void close(HANDLE handle) {
    Block* block = static_cast<Block*>(handle);
    ::close(block->fd);
    if (block->createdName) shm_unlink(block->createdName);
    std::free(block->createdName);
    std::free(block);
}

unsigned long lastError() {
    return static_cast<unsigned long>(s_lastError);
}

} // namespace shm
} // namespace pf
