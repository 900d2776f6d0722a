#pragma once

#include <string>
#include <vector>

#include "base/ZandrelExport.h"
#include "base/model/RNode.h"
#include "base/xml/CReadXML.h"

class CBaseNode;
class CColctNode;
class CFolderNode;

// Walks an OPML document into a tree: a root folder named after the head
// title, folder outlines as NT_FOLDER records and feed outlines as
// NT_COLCT records holding collections. Also reads the krv:opml version.
class ZANDREL_API CParseOPML : public CParseXML {
public:
    CParseOPML() = default;
    // Deletes a tree that was not detached.
    ~CParseOPML() override;

    // Whether `root` is an element named exactly "opml".
    static bool IsOpmlRoot(const XMLNode* root);
    // Walks the document below `root` (the opml element); HasWalkFailed
    // tells whether the result must be dropped.
    void ParseXMLTree(XMLNode* root) override;

    // The root record of the tree read, handed to the caller (release it
    // with CReadFolderTreeOPML::DeleteTree); null when nothing was read.
    RNode* DetachTreeRoot();
    void* DetachData() override { return DetachTreeRoot(); }
    // The version of krv:opml; 0 when there was none.
    int GetOpmlVersion() const { return m_nOpmlVersion; }

protected:
    void ProcessElementNode(XMLNode* node) override;
    void OnLeaveNode(XMLNode* node) override;

    void ProcessOutline(XMLNode* node);
    // A type of "rss", or no type but an xmlUrl, makes a feed.
    bool IsRssFeed(XMLNode* node);
    void ProcessFolder(XMLNode* node);
    void ProcessRssFeed(XMLNode* node);
    void SetFolderAttributes(CFolderNode* folder, const char* name, const std::u16string& value);
    void SetColctAttributes(CColctNode* colct, const char* name, const std::u16string& value);
    void ProcessSyncAttributes(XMLNode* node);
    void ProcessKRVOpml(XMLNode* node);
    void ProcessFolderProp(XMLNode* node);

private:
    struct OpenOutline {
        XMLNode* element;  // the outline element, to pop on leaving it
        RNode* rnode;      // the record it made; null when it made none
        bool folder;       // whether that is a folder, now the current node
    };

    // Hangs a new record for `data` under the current node; the data node
    // is deleted when no record can be made.
    RNode* AddChild(CBaseNode* data, tagNODETYPE type);
    // The node the identity, statistics and folder marks of an element
    // describe: the innermost open outline, or the current node between
    // outlines.
    RNode* GetDescribedNode() const;

    RNode* m_pRoot = nullptr;
    RNode* m_pCurrent = nullptr;
    std::vector<OpenOutline> m_openOutlines;
    int m_nOpmlVersion = 0;
};

// Reads the folder tree file, or any OPML outline list of folders and
// feeds, with a CParseOPML walker over a root named "opml".
class ZANDREL_API CReadFolderTreeOPML : public CReadXML {
public:
    CReadFolderTreeOPML() = default;
    // Deletes a tree that was not detached.
    ~CReadFolderTreeOPML() override;

    // The tree read, handed to the caller (release it with DeleteTree);
    // null when the document had no opml root or the load failed.
    RNode* DetachTreeRoot();
    // The version of krv:opml; 0 when there was none.
    int GetOpmlVersion() const { return m_nOpmlVersion; }

    // Releases a whole tree: every record and its data node, collection
    // records through CColctNode::DeleteAll. A folder's own collection goes
    // with the folder; its item list must have been released before, as
    // for any folder. Null is allowed.
    static void DeleteTree(RNode* root);

protected:
    bool InvokeParser(XMLNode* root) override;
    void DiscardResult() override;

private:
    RNode* m_pRoot = nullptr;
    int m_nOpmlVersion = 0;
};
