// CMarkup: an XML document kept as one UTF-16 text with an index of its elements.
#pragma once

#include <pubfunc/export.h>

// The document is one UTF-16 text (docText) and, beside it, an array of element
// records (ElemPos) that say where each element's start tag, content and end tag lie
// in the text and how the elements hang together. Nothing else is materialised:
// text, comments, attributes and the like are found by scanning the text again.
//
// Contract shared by every member:
// - Offsets and lengths count 16-bit units of docText, as int. A document must stay
//   shorter than INT_MAX units.
// - String arguments are MCD_CSTR: one pointer to a terminated UTF-16 text, which may
//   be null; each member says what null means.
// - Parsing never fails as such: every text yields a complete, navigable index, and
//   the first problem met is described in GetError(). The index holds what an
//   element record can hold; markup beyond that is treated as ill-formed and left
//   out of the index, with its own message:
//     "Element tag at offset %d too long"       a start tag over 4,194,303 units
//     "Element end tag at offset %d too long"   an end tag over 1,023 units
//     "Element '%s' at offset %d nested too deeply"   a level over 65,535
//   (the top level is level 0, so 65,536 nested elements fit).
// - Nothing recurses on the machine stack, however deep the document.
// - Allocation failure escapes as std::bad_alloc; the object stays destructible.
// - One object serves one thread at a time; objects share nothing.
class PUBFUNC_API CMarkup {
public:
    // A by-value string argument: one pointer to a terminated UTF-16 text, or null.
    // It refers to the caller's text, which must outlive the call.
    struct MCD_CSTR {
        MCD_CSTR() : text(nullptr) {}
        MCD_CSTR(const wchar16* s) : text(s) {}
        MCD_CSTR(const wstring16& s) : text(s.c_str()) {}
        operator const wchar16*() const { return text; }
        const wchar16* text;
    };

    // Node types, as returned by GetNodeType.
    enum NodeTypes {
        NT_ELEMENT = 1,
        NT_TEXT = 2,
        NT_WHITESPACE = 4,
        NT_CDATA_SECTION = 8,
        NT_PROCESSING_INSTRUCTION = 16,
        NT_COMMENT = 32,
        NT_DOCUMENT_TYPE = 64,
        NT_LONE_END_TAG = 128,
        NT_NODE_ERROR = 0x8000
    };
    // Node and insertion flags.
    enum NodeFlags {
        NF_WITH_CDATA = 1,
        NF_NO_LINES = 2,
        NF_XHTML_SPACE = 4,
        NF_WITH_REFS = 8,
        NF_NO_END = 16,
        NF_ESCAPE_QUOTES = 0x100,
        NF_REPLACE = 0x1000,
        NF_INSERT = 0x2000,
        NF_CHILD = 0x4000,
        NF_EMPTY_ELEMENT = 0x10000 // set by the parser on a start tag ending in "/>"
    };
    // Document flags: tag and attribute names compare without regard to A-Z/a-z case.
    // Every other bit is kept and returned unchanged.
    enum DocFlags { DF_IGNORE_CASE = 8 };
    // Element flags, in the high bits of ElemPos::flags.
    enum ElemFlags {
        EP_DELETED = 0x20000,            // record released; its flags word is exactly this
        EP_FIRST_CHILD = 0x80000,        // first child of its parent
        EP_NOT_ENDED = 0x100000,         // no end tag (unterminated, or written without one)
        EP_CONTENT_ILLFORMED = 0x200000, // the content holds a parse error
        EP_DOC_ILLFORMED = 0x800000      // on the record a parse started at: an error was met
    };
    // Scanner token flags: a copy of the document flags plus TF_QUOTED.
    enum TokenFlags { TF_QUOTED = 0x8000 };
    // Saved-position entry flags.
    enum SavedPosFlags {
        SP_MAIN = 1,  // pos is the main position
        SP_CHILD = 2, // pos is the child position (neither: the parent position)
        SP_USED = 4,  // the entry holds a name
        SP_LAST = 8   // last entry of its bucket array
    };

