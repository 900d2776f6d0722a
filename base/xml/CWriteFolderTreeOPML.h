#pragma once

#include "base/ZandrelExport.h"
#include "base/xml/CWriteXML.h"

class CBaseNode;
class CFolderNode;
class RNode;

// Writes a project's folder tree as OPML 2.0 with the krv and sx
// extensions: the root's name as the head title, the root's identity after
// body, then the root and every folder below it as nested outlines. Only
// folder records are written; items and collections are skipped.
class ZANDREL_API CWriteFolderTreeOPML : public CWriteXML {
public:
    // Names of 200 characters or more are cut to this many.
    static constexpr size_t kMaxNameLength = 199;

    CWriteFolderTreeOPML() = default;
    ~CWriteFolderTreeOPML() override = default;

    // The root folder record of the tree (not owned). Without one, or when
    // it is not a folder, the document is empty and saving fails.
    void SetTreeRoot(RNode* root) { m_pRoot = root; }
    // The format version written as krv:opml; 0 leaves the element out.
    void SetOpmlVersion(int version) { m_nOpmlVersion = version; }
    int GetOpmlVersion() const { return m_nOpmlVersion; }

protected:
    void FillData() override;

    // Declaration, opml start tag, head with title and krv:opml, body start.
    void AddHead();
    // `node` as an outline holding the outlines of its folder children.
    void FillFolderStructure(RNode* node);
    // The sx:sync element of a node with an identifier; nothing without one.
    void FillNodeUUID(CBaseNode* node);
    // ` text="…"` and, when there is one, ` description="…"`.
    void FillFolderAttribute(CFolderNode* folder);
    // krv:fprop with the page, tag and expand marks that are set, if any.
    void FillFolderProp(CFolderNode* folder);
    // Body and opml end tags, no line break after them.
    void AddTail();

private:
    RNode* m_pRoot = nullptr;
    int m_nOpmlVersion = 1;
};
