#pragma once

#include "base/ZandrelExport.h"
#include "base/xml/TReadOwnedXML.h"

class CColctNode;
class CBaseNode;
class CNodeStat;
class RColctItem;

// Reads the account service's list of collections: a "korvel" root whose
// "collections" element holds one "colct" element per collection. Each
// becomes a CColctNode (title, link, description, uuid, modified, stat and
// sx:sync) carried by an RColctItem record.
class ZANDREL_API CReadNetXML : public TReadOwnedXML<RColctItem> {
public:
    CReadNetXML();

    // The list read; still owned by the reader.
    RColctItem* GetRColctItemHead() const { return m_pResult; }
    // Hands the list to the caller, who frees it with DeleteRColctItemList.
    RColctItem* DetachRColctItemHead() { return DetachResult(); }
    // Frees every record and the collection it carries. Null is allowed.
    static void DeleteRColctItemList(RColctItem* head);

protected:
    // A fresh load replaces whatever an earlier one left behind, and
    // another root loads without a walk.
    bool InvokeParser(XMLNode* root) override
    {
        DiscardResult();
        return !IsName(root, "korvel") || TReadOwnedXML::InvokeParser(root);
    }
    void ParseXMLTree(XMLNode* root) override;
    void ProcessElementNode(XMLNode* node) override;

private:
    void ProcessColct(XMLNode* node);
    void ReadStat(XMLNode* node, CNodeStat* stat);
    void ReadSync(XMLNode* node, CBaseNode* base);

};
