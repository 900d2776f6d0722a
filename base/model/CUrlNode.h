#pragma once

#include "base/ZandrelExport.h"
#include "base/model/CBaseNode.h"

class CUrlProp;

enum tagKRVITEMTYPE : int {
    ITEM_LINK = 0,
    ITEM_NOTE = 1,
    ITEM_WEBPAGE = 2,
    ITEM_FILE = 3,
};

// An item: a page of the project, a link or a link to a file.
class ZANDREL_API CUrlNode : public CBaseNode {
public:
    // Addresses, authors and relation addresses longer than this are refused.
    static constexpr size_t kMaxUrlLength = 2084;

    // An empty item with the address "about:blank"; null when memory runs out.
    static CUrlNode* New();
    // A copy of `source` with its own copy of the properties; null for null.
    static CUrlNode* New(CUrlNode* source);

    // Replaces the address unless `url` is longer than kMaxUrlLength; null
    // leaves no address. Returns whether the address was replaced.
    bool SetUrl(const char16_t* url);
    const char16_t* GetUrl() const { return OptTextPtr(m_url); }
    // True for a present, non-empty address other than exactly "about:blank".
    bool HasUrl() const;

    // Each keeps a copy of `text`, or nothing when it is null or too long.
    void SetAuthor(const char16_t* text);
    const char16_t* GetAuthor() const { return OptTextPtr(m_author); }
    void SetRelationUrl(const char16_t* text);
    const char16_t* GetRelationUrl() const { return OptTextPtr(m_relationUrl); }

    void SetItemType(tagKRVITEMTYPE type)
    {
        m_itemType = type;
        CModelStamp::Bump();
    }
    tagKRVITEMTYPE GetItemType() const { return m_itemType; }

    // The properties, made empty on first call; null only when memory runs out.
    CUrlProp* GetUrlProp();
    // The properties if they were ever made, without making them.
    CUrlProp* PeekUrlProp() const { return m_pProp; }

protected:
    CUrlNode();
    ~CUrlNode() override;
    void CopyFrom(const CUrlNode& source);

private:
    OptText m_url;
    OptText m_author;
    CUrlProp* m_pProp = nullptr;
    tagKRVITEMTYPE m_itemType = ITEM_LINK;
    OptText m_relationUrl;
};