    // One element: eight 32-bit words. Record 0 is the document's virtual root.
    struct ElemPos {
        int start;               // offset of the '<' of the start tag
        int length;              // start tag through end of end tag
        unsigned int tagLengths; // low 22 bits start-tag length, high 10 bits end-tag length
        int flags;               // low 16 bits nesting level, high bits ElemFlags
        int parent;              // 0 for top-level elements
        int firstChild;          // 0 if none
        int nextSibling;         // 0 for the last child; in a released record, the next released
        int prevSibling;         // previous sibling; the first child holds the LAST child

        static constexpr int kMaxStartTagLen = 0x3FFFFF;
        static constexpr int kMaxEndTagLen = 0x3FF;
        static constexpr int kMaxLevel = 0xFFFF;

        int StartTagLen() const { return int(tagLengths & 0x3FFFFFu); }
        int EndTagLen() const { return int(tagLengths >> 22); }
        void SetStartTagLen(int n) { tagLengths = (tagLengths & ~0x3FFFFFu) | unsigned(n); }
        void SetEndTagLen(int n) { tagLengths = (tagLengths & 0x3FFFFFu) | (unsigned(n) << 22); }
        int Level() const { return flags & 0xFFFF; }
        void SetLevel(int level) { flags = (flags & ~0xFFFF) | level; }
        int ContentStart() const { return start + StartTagLen(); }
        int ContentLen() const { return length - StartTagLen() - EndTagLen(); }
        int EndOffset() const { return start + length; }
        bool IsEmptyElement() const { return StartTagLen() == length; }
    };

    // One parsed or to-be-inserted node.
    struct NodePos {
        NodePos() : nodeType(0), start(0), length(0), nodeFlags(0) {}
        int nodeType;
        int start;
        int length;
        int nodeFlags;
        wstring16 text; // start-tag or target name, error message, or markup to insert
    };

    // Scanner state over a text.
    struct TokenPos {
        TokenPos(const wchar16* text, int flags)
            : left(0), right(-1), next(0), doc(text), tokenFlags(flags), preSpaceStart(0),
              preSpaceLength(0) {}
        int left;  // first unit of the current token
        int right; // last unit, inclusive; right < left is an empty token
        int next;  // where scanning resumes
        const wchar16* doc;
        int tokenFlags;
        int preSpaceStart; // whitespace before the attribute found by x_FindAttrib
        int preSpaceLength;
    };

    // The element records, in segments of 65,536 so that growth moves at most one
    // segment and indexes stay valid: index >> 16 selects the segment, the low 16 bits
    // the record. Every segment but the last in use is full.
    struct PUBFUNC_API PosArray {
        PosArray() : segments(nullptr), size(0), segmentSlots(0) {}
        ~PosArray() { Release(); }
        PosArray(const PosArray&) = delete;
        PosArray& operator=(const PosArray&) = delete;

        static constexpr int kSegmentBits = 16;
        static constexpr int kSegmentSize = 1 << kSegmentBits;

        ElemPos& operator[](int i) const { return segments[i >> 16][i & 0xFFFF]; }
        int GetSize() const { return size; }
        int SegsUsed() const { return ((size - 1) >> 16) + 1; }
        void Clear() {
            segments = nullptr;
            size = 0;
            segmentSlots = 0;
        }
        void Release(); // frees the segments and the table; the fields keep their values
        void RemoveAll() {
            Release();
            Clear();
        }

        ElemPos** segments; // table of segmentSlots pointers, SegsUsed() of them set
        int size;           // records addressable
        int segmentSlots;
    };

    struct SavedPosEntry {
        SavedPosEntry() : pos(0), entryFlags(0) {}
        wstring16 name;
        int pos;        // element index
        int entryFlags; // SavedPosFlags
    };

    // Named positions: 7 buckets, each an array of entries whose used entries are
    // packed at the front and whose last entry carries SP_LAST.
    struct PUBFUNC_API SavedPosMap {
        SavedPosMap() : table(nullptr) {}
        ~SavedPosMap() { RemoveAll(); }
        SavedPosMap(const SavedPosMap&) = delete;
        SavedPosMap& operator=(const SavedPosMap&) = delete;

        static constexpr int kBuckets = 7;

