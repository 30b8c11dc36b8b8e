// CMarkup: construction, deep copy, the element record array and saved positions.
//
// Element records live in segments of 65,536 (PosArray). Growth adds to the last
// segment or opens the next one, never more than one segment per step, so at most
// one segment of records is ever moved and element indexes survive growth; a
// reference to a record does not, so code that takes a new record re-reads every
// reference afterwards. Records are handed out once (x_GetFreePos) and released
// onto a chain (deletedPos) that only the next full parse reclaims.
//
// Saved positions hash a name into one of 7 buckets; each bucket is a small array
// whose used entries sit at the front and whose last entry carries SP_LAST, so a
// scan needs no count.
#include <pubfunc/markup.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

using ElemPos = CMarkup::ElemPos;
using PosArray = CMarkup::PosArray;
using SavedPosEntry = CMarkup::SavedPosEntry;
using SavedPosMap = CMarkup::SavedPosMap;

constexpr int kSegmentSize = PosArray::kSegmentSize;

// Fills the empty array fresh with a copy of the first count records of src, in
// size records. fresh.size follows each segment made, so a failed allocation leaves
// fresh holding what Release must free.
void copyRecords(PosArray& fresh, const PosArray& src, int count, int size) {
    const int segs = ((size - 1) >> PosArray::kSegmentBits) + 1;
    fresh.segments = new ElemPos*[size_t(segs)];
    fresh.segmentSlots = segs;
    for (int s = 0; s < segs; ++s) {
        const int inSeg = std::min(kSegmentSize, size - s * kSegmentSize);
        fresh.segments[s] = new ElemPos[size_t(inSeg)];
        fresh.size = s * kSegmentSize + inSeg;
        const int toCopy = std::min(inSeg, count - s * kSegmentSize);
        if (toCopy > 0) std::copy(src.segments[s], src.segments[s] + toCopy, fresh.segments[s]);
    }
}

void swapRecords(PosArray& a, PosArray& b) {
    std::swap(a.segments, b.segments);
    std::swap(a.size, b.size);
    std::swap(a.segmentSlots, b.segmentSlots);
}

// Fills the empty map fresh with the used entries of each bucket of src, in arrays
// of exactly that many.
void copySavedPos(SavedPosMap& fresh, const SavedPosMap& src) {
    if (!src.table) return;
    fresh.AllocMapTable();
    for (int b = 0; b < SavedPosMap::kBuckets; ++b) {
        const SavedPosEntry* from = src.table[b];
        if (!from) continue;
        int used = 0;
        while (from[used].entryFlags & CMarkup::SP_USED) {
            ++used;
            if (from[used - 1].entryFlags & CMarkup::SP_LAST) break;
        }
        if (!used) continue;
        SavedPosEntry* to = fresh.table[b] = new SavedPosEntry[size_t(used)];
        for (int i = 0; i < used; ++i)
            to[i] = from[i];
        to[used - 1].entryFlags |= CMarkup::SP_LAST;
    }
}

} // namespace

void CMarkup::PosArray::Release() {
    for (int s = 0; s < SegsUsed(); ++s)
        delete[] segments[s];
    delete[] segments;
}

void CMarkup::SavedPosMap::AllocMapTable() {
    table = new SavedPosEntry*[kBuckets]();
}

int CMarkup::SavedPosMap::Hash(const wchar16* name) {
    unsigned int sum = 0;
    for (; *name; ++name)
        sum += unsigned(*name);
    return int(sum % kBuckets);
}

void CMarkup::SavedPosMap::Release() {
    for (int b = 0; b < kBuckets; ++b)
        delete[] table[b];
    delete[] table;
}

CMarkup::CMarkup() {
    InitDocFlags();
    x_ParseDoc();
}

CMarkup::CMarkup(int flags) {
    docFlags = flags;
    x_ParseDoc();
}

