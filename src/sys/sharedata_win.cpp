// Named shared memory on Windows: mappings backed by the paging file.
#include "sys/dllhelper_internal.h"

namespace pf {
namespace shm {

HANDLE create(const wstring16& name, unsigned int size) {
    return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name.c_str());
}
HANDLE open(const wstring16& name) {
    return OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
}
char* map(HANDLE block, unsigned int size) {
    return static_cast<char*>(MapViewOfFile(block, FILE_MAP_ALL_ACCESS, 0, 0, size));
}
void unmap(char* view, unsigned int) {
    UnmapViewOfFile(view);
}
void close(HANDLE block) {
    CloseHandle(block);
}
unsigned long lastError() {
    return GetLastError();
}

} // namespace shm
} // namespace pf
