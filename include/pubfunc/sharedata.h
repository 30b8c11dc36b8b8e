// CShareData: a named block of shared memory that processes exchange bytes through.
#pragma once

#include <pubfunc/export.h>

#if defined(_WIN32)
#include <windows.h>
#endif

// Windows: a mapping backed by the paging file, named by the caller; it disappears
// when the last handle to it, in any process, is closed.
//
// Linux: the name maps to the POSIX shared-memory object "/" + the name's UTF-8,
// with each '/' replaced by '_' (so it appears as /dev/shm/<name>). The object that
// created the block removes the name when it closes the block or is destroyed:
// objects that already have it mapped keep their memory, later opens of the name
// fail, and a later create makes a fresh block. A process that dies without
// closing leaves the name behind until the next create of it is closed.
//
// A copy (copy construction or assignment) maps the same view but owns nothing:
// closing or destroying it unmaps nothing, and its view is valid only while the
// owner keeps the block. Assignment first closes what the target owned.
//
// Neither side locks; the processes agree among themselves on who writes when.
class PUBFUNC_API CShareData {
public:
    CShareData();
    CShareData(const CShareData& other);
    CShareData& operator=(const CShareData& other);
    ~CShareData();

    // Creates the block, or opens it when the name exists (its size then stays the
    // creator's, and a size larger than that fails to map). False when a block is
    // already held, name is empty, or the block or its view cannot be had; a failed
    // view is logged and the block stays held until closeSharedFile.
    bool createSharedFile(const wstring16& name, unsigned int size);
    // True without change when a block is held. False for an empty or unknown
    // name. True once the name is opened, even when its view of size bytes cannot
    // be mapped (the view is then null and the copies below do nothing).
    bool openSharedFile(const wstring16& name, unsigned int size);
    char* getSharedData(); // the view, null when none
    // Copy count bytes from or to the start of the view; count when copied, 0 when
    // there is no view or count is larger than the size given at create or open.
    unsigned int getSharedData(char* buffer, unsigned int count);
    unsigned int writeData(const char* buffer, unsigned int count);
    void closeSharedFile();

private:
    HANDLE _mapping;
    char* _view;
    unsigned int _size;
    bool _borrowed; // a copy's: nothing to unmap or close
};