CMarkup::CMarkup(MCD_CSTR text) {
    InitDocFlags();
    if (text) docText = text;
    x_ParseDoc();
}

CMarkup::CMarkup(const CMarkup& other) {
    *this = other;
}

// Copy, then swap: everything that can fail is built aside, and only swaps and
// plain stores follow, so a failed copy leaves this object as it was. The old
// records, saved positions and texts leave with the locals.
CMarkup& CMarkup::operator=(const CMarkup& other) {
    if (this == &other) return *this;
    PosArray records;
    copyRecords(records, other.elemPosArray, other.freePos, std::max(other.freePos, 8));
    SavedPosMap saved;
    copySavedPos(saved, other.savedPosMap);
    wstring16 doc = other.docText;
    wstring16 error = other.errorText;

    swapRecords(elemPosArray, records);
    std::swap(savedPosMap.table, saved.table);
    docText.swap(doc);
    errorText.swap(error);
    parentPos = other.parentPos;
    mainPos = other.mainPos;
    childPos = other.childPos;
    freePos = other.freePos;
    deletedPos = other.deletedPos;
    nodeType = other.nodeType;
    nodeOffset = other.nodeOffset;
    nodeLength = other.nodeLength;
    docFlags = other.docFlags;
    return *this;
}

CMarkup::~CMarkup() {}

void CMarkup::x_SetPos(int parent, int main, int child) {
    parentPos = parent;
    mainPos = main;
    childPos = child;
    nodeOffset = 0;
    nodeLength = 0;
    nodeType = main ? NT_ELEMENT : 0;
}

// Grows to newSize records (0: half as many again as are handed out), at most up to
// the end of the segment after the last one in use.
bool CMarkup::x_AllocPosArray(int newSize) {
    PosArray& a = elemPosArray;
    if (!newSize) newSize = freePos + freePos / 2;
    if (a.size >= newSize) return true;
    const int lastSeg = a.size ? (a.size - 1) >> PosArray::kSegmentBits : 0;
    int needSeg = (newSize - 1) >> PosArray::kSegmentBits;
    if (needSeg > lastSeg + 1) {
        needSeg = lastSeg + 1;
        newSize = (lastSeg + 2) * kSegmentSize;
    }
    if (a.segmentSlots <= needSeg) {
        const int slots = needSeg * 2 + 4;
        ElemPos** table = new ElemPos*[size_t(slots)];
        const int used = a.size ? a.SegsUsed() : 0;
        std::copy(a.segments, a.segments + used, table);
        delete[] a.segments;
        a.segments = table;
        a.segmentSlots = slots;
    }
    const int inLast = a.size ? a.size - lastSeg * kSegmentSize : 0;
    if (needSeg > lastSeg && inLast < kSegmentSize) {
        ElemPos* full = new ElemPos[kSegmentSize];
        if (inLast) {
            std::copy(a.segments[lastSeg], a.segments[lastSeg] + inLast, full);
            delete[] a.segments[lastSeg];
        }
        a.segments[lastSeg] = full;
    }
    ElemPos* seg = new ElemPos[size_t(newSize - needSeg * kSegmentSize)];
    if (needSeg == lastSeg && inLast) {
        std::copy(a.segments[lastSeg], a.segments[lastSeg] + inLast, seg);
        delete[] a.segments[lastSeg];
    }
    a.segments[needSeg] = seg;
    a.size = newSize;
    return true;
}

int CMarkup::x_ReleasePos(int i) {
    ElemPos& e = elemPosArray[i];
    const int next = e.nextSibling;
    e.nextSibling = deletedPos;
    e.flags = EP_DELETED;
    deletedPos = i;
    return next;
}

// Children before parents: go down first children to a leaf, release it, go on with
// its next sibling's subtree, and climb to the parent once a row of siblings is done.
int CMarkup::x_ReleaseSubDoc(int i) {
    int pos = i;
    for (;;) {
        while (elemPosArray[pos].firstChild)
            pos = elemPosArray[pos].firstChild;
        for (;;) {
            const int parent = elemPosArray[pos].parent;
            const int next = x_ReleasePos(pos);
            if (pos == i) return next;
            if (next) {
                pos = next;
                break;
            }
            pos = parent;
        }
    }
}