        void RemoveAll() {
            if (table) Release();
            table = nullptr;
        }
        void AllocMapTable();                 // a table of 7 null buckets
        static int Hash(const wchar16* name); // sum of the units, modulo 7
        void Release();                       // frees every bucket array and the table

        SavedPosEntry** table; // null until the first SavePos
    };

    CMarkup();                       // empty document, flags 0
    explicit CMarkup(int docFlags);  // empty document with these flags
    explicit CMarkup(MCD_CSTR text); // flags 0, text parsed (null = empty)
    CMarkup(const CMarkup& other);   // deep copy, saved positions and cursor included
    // All or nothing: when the copy fails, this object keeps what it held.
    CMarkup& operator=(const CMarkup& other);
    ~CMarkup();

    // Replaces the text (a null pointer gives an empty one) and rebuilds the index;
    // true when the result is well formed. Earlier indexes and saved positions are gone.
    bool SetDoc(const wchar16* text);
    bool SetDoc(const wstring16& text);
    const wstring16& GetDoc() const { return docText; }
    // The result of the last parse: empty, or the first problem met.
    const wstring16& GetError() const { return errorText; }
    // A root element, no sibling beside it, and no error met by the parse.
    bool IsWellFormed();
    int GetDocFlags() const { return docFlags; }
    void SetDocFlags(int flags) { docFlags = flags; }
    int GetNodeType() { return nodeType; }

    // Stores the cursor under a name (the child position if set, else the main, else
    // the parent) and returns to it. A null name fails. A reparse forgets every name;
    // removing an element forgets the names saved on it.
    bool SavePos(MCD_CSTR name);
    bool RestorePos(MCD_CSTR name);

    // Navigation. The cursor has three levels: a parent, a main element among the
    // parent's children, and a child of the main element; FindNode may also make a
    // non-element node among the parent's content current. A null or empty name
    // matches any element; a name followed by one of " =/[]" and anything else
    // matches that name ("a/x" and "a[1]" find an element a). A failed call leaves
    // the cursor where it was.
    void ResetPos() { x_SetPos(0, 0, 0); }
    void ResetMainPos() { x_SetPos(parentPos, 0, 0); }
    void ResetChildPos() { x_SetPos(parentPos, mainPos, 0); }
    bool FindElem(MCD_CSTR name = MCD_CSTR());
    // With no main element, the first element of the parent becomes the main one
    // first; when the parent has none, the call fails.
    bool FindChildElem(MCD_CSTR name = MCD_CSTR());
    bool IntoElem();  // needs a main element that is the current node
    bool OutOfElem(); // needs a parent element
    // The next node after the current one whose type is in the mask (0 = any);
    // returns its type, 0 at the end of the parent's content. The parent never changes.
    int FindNode(int nodeTypes = 0);

    // Reading. Each returns an empty string when there is nothing to read.
    // Tag name of the current node ("#text", "#comment", "#cdata-section", a target
    // or a declared name) or of the main element.
    wstring16 GetTagName() const;
    wstring16 GetChildTagName() const { return x_GetTagName(childPos); }
    // Inner text of the current node, or the unescaped text and CDATA content of a
    // main element that has no child elements.
    wstring16 GetData() const { return x_GetData(mainPos); }
    wstring16 GetChildData() const { return x_GetData(childPos); }
    // Unescaped attribute value of the main element or of the current processing
    // instruction; an attribute written without a value gives its own name.
    wstring16 GetAttrib(MCD_CSTR name) const { return x_GetAttrib(mainPos, name); }
    wstring16 GetChildAttrib(MCD_CSTR name) const { return x_GetAttrib(childPos, name); }
    wstring16 GetAttribName(int n) const; // the n-th attribute name (from 0), raw
    // Raw markup between the main element's tags.
    wstring16 GetElemContent() const { return x_GetElemContent(mainPos); }
    // Raw markup of the element and the whitespace after it, when that whitespace
    // runs up to markup or the end of the text.
    wstring16 GetSubDoc() const { return x_GetSubDoc(mainPos); }
    wstring16 GetChildSubDoc() const { return x_GetSubDoc(childPos); }

