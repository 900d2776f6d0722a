#pragma once

#include "base/ZandrelExport.h"
#include "base/xml/CReadXML.h"

class CColctNode;
class RNode;

// Reads a collection file (RSS 2.0 with the krv and sx extensions) into a
// new collection with its own local tree: the channel gives the
// collection, krv:folder elements its folders and each item an item,
// placed into the folders its krv:folderref elements name.
class ZANDREL_API CReadBkmarkXML : public CReadXML {
public:
    CReadBkmarkXML() = default;
    // Frees a collection that was read but never detached.
    ~CReadBkmarkXML() override;

    // Hands the collection read (with its local tree) to the caller; null
    // when the document had no rss root or no channel, or failed to load.
    CColctNode* DetachColctNode();

    // Frees every record below `node` together with the node it carries;
    // `node` itself stays, without children. Null is allowed.
    static void DeleteAllChildren(RNode* node);

protected:
    bool InvokeParser(XMLNode* root) override;
    void DiscardResult() override;
    // Walks an rss root and keeps the collection built; false when the
    // walk failed (nothing is then kept).
    bool OnParseRSSXML(XMLNode* root);

private:
    CColctNode* m_pColct = nullptr;
};
