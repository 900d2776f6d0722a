#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/ZandrelExport.h"
#include "base/tools/CStringTool.h"
#include "base/xml/CWriteXML.h"

class CBaseNode;
class CColctNode;
class CUrlNode;
class RNode;

// Writes a collection as RSS 2.0 with the krv and sx extensions: the
// collection in the channel header, its folders as nested krv:folder
// elements and every item as an RSS item. Writing renumbers the order of
// the nodes walked and gives every node without an identifier a new one.
class ZANDREL_API CWriteColctRSS : public CWriteXML {
public:
    CWriteColctRSS() = default;
    ~CWriteColctRSS() override = default;

    // The collection to write (not owned); its local root becomes the
    // folder root. Without a collection the document is empty and saving
    // fails.
    void SetColctNode(CColctNode* colct);
    // Replaces the root whose folder children are written as krv:folder.
    void SetFolderRNode(RNode* root) { m_pFolderRoot = root; }
    // When set, items that have a base build and are checked in are left out.
    void SetOnlyWriteUnchecked(bool only) { m_bOnlyUnchecked = only; }
    // The text of the generator element (copied); null restores the
    // default "Zandrel vX.Y.Z" taken from CProfExtra::s_iThisKRVVersion.
    void SetGenerator(const char16_t* text) { m_generator = OptTextFrom(text); }

protected:
    void FillData() override;

    // Buffer reset, declaration, root and channel start tags, channel header.
    void FillHead();
    // Every folder below the folder root, nested as in the tree.
    void FillFolders();
    // The items below `node`, depth first; numbers the children of each
    // level from 1 and assigns missing identifiers on the way.
    void FillGoThroughEachFolder(RNode* node);
    // Channel and root end tags.
    void FillEnd();

    void AddHead();
    void AddTail();
    // title, description, generator, krv:build and the collection's sx:sync.
    void FillColctData();
    // A folder's start tag, title, description and sx:sync; its children
    // and end tag are written by FillFolders.
    void FillFolderData(CBaseNode* folder);
    // One item element, unless the item is left out.
    void FillEachNode(CUrlNode* item, RNode* parent);
    // title, link, description, author, krv:folderref and krv:rel.
    void FillUrlNodeFirstPart(CUrlNode* item, RNode* parent);
    void SingleFillFolderRef(RNode* folder);
    void FillKRVRelation(CUrlNode* item);
    // pubDate and krv:stat.
    void FillNodeStat(CUrlNode* item);
    // sx:sync and krv:build.
    void FillUrlNodeLastPart(CUrlNode* item);
    void FillUrlNodeTags(CUrlNode* item);
    // `<krv:build basebuild="…" />`, with checkedin="false" when the node
    // is not checked in; nothing for base build 0.
    void FillBuild(const CBaseNode* node);

    // An item is composed in m_item and appended in one piece (Flush):
    // far fewer buffer calls than one per fragment.
    template <size_t N>
    void Put(const char (&literal)[N]) { m_item.append(literal, N - 1); }
    void PutNumber(long value);
    // Start tag, the escaped text, end tag.
    void PutElement(const char16_t* text, const char* startTag, size_t startLen, const char* endTag,
                    size_t endLen);
    void Flush();

    enum tagUUIDSTATE { UUID_OK, UUID_TOO_LONG, UUID_NOT_CONVERTED };
    // Gives `node` an identifier when it has none and leaves its UTF-8
    // form in m_uuid (or, when too long, its length).
    tagUUIDSTATE PrepareUUID(CBaseNode* node);

private:
    CColctNode* m_pColct = nullptr;
    RNode* m_pFolderRoot = nullptr;
    RNode* m_pWalkRoot = nullptr;
    bool m_bOnlyUnchecked = false;
    OptText m_generator;
    // Scratch space reused for every node, so the walk does not allocate
    // per item.
    std::string m_uuid;
    std::string m_item;
    // Walk stacks: the next sibling to visit on each level (and, for the
    // items, the order number it gets). Loops rather than recursion, so a
    // deep tree cannot exhaust the stack.
    std::vector<RNode*> m_folderStack;
    std::vector<std::pair<RNode*, int>> m_itemStack;
};
