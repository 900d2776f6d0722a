#pragma once

#include "base/ZandrelExport.h"
#include "base/model/CUrlNode.h"

class CFolderNode;
class RNode;

enum tagCOLCTTYPE : int {
    COLCT_NORMAL = 1,
};

// A collection: the items of one folder, hung as NT_URL records (and
// possibly NT_FOLDER groups) under a placeholder root. Its own name,
// description and identifier describe the collection file.
class ZANDREL_API CColctNode : public CUrlNode {
public:
    // An empty collection of type COLCT_NORMAL without local root.
    static CColctNode* New();
    // A copy of `source` that shares its local root (the same records, not
    // copies): only one of the two may later be released with DeleteAll.
    static CColctNode* New(CColctNode* source);
    // Releases the collection with its local root and every record and node
    // below it; null is allowed.
    static void DeleteAll(CColctNode* colct);

    void SetLocRNodeRoot(RNode* root)
    {
        m_pLocRoot = root;
        CModelStamp::Bump();
    }
    RNode* GetLocRNodeRoot() const { return m_pLocRoot; }
    // The first record under the local root; null without root or items.
    RNode* GetFirstRNode() const;
    // Wraps `item` in a new NT_URL record and puts it first, making the
    // local root when there is none. Returns the record, or null when
    // memory runs out (the item then stays the caller's).
    RNode* AddNewUrlNode(CUrlNode* item, bool unused = false);

    void SetHostFolderNode(CFolderNode* folder)
    {
        m_pHostFolder = folder;
        CModelStamp::Bump();
    }
    CFolderNode* GetHostFolderNode() const { return m_pHostFolder; }
    void SetHasNewData(bool has) { m_bHasNewData = has; }
    bool HasNewData() const { return m_bHasNewData; }
    void SetColctType(tagCOLCTTYPE type) { m_colctType = type; }
    tagCOLCTTYPE GetColctType() const { return m_colctType; }
    // Keeps values from -1 to 2 and ignores any other.
    void SetLoadingState(int state);
    int GetLoadingState() const { return m_nLoadingState; }

    long GetLastModified() const;
    // Takes over name and description (when present), the identifier (when
    // longer than one character), checked-in state and base build.
    void SetPropertiesFromColctFileNode(CColctNode* fileNode);

protected:
    CColctNode() = default;
    ~CColctNode() override;

private:
    tagCOLCTTYPE m_colctType = COLCT_NORMAL;
    RNode* m_pLocRoot = nullptr;
    CFolderNode* m_pHostFolder = nullptr;
    bool m_bHasNewData = false;
    int m_nLoadingState = 0;
};
