#pragma once

#include <string>
#include <string_view>

#include "base/ZandrelExport.h"
#include "base/model/CModelStamp.h"
#include "base/model/CNodeStat.h"
#include "base/tools/CStringTool.h"

class RNode;

// Common part of folders, items and collections. Nodes are made by the New
// operations of the subclasses and destroyed by Delete; they never link to
// each other themselves (see RNode).
class ZANDREL_API CBaseNode {
public:
    static constexpr int kUUIDLength = 36;
    static constexpr int kCheckedIn = 2;

    // Destroys any node through its virtual destructor; null is allowed.
    static void Delete(CBaseNode* node);

    // Null leaves no name; GetName then returns null.
    void SetName(const char16_t* name);
    const char16_t* GetName() const { return OptTextPtr(m_name); }
    // Null stores the empty text; never returns null.
    void SetDescription(const char16_t* text);
    const char16_t* GetDescription() const { return m_description.c_str(); }
    // The name and the description folded by CStringTool::FoldCase, made
    // when they are set so that case-insensitive searches do not fold them
    // again; "" for no name.
    std::u16string_view GetFoldedName() const { return {m_folded.data(), m_foldedNameLength}; }
    std::u16string_view GetFoldedDescription() const
    {
        return std::u16string_view(m_folded).substr(m_foldedNameLength + 1);
    }

    // Keeps at most the first 36 characters; null or "" empties it.
    void SetUUID(const char16_t* uuid);
    // Never null; empty when the node has no identifier yet.
    const char16_t* GetUUID() const { return m_szUUID; }
    // Gives `node` a new random UUID; false for no node.
    static bool AssignUUID(CBaseNode* node);

    void SetVersion(int version) { m_nVersion = version; }
    int GetVersion() const { return m_nVersion; }
    void SetOrder(int order) { m_nOrder = order; }
    int GetOrder() const { return m_nOrder; }
    void SetBaseBuild(int build) { m_nBaseBuild = build; }
    int GetBaseBuild() const { return m_nBaseBuild; }

    void SetCheckedIn(int state) { m_nCheckedIn = state; }
    // True when checked in (state 2); the raw state goes to `state` if given.
    bool HasCheckedIn(int* state = nullptr) const;

    void SetAsDeleted(bool deleted) { m_bDeleted = deleted; }
    bool IsDeleted() const { return m_bDeleted; }

    // A slot for one record the program attaches; never freed by the node.
    void SetNodeData(unsigned long data) { m_ulNodeData = data; }
    unsigned long GetNodeData() const { return m_ulNodeData; }

    CNodeStat* GetNodeStat() { return &m_stat; }
    const CNodeStat* GetNodeStat() const { return &m_stat; }

    // The link record holding this node; not owned.
    void SetRNode(RNode* rnode) { m_pRNode = rnode; }
    RNode* GetRNode() const { return m_pRNode; }

protected:
    CBaseNode() = default;
    virtual ~CBaseNode();
    CBaseNode(const CBaseNode&) = delete;
    CBaseNode& operator=(const CBaseNode&) = delete;

    // Takes over everything but the back link, which the copy never shares.
    void CopyFrom(const CBaseNode& source);

private:
    // Both folded texts, the name first, a NUL between them: one block to
    // read when a search goes through many nodes, and first in the node so
    // that it lies in the node's first cache line.
    std::u16string m_folded = std::u16string(1, u'\0');
    size_t m_foldedNameLength = 0;
    RNode* m_pRNode = nullptr;
    OptText m_name = std::u16string();
    std::u16string m_description;
    CNodeStat m_stat;
    char16_t m_szUUID[41] = {};
    int m_nVersion = 1;
    int m_nOrder = 1;
    int m_nCheckedIn = kCheckedIn;
    int m_nBaseBuild = 0;
    bool m_bDeleted = false;
    unsigned long m_ulNodeData = 0;
};