    // Text services. EscapeText replaces < & > (and ' " with NF_ESCAPE_QUOTES; with
    // NF_WITH_REFS an & that starts a reference is kept). UnescapeText decodes the
    // five named references and &#n; / &#xh; over length units (-1: to the
    // terminator); a numeric value keeps its low 16 bits. Null text gives "".
    static wstring16 EscapeText(MCD_CSTR text, int flags = 0);
    static wstring16 UnescapeText(MCD_CSTR text, int length = -1);
    // One character, the pointer advanced past what was read. -1 for an invalid
    // UTF-8 sequence (a byte below 0x80 where a continuation belongs is left unread)
    // or for a surrogate followed by the terminator (the pointer stays on it).
    static int DecodeCharUTF8(const char*& p);
    static int DecodeCharUTF16(const wchar16*& p);
    // Writes the character at buf[count] and advances count; a null buf only counts.
    static void EncodeCharUTF8(int c, char* buf, int& count);
    static void EncodeCharUTF16(int c, wchar16* buf, int& count);
    // n bytes of UTF-8 to UTF-16; an invalid sequence gives '?', a sequence cut by
    // the end is dropped, a 0 byte ends the text. Without dest: the units needed.
    // With dest (room for those units and a terminating 0): the bytes consumed.
    static int UTF8To16(wchar16* dest, const char* src, int n);
    // Terminated UTF-16 to UTF-8; a surrogate before the terminator gives '?'. With
    // dest, a character that would pass size bytes stops the run, and a 0 byte
    // follows when there is room. Returns the bytes produced (or needed).
    static int UTF16To8(char* dest, const wchar16* src, int size);
    // Whole files as UTF-8, no byte-order mark handling. result receives
    // "<bytes> bytes to <units> wide chars" / "<units> wide chars to <bytes> bytes",
    // or the system's message (first line) on failure; a failed read leaves text as
    // it was. A read fails when the file cannot seek or yields less than its size, a
    // write when the bytes do not reach the file (the close included). flags is
    // accepted and left unchanged.
    static bool ReadTextFile(MCD_CSTR path, wstring16& text, wstring16* result = nullptr,
                             int* flags = nullptr);
    static bool WriteTextFile(MCD_CSTR path, const wstring16& text, wstring16* result = nullptr,
                              int* flags = nullptr);
    // The encoding named by a leading XML declaration, or "".
    static wstring16 GetDeclaredEncoding(MCD_CSTR text);

    // Reads the file and parses it; false with the old document kept when the file
    // cannot be read. GetError() then holds the file result (", " and the parse
    // message follow it when the parse found a problem).
    bool Load(MCD_CSTR path);
    bool Save(MCD_CSTR path); // the document as UTF-8; GetError() holds the result