// Keeps the saved positions whose element still exists, packed to the front of
// their bucket in their old order.
void CMarkup::x_CheckSavedPos() {
    if (!savedPosMap.table) return;
    for (int b = 0; b < SavedPosMap::kBuckets; ++b) {
        SavedPosEntry* bucket = savedPosMap.table[b];
        if (!bucket) continue;
        int kept = 0, last = 0;
        for (;; ++last) {
            SavedPosEntry& e = bucket[last];
            if ((e.entryFlags & SP_USED) && !(elemPosArray[e.pos].flags & EP_DELETED)) {
                if (kept < last) {
                    bucket[kept].name = std::move(e.name);
                    bucket[kept].pos = e.pos;
                    bucket[kept].entryFlags = e.entryFlags & ~SP_LAST;
                }
                ++kept;
            }
            if (e.entryFlags & SP_LAST) break;
        }
        for (int j = kept; j <= last; ++j)
            bucket[j].entryFlags &= ~SP_USED;
    }
}

bool CMarkup::SavePos(MCD_CSTR name) {
    if (!name) return false;
    int pos = parentPos, flags = SP_USED;
    if (childPos) {
        pos = childPos;
        flags |= SP_CHILD;
    } else if (mainPos) {
        pos = mainPos;
        flags |= SP_MAIN;
    }
    if (!savedPosMap.table) savedPosMap.AllocMapTable();
    SavedPosEntry*& bucket = savedPosMap.table[SavedPosMap::Hash(name)];
    SavedPosEntry* entry = nullptr;
    if (!bucket) {
        bucket = new SavedPosEntry[2];
        bucket[1].entryFlags = SP_LAST;
        entry = &bucket[0];
    } else {
        for (int i = 0; !entry; ++i) {
            SavedPosEntry& e = bucket[i];
            if (!(e.entryFlags & SP_USED) || e.name == name.text) {
                entry = &e;
            } else if (e.entryFlags & SP_LAST) {
                // Full: a bigger array, the old entries moved over, the next one used.
                const int size = i * 2 + 12;
                SavedPosEntry* grown = new SavedPosEntry[size_t(size)];
                for (int j = 0; j <= i; ++j) {
                    grown[j].name = std::move(bucket[j].name);
                    grown[j].pos = bucket[j].pos;
                    grown[j].entryFlags = bucket[j].entryFlags;
                }
                grown[i].entryFlags &= ~SP_LAST;
                grown[size - 1].entryFlags = SP_LAST;
                delete[] bucket;
                bucket = grown;
                entry = &grown[i + 1];
            }
        }
    }
    entry->name = name.text;
    entry->pos = pos;
    entry->entryFlags = flags | (entry->entryFlags & SP_LAST);
    return true;
}

bool CMarkup::RestorePos(MCD_CSTR name) {
    if (!name || !savedPosMap.table) return false;
    const SavedPosEntry* bucket = savedPosMap.table[SavedPosMap::Hash(name)];
    if (!bucket) return false;
    for (int i = 0;; ++i) {
        const SavedPosEntry& e = bucket[i];
        if (!(e.entryFlags & SP_USED)) return false;
        if (e.name == name.text) {
            const int p = e.pos;
            if (e.entryFlags & SP_CHILD) {
                const int main = elemPosArray[p].parent;
                x_SetPos(elemPosArray[main].parent, main, p);
            } else if (e.entryFlags & SP_MAIN) {
                x_SetPos(elemPosArray[p].parent, p, 0);
            } else {
                x_SetPos(p, 0, 0);
            }
            return true;
        }
        if (e.entryFlags & SP_LAST) return false;
    }
}
