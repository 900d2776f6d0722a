#pragma once

#include "base/ZandrelExport.h"
#include "base/model/TList.h"
#include "base/tools/CStringTool.h"

class CColctNode;
class CUrlNode;

// List record of a loaded collection, with a matched mark and a spare word.
class ZANDREL_API RColctItem final : public TListRecord<RColctItem, CColctNode*> {
public:
    static RColctItem* New(CColctNode* colct, bool matched = false);
    static void Delete(RColctItem* record);

    void SetMatched(bool matched) { m_bMatched = matched; }
    bool IsMatched() const { return m_bMatched; }
    void SetWord(unsigned long word) { m_ulWord = word; }
    unsigned long GetWord() const { return m_ulWord; }

private:
    RColctItem(CColctNode* colct, bool matched) : TListRecord(colct), m_bMatched(matched) { SetPrev(this); }

    bool m_bMatched;
    unsigned long m_ulWord = 0;
};

// A reference to one item across collections, by identifiers and, once
// resolved, by pointers (not owned).
class ZANDREL_API CColctItemID {
public:
    static CColctItemID* New();
    static void Delete(CColctItemID* ref);

    void SetColctID(const char16_t* id) { m_colctID = OptTextFrom(id); }
    const char16_t* GetColctID() const { return OptTextPtr(m_colctID); }
    void SetItemID(const char16_t* id) { m_itemID = OptTextFrom(id); }
    const char16_t* GetItemID() const { return OptTextPtr(m_itemID); }
    void SetColctNode(CColctNode* colct) { m_pColct = colct; }
    CColctNode* GetColctNode() const { return m_pColct; }
    void SetUrlNode(CUrlNode* item) { m_pItem = item; }
    CUrlNode* GetUrlNode() const { return m_pItem; }
    void SetName(const char16_t* name) { m_name = OptTextFrom(name); }
    const char16_t* GetName() const { return OptTextPtr(m_name); }

    // Resolves the collection of `ref` in `list`. A pointer already held
    // must still be in the list; otherwise the identifier decides. On
    // failure both pointers of `ref` are cleared.
    static bool FindColctNode(RColctItem* list, CColctItemID* ref);
    // As FindColctNode, then resolves the item among the collection's
    // first-level items the same way; on failure the item pointer is cleared.
    static bool FindColctUrlNode(RColctItem* list, CColctItemID* ref);

protected:
    CColctItemID() = default;
    virtual ~CColctItemID() = default;

private:
    OptText m_colctID;
    OptText m_itemID;
    CColctNode* m_pColct = nullptr;
    CUrlNode* m_pItem = nullptr;
    OptText m_name;
};

// List record of CColctItemID; never frees its data.
class ZANDREL_API RColctItemID final : public TListRecord<RColctItemID, CColctItemID*> {
public:
    static RColctItemID* New(CColctItemID* ref);
    static void Delete(RColctItemID* record);

private:
    explicit RColctItemID(CColctItemID* ref) : TListRecord(ref) { SetPrev(this); }
};