    // Editing. Every edit splices the text and updates the index in place, so the
    // index always describes the text; line breaks written are CR LF, no indentation.
    // An edit returns true when it changed the document; false changes nothing,
    // unless said otherwise. Only the sub-document and content operations write
    // GetError(), with what the parse of their text met.
    // - An edit that a record could not hold (a start tag, end tag or level past the
    //   limits above) is refused.
    // - A null name or value is taken as "" (an empty value writes an empty element).
    // - Values are escaped (flags NF_WITH_REFS keeps references, NF_WITH_CDATA writes
    //   a CDATA section); names are written as given.
    // - The int forms write the number in decimal.
    //
    // New elements: a sibling after (Add) or before (Insert) the main element or the
    // current node, or a child after or before the child position; the new element
    // becomes the main (or child) position. Flags NF_NO_END (no end tag; refused
    // with a value), NF_XHTML_SPACE ("<a />"), NF_NO_LINES (no line break).
    bool AddElem(MCD_CSTR name, MCD_CSTR value = MCD_CSTR(), int flags = 0) {
        return x_AddElem(name, value, flags);
    }
    bool AddElem(MCD_CSTR name, int value, int flags = 0) { return x_AddElem(name, value, flags); }
    bool InsertElem(MCD_CSTR name, MCD_CSTR value = MCD_CSTR(), int flags = 0) {
        return x_AddElem(name, value, flags | NF_INSERT);
    }
    bool InsertElem(MCD_CSTR name, int value, int flags = 0) {
        return x_AddElem(name, value, flags | NF_INSERT);
    }
    bool AddChildElem(MCD_CSTR name, MCD_CSTR value = MCD_CSTR(), int flags = 0) {
        return x_AddElem(name, value, flags | NF_CHILD);
    }
    bool AddChildElem(MCD_CSTR name, int value, int flags = 0) {
        return x_AddElem(name, value, flags | NF_CHILD);
    }
    bool InsertChildElem(MCD_CSTR name, MCD_CSTR value = MCD_CSTR(), int flags = 0) {
        return x_AddElem(name, value, flags | NF_INSERT | NF_CHILD);
    }
    bool InsertChildElem(MCD_CSTR name, int value, int flags = 0) {
        return x_AddElem(name, value, flags | NF_INSERT | NF_CHILD);
    }
    // A node of a NodeTypes type after or before the current node or main element;
    // it becomes the current node. Refused: an unknown type, a lone end tag, a CDATA
    // text holding "]]>", and a node that would have no units (empty text).
    bool AddNode(int type, MCD_CSTR text) { return x_AddNode(type, text, 0); }
    bool InsertNode(int type, MCD_CSTR text) { return x_AddNode(type, text, NF_INSERT); }
    // Replaces the attribute's value or appends the attribute, on the main element
    // or the current processing instruction (the child element for the Child forms).
    // An attribute written without a value has its name replaced by the value. A tag
    // whose quotes the attribute search reads otherwise than the parser (a quote
    // after no '=') is refused where the edit would land outside it.
    bool SetAttrib(MCD_CSTR name, MCD_CSTR value) { return x_SetAttrib(mainPos, name, value); }
    bool SetAttrib(MCD_CSTR name, int value) { return x_SetAttrib(mainPos, name, value); }
    bool AddAttrib(MCD_CSTR name, MCD_CSTR value) { return x_SetAttrib(mainPos, name, value); }
    bool AddAttrib(MCD_CSTR name, int value) { return x_SetAttrib(mainPos, name, value); }
    bool SetChildAttrib(MCD_CSTR name, MCD_CSTR value) {
        return childPos && x_SetAttrib(childPos, name, value);
    }
    bool SetChildAttrib(MCD_CSTR name, int value) {
        return childPos && x_SetAttrib(childPos, name, value);
    }
    bool AddChildAttrib(MCD_CSTR name, MCD_CSTR value) { return SetChildAttrib(name, value); }
    bool AddChildAttrib(MCD_CSTR name, int value) { return SetChildAttrib(name, value); }
    // The whole content of the main (child) element, which must have no child
    // elements, or the inner text of the current node; the cursor stays.
    bool SetData(MCD_CSTR value, int flags = 0) { return x_SetData(mainPos, value, flags); }
    bool SetData(int value) { return x_SetData(mainPos, value); }
    bool SetChildData(MCD_CSTR value, int flags = 0) {
        return childPos && x_SetData(childPos, value, flags);
    }
    bool SetChildData(int value) { return childPos && x_SetData(childPos, value); }

    // Sub-documents: markup given as text, parsed and indexed. The first element and
    // everything up to the end of the last top-level one goes in (declarations and
    // the like around them are dropped) and the first becomes the main (child)
    // position; true when the text was exactly one well-formed element. Otherwise
    // the whole text goes in unchanged, without line breaks, and its elements are
    // indexed all the same.
    bool AddSubDoc(MCD_CSTR subDoc) { return x_AddSubDoc(subDoc, 0); }
    bool InsertSubDoc(MCD_CSTR subDoc) { return x_AddSubDoc(subDoc, NF_INSERT); }
    bool AddChildSubDoc(MCD_CSTR subDoc) { return x_AddSubDoc(subDoc, NF_CHILD); }
    bool InsertChildSubDoc(MCD_CSTR subDoc) { return x_AddSubDoc(subDoc, NF_CHILD | NF_INSERT); }
    // Replaces the main element's content with the markup given, unchanged; false
    // when the main element is missing or a node is current, or (with the content
    // replaced all the same) when the markup is ill-formed.
    bool SetElemContent(MCD_CSTR content) { return x_SetElemContent(content); }

