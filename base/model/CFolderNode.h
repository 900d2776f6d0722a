#pragma once

#include "base/ZandrelExport.h"
#include "base/model/CBaseNode.h"

class CColctNode;

// A folder of the project tree (a directory under the content folder), or
// the placeholder root of a collection's item list. Owns its collection.
class ZANDREL_API CFolderNode : public CBaseNode {
public:
    // An empty folder; null when memory runs out.
    static CFolderNode* New();
    // A copy of `source`, with its own copy of the collection (which still
    // shares the source collection's item list); null for null.
    static CFolderNode* New(CFolderNode* source);

    // Destroys the collection held so far (unless it is `colct`), keeps
    // `colct` and makes this folder its host.
    void SetColctNode(CColctNode* colct);
    CColctNode* GetColctNode() const { return m_pColct; }
    // Hands the collection to the caller without destroying it.
    CColctNode* DetachColctNode();

    void SetHasPage(bool has)
    {
        m_bHasPage = has;
        CModelStamp::Bump();
    }
    bool HasPage() const { return m_bHasPage; }
    void SetHasTag(bool has) { m_bHasTag = has; }
    bool HasTag() const { return m_bHasTag; }
    void SetFolderOpen(bool open) { m_bOpen = open; }
    bool IsFolderOpen() const { return m_bOpen; }

protected:
    CFolderNode() = default;
    ~CFolderNode() override;

private:
    CColctNode* m_pColct = nullptr;
    bool m_bHasPage = false;
    bool m_bHasTag = false;
    bool m_bOpen = false;
};
