#pragma once

#include "base/ZandrelExport.h"
#include "base/xml/CWriteXML.h"
#include "base/xml/TReadOwnedXML.h"

class CTagStore;
class CTagItem;

// Writes a tag store as "krv_tags.xml": <krvtags version="2.0"> with one
// <tag name="…"> per tag holding a <url> per address.
class ZANDREL_API CWriteTagsXML : public CWriteXML {
public:
    // The store to write; not owned.
    void SetTagStore(CTagStore* store) { m_pStore = store; }

protected:
    void FillData() override;
    void AddHead();
    void AddTail();
    void FillTagItem(CTagItem* tag);
    void FillEachUrlItem(const char16_t* url);

private:
    CTagStore* m_pStore = nullptr;
};

// Reads "krv_tags.xml" into a new tag store.
class ZANDREL_API CReadTagsXML : public TReadOwnedXML<CTagStore> {
public:
    CReadTagsXML();

    // The store read (the caller owns it), or null when the file held no
    // krvtags root.
    CTagStore* DetachTagStore() { return DetachResult(); }

protected:
    void ForgetWalk() override { m_pTag = nullptr; }
    void ProcessElementNode(XMLNode* node) override;
    void OnLeaveNode(XMLNode* node) override;

private:
    enum { SCOPE_ROOT = 0, SCOPE_TAG = 2, SCOPE_URL = 3 };

    CTagItem* m_pTag = nullptr;
    int m_nScope = SCOPE_ROOT;
};
