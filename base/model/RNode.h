#pragma once

#include "base/ZandrelExport.h"
#include "base/model/CModelStamp.h"

class CBaseNode;

enum tagNODETYPE : int {
    NT_FOLDER = 0,
    NT_URL = 1,
    NT_COLCT = 2,
};

// A link record of a tree: parent, first child and sibling links around one
// data node, which it never frees. In a sibling chain the head's previous
// link points at the tail; a lone record points at itself.
class ZANDREL_API RNode {
public:
    // A lone record; the data node's back link is not touched. Null when
    // memory runs out.
    static RNode* New(CBaseNode* data, tagNODETYPE type);
    // As New, and points the data node's back link at the new record.
    static RNode* New2(CBaseNode* data, tagNODETYPE type);
    // Destroys the record only; null is allowed.
    static void Delete(RNode* rnode);

    CBaseNode* GetData() const { return m_pData; }
    void SetData(CBaseNode* data) { m_pData = data; CModelStamp::Bump(); }
    tagNODETYPE GetType() const { return m_type; }
    void SetType(tagNODETYPE type) { m_type = type; CModelStamp::Bump(); }

    // Marks laid on a tree during a walk.
    void SetExtData(unsigned long data) { m_ulExtData = data; }
    unsigned long GetExtData() const { return m_ulExtData; }

    // Raw links; RNTool keeps them consistent.
    RNode* GetParent() const { return m_pParent; }
    void SetParent(RNode* parent) { m_pParent = parent; CModelStamp::Bump(); }
    RNode* GetChild() const { return m_pChild; }
    void SetChild(RNode* child) { m_pChild = child; CModelStamp::Bump(); }
    RNode* GetPrev() const { return m_pPrev; }
    void SetPrev(RNode* prev) { m_pPrev = prev; CModelStamp::Bump(); }
    RNode* GetNext() const { return m_pNext; }
    void SetNext(RNode* next) { m_pNext = next; CModelStamp::Bump(); }

protected:
    RNode(CBaseNode* data, tagNODETYPE type);
    virtual ~RNode();
    RNode(const RNode&) = delete;
    RNode& operator=(const RNode&) = delete;

private:
    RNode* m_pParent = nullptr;
    RNode* m_pChild = nullptr;
    RNode* m_pPrev;
    RNode* m_pNext = nullptr;
    CBaseNode* m_pData;
    tagNODETYPE m_type;
    unsigned long m_ulExtData = 0;
};
