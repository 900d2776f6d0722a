#pragma once

#include "base/ZandrelExport.h"
#include "base/model/TList.h"
#include "base/tools/CStringTool.h"

class RNode;

enum tagKRVITEMFILETYPE : int {
    FILE_UNKNOWN = 0,
    FILE_PDF = 1,
    FILE_DOC = 2,
    FILE_PPT = 3,
    FILE_TXT = 4,
    FILE_XML = 5,
    FILE_XLS = 6,
};

// A list of texts, each a CSysString owned by the list's owner.
using RBstrItem = TList<char16_t*>;

// Properties of an item: file type and extension, tags, the folder it
// refers to. Owns its tag list and the tag strings.
class ZANDREL_API CUrlProp {
public:
    CUrlProp() = default;
    // Copies file type, extension and tags (new strings, same order); the
    // copy has no reference folder and nothing to save.
    CUrlProp(const CUrlProp& source);
    CUrlProp& operator=(const CUrlProp&) = delete;
    virtual ~CUrlProp();

    void SetFileType(tagKRVITEMFILETYPE type) { m_fileType = type; }
    tagKRVITEMFILETYPE GetFileType() const { return m_fileType; }
    // Null removes the extension.
    void SetFileExtension(const char16_t* ext) { m_fileExt = OptTextFrom(ext); }
    const char16_t* GetFileExtension() const { return OptTextPtr(m_fileExt); }
    // The word a collection file uses for a file type ("unknown", "pdf"...);
    // "unknown" for values outside the table.
    static const char16_t* GetFileTypeSubtype(tagKRVITEMFILETYPE type);

    // Takes `head` as the tags without releasing the list held before:
    // detach or delete that first.
    void SetTagsList(RBstrItem* head) { m_pTags = head; }
    RBstrItem* GetTagsHead() const { return m_pTags; }
    // Hands the tag list to the caller and leaves no tags.
    RBstrItem* DetachTagsHead();
    // Whether a tag equals `tag` ignoring letter case.
    bool HasTag(const char16_t* tag) const { return IsDuplicated(m_pTags, tag); }

    void SetRefFolderRNode(RNode* folder) { m_pRefFolder = folder; }
    RNode* GetRefFolderRNode() const { return m_pRefFolder; }
    void SetNeedSaveKeyWords(bool need) { m_bNeedSaveKeyWords = need; }
    bool DoNeedSaveKeyWords() const { return m_bNeedSaveKeyWords; }

    // Splits `text` into tags at runs of space, comma, semicolon, tab, CR and
    // LF, dropping later spellings of a tag already taken (ignoring case).
    // Null for null text or text without tags. `text` is not changed.
    static RBstrItem* GenerateRBstrItemList(const char16_t* text);
    // One lone record holding a copy of `text`; null when memory runs out.
    static RBstrItem* CreateRBstrItem(const char16_t* text);
    // Releases an unlinked record and its string.
    static void DeleteOneRBstrItem(RBstrItem* record);
    // Releases every record of the list and its string; null is allowed.
    static void DeleteTagsList(RBstrItem* head);

protected:
    // Whether some string of the list equals `text` ignoring letter case.
    static bool IsDuplicated(const RBstrItem* head, const char16_t* text);

private:
    tagKRVITEMFILETYPE m_fileType = FILE_UNKNOWN;
    OptText m_fileExt;
    RBstrItem* m_pTags = nullptr;
    RNode* m_pRefFolder = nullptr;
    bool m_bNeedSaveKeyWords = false;
};
