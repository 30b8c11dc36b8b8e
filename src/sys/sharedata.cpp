// CShareData: the single-owner rules and the copies; the block itself is behind
// pf::shm.
#include <pubfunc/sharedata.h>
#include <pubfunc/vtqlogger.h>

#include "sys/dllhelper_internal.h"

#include <cstring>

CShareData::CShareData() : _mapping(nullptr), _view(nullptr), _size(0), _borrowed(false) {}

CShareData::CShareData(const CShareData& other)
    : _mapping(other._mapping), _view(other._view), _size(other._size), _borrowed(true) {}

CShareData& CShareData::operator=(const CShareData& other) {
    if (this == &other) return *this;
    closeSharedFile();
    _mapping = other._mapping;
    _view = other._view;
    _size = other._size;
    _borrowed = true;
    return *this;
}

CShareData::~CShareData() {
    closeSharedFile();
}

bool CShareData::createSharedFile(const wstring16& name, unsigned int size) {
    if (_mapping || name.empty()) return false;
    HANDLE mapping = pf::shm::create(name, size);
    if (!mapping) return false;
    _mapping = mapping;
    _size = size;
    _borrowed = false;
    _view = pf::shm::map(mapping, size);
    if (!_view) {
        VTQ::VTQLogger::Instance()->LogError(
            W16("CShareData::createSharedFile MapViewOfFile() fail. fileName=%s, size=%d, err=%d"),
            name.c_str(), int(size), int(pf::shm::lastError()));
        return false;
    }
    return true;
}

bool CShareData::openSharedFile(const wstring16& name, unsigned int size) {
    if (_mapping) return true;
    if (name.empty()) return false;
    HANDLE mapping = pf::shm::open(name);
    if (!mapping) return false;
    _mapping = mapping;
    _size = size;
    _borrowed = false;
    _view = pf::shm::map(mapping, size);
    return true;
}

char* CShareData::getSharedData() {
    return _view;
}

unsigned int CShareData::getSharedData(char* buffer, unsigned int count) {
    if (!_view || count > _size) return 0;
    std::memcpy(buffer, _view, count);
    return count;
}

unsigned int CShareData::writeData(const char* buffer, unsigned int count) {
    if (!_view || count > _size) return 0;
    std::memcpy(_view, buffer, count);
    return count;
}

void CShareData::closeSharedFile() {
    if (!_mapping) return;
    if (!_borrowed) {
        if (_view) pf::shm::unmap(_view, _size);
        pf::shm::close(_mapping);
    }
    _mapping = nullptr;
    _view = nullptr;
    _size = 0;
    _borrowed = false;
}