    // Removal. RemoveElem and RemoveChildElem take the element with the whitespace
    // after it (when that runs up to markup or the end) and leave the position on
    // the sibling before it, or none; RemoveNode takes the exact span of the
    // current node or main element and makes the node or element before it current.
    // Names saved on removed elements are forgotten.
    bool RemoveElem();
    bool RemoveChildElem();
    bool RemoveNode();

protected:
    wstring16 docText;
    wstring16 errorText;
    int parentPos = 0;  // element index of the current parent, 0 = document level
    int mainPos = 0;    // current element, 0 = none
    int childPos = 0;   // current child of the main element, 0 = none
    int freePos = 1;    // next never-used record (record 0 is never handed out)
    int deletedPos = 0; // head of the released records, chained by nextSibling
    int nodeType = 0;   // NodeTypes of the current node, 0 = none
    int nodeOffset = 0; // the current non-element node
    int nodeLength = 0; // 0 when the current node is an element or there is none
    int docFlags = 0;
    SavedPosMap savedPosMap;
    PosArray elemPosArray;

    void InitDocFlags() { docFlags = 0; }
    void x_SetPos(int parent, int main, int child);

    // Element records.
    bool x_AllocPosArray(int newSize = 0);
    int x_GetFreePos() {
        if (freePos >= elemPosArray.GetSize()) x_AllocPosArray();
        return freePos++;
    }
    int x_ReleasePos(int i);
    int x_ReleaseSubDoc(int i);
    void x_CheckSavedPos();

    // Parser and tokenizers.
    static int x_ParseNode(TokenPos& token, NodePos& node);
    int x_ParseElem(int iPosParent, TokenPos& token);
    bool x_ParseDoc();
    static bool x_FindAny(const wchar16* doc, int& n);
    static bool x_FindName(TokenPos& token);
    static bool x_FindAttrib(TokenPos& token, const wchar16* name, int n = 0);
    static wstring16 x_GetToken(const TokenPos& token);

    // Readers behind the public ones, by element index.
    int x_FindElem(int parent, int after, MCD_CSTR name) const;
    wstring16 x_GetTagName(int i) const;
    wstring16 x_GetData(int i) const;
    wstring16 x_GetAttrib(int i, MCD_CSTR name) const;
    wstring16 x_GetElemContent(int i) const;
    wstring16 x_GetSubDoc(int i) const;
    wstring16 x_GetPath(int i) const; // "/r/a[2]": each level, with its rank when above 1
    static wstring16 x_GetLastError();

    // Editing: the splice, the shifts that keep the records in step with it, the
    // linking of new records and the placement of new markup.
    void x_DocChange(int offset, int length, const wstring16& text);
    void x_Adjust(int i, int shift, bool afterPos = false);
    void x_AdjustForNode(int parent, int before, int shift);
    void x_LinkElem(int parent, int before, int i);
    int x_InsertNew(int parent, int& before, NodePos& node);
    bool x_CanContain(int parent, bool elements) const;
    static wstring16 x_EncodeCDATASection(MCD_CSTR text);
    static bool x_CreateNode(wstring16& markup, int type, MCD_CSTR text);
    bool x_NewPlace(int flags, int& parent, int& before, NodePos& node) const;
    bool x_AddElem(MCD_CSTR name, MCD_CSTR value, int flags);
    bool x_AddElem(MCD_CSTR name, int value, int flags);
    bool x_AddNode(int type, MCD_CSTR text, int flags);
    bool x_SetAttrib(int i, MCD_CSTR name, MCD_CSTR value);
    bool x_SetAttrib(int i, MCD_CSTR name, int value);
    bool x_SetData(int i, MCD_CSTR value, int flags);
    bool x_SetData(int i, int value);
    int x_ParseScratch(int receiver, const wchar16* text);
    bool x_AddSubDoc(MCD_CSTR subDoc, int flags);
    bool x_SetElemContent(MCD_CSTR content);
    int x_UnlinkElem(int i);
    int x_RemoveElem(int i);
    void x_RemoveNode(int parent, int& elem, int& type, int& offset, int& length);
};
