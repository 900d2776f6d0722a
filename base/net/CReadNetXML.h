#pragma once

#include "base/ZandrelExport.h"
#include "base/xml/CReadXML.h"

class CColctNode;
class CBaseNode;
class CNodeStat;
class RColctItem;

// Reads the account service's list of collections: a "korvel" root whose
// "collections" element holds one "colct" element per collection. Each
// becomes a CColctNode (title, link, description, uuid, modified, stat and
// sx:sync) carried by an RColctItem record.
class ZANDREL_API CReadNetXML : public CReadXML, public CParseXML {
public:
    CReadNetXML() = default;
    // Frees a list that was read but never detached.
    ~CReadNetXML() override;

    // The list read; still owned by the reader.
    RColctItem* GetRColctItemHead() const { return m_pHead; }
    // Hands the list to the caller, who frees it with DeleteRColctItemList.
    RColctItem* DetachRColctItemHead();
    void* DetachData() override { return DetachRColctItemHead(); }
    // Frees every record and the collection it carries. Null is allowed.
    static void DeleteRColctItemList(RColctItem* head);

protected:
    bool InvokeParser(XMLNode* root) override;
    void DiscardResult() override;
    void ParseXMLTree(XMLNode* root) override;
    void ProcessElementNode(XMLNode* node) override;

private:
    void ProcessColct(XMLNode* node);
    void ReadStat(XMLNode* node, CNodeStat* stat);
    void ReadSync(XMLNode* node, CBaseNode* base);

    RColctItem* m_pHead = nullptr;
};
