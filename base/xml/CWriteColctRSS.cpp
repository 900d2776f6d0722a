#include "base/xml/CWriteColctRSS.h"

#include <charconv>
#include <new>

#include "base/model/CColctNode.h"
#include "base/model/CProfExtra.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNode.h"
#include "base/tools/CQVTime.h"
#include "base/tools/CUnicodeTool.h"

namespace {

constexpr char kTitle[] = "<title>";
constexpr char kTitleEnd[] = "</title>\r\n";
constexpr char kDescription[] = "<description>";
constexpr char kDescriptionEnd[] = "</description>\r\n";
constexpr char kLink[] = "<link>";
constexpr char kLinkEnd[] = "</link>\r\n";
constexpr char kAuthor[] = "<author>";
constexpr char kAuthorEnd[] = "</author>\r\n";
constexpr char kGenerator[] = "<generator>";
constexpr char kGeneratorEnd[] = "</generator>\r\n";

constexpr int Len(const char* literal)
{
    int n = 0;
    while (literal[n])
        ++n;
    return n;
}

bool IsEmpty(const char16_t* text)
{
    return !text || !*text;
}

}  // namespace

void CWriteColctRSS::SetColctNode(CColctNode* colct)
{
    m_pColct = colct;
    m_pFolderRoot = colct ? colct->GetLocRNodeRoot() : nullptr;
}

void CWriteColctRSS::FillData()
{
    Buffer()->Reset();
    if (!m_pColct)
        return;
    FillHead();
    FillFolders();
    FillGoThroughEachFolder(m_pColct->GetLocRNodeRoot());
    FillEnd();
}

void CWriteColctRSS::FillHead()
{
    Buffer()->Reset();
    AddXMLVersion();
    AddHead();
    FillColctData();
}

void CWriteColctRSS::AddHead()
{
    FillString("<rss version=\"2.0\"");
    FillNamespaces();
    FillString(">\r\n<channel>\r\n");
}

void CWriteColctRSS::AddTail()
{
    FillString("</channel>\r\n</rss>");
}

void CWriteColctRSS::FillEnd()
{
    AddTail();
}

CWriteColctRSS::tagUUIDSTATE CWriteColctRSS::PrepareUUID(CBaseNode* node)
{
    if (!*node->GetUUID())
        CBaseNode::AssignUUID(node);
    const char16_t* uuid = node->GetUUID();
    // The node cuts identifiers to 36 characters, so this only guards
    // against a model that one day stores longer ones.
    size_t length = CStringTool::Length(uuid);
    if (length > static_cast<size_t>(CBaseNode::kUUIDLength)) {
        m_uuid = std::to_string(length);
        return UUID_TOO_LONG;
    }
    m_uuid.clear();
    try {
        CUnicodeTool::AppendUtf8(uuid, m_uuid);  // FillSync escapes it
    } catch (const std::bad_alloc&) {
        return UUID_NOT_CONVERTED;
    }
    return UUID_OK;
}

void CWriteColctRSS::FillBuild(const CBaseNode* node)
{
    if (node->GetBaseBuild() == 0)
        return;
    Put("<krv:build basebuild=\"");
    PutNumber(node->GetBaseBuild());
    if (node->HasCheckedIn())
        Put("\" />\r\n");
    else
        Put("\" checkedin=\"false\" />\r\n");
}

void CWriteColctRSS::FillColctData()
{
    CColctNode* colct = m_pColct;
    if (!IsEmpty(colct->GetName()))
        FillNode(colct->GetName(), kTitle, kTitleEnd, Len(kTitle));
    if (!IsEmpty(colct->GetDescription()))
        FillNode(colct->GetDescription(), kDescription, kDescriptionEnd, Len(kDescription));
    if (m_generator) {
        FillNode(m_generator->c_str(), kGenerator, kGeneratorEnd, Len(kGenerator));
    } else {
        int version = CProfExtra::s_iThisKRVVersion;
        FillFormat("<generator>Zandrel v%d.%d.%d\n</generator>\r\n", version / 100, version % 100 / 10,
                   version % 10);
    }
    FillBuild(colct);
    Flush();
    switch (PrepareUUID(colct)) {
    case UUID_OK:
        FillSync(m_uuid.c_str(), colct->GetVersion());
        break;
    case UUID_TOO_LONG:
        FillFormat("<krv:error uuidlen=\"%s\" />", m_uuid.c_str());
        break;
    case UUID_NOT_CONVERTED:
        FillString("<krv:error  uuidutf8=\"false\" />");
        break;
    }
}

void CWriteColctRSS::FillFolders()
{
    if (!m_pFolderRoot)
        return;
    m_folderStack.clear();
    m_folderStack.push_back(m_pFolderRoot->GetChild());
    while (!m_folderStack.empty()) {
        RNode* rnode = m_folderStack.back();
        if (!rnode) {
            m_folderStack.pop_back();
            // Every level but the first was opened by a folder element.
            if (!m_folderStack.empty())
                FillString("</krv:folder>\r\n");
            continue;
        }
        m_folderStack.back() = rnode->GetNext();
        if (rnode->GetType() != NT_FOLDER || !rnode->GetData())
            continue;
        FillFolderData(rnode->GetData());
        m_folderStack.push_back(rnode->GetChild());
    }
}

void CWriteColctRSS::FillFolderData(CBaseNode* folder)
{
    FillString("<krv:folder>\r\n");
    if (!IsEmpty(folder->GetName()))
        FillNode(folder->GetName(), kTitle, kTitleEnd, Len(kTitle));
    if (!IsEmpty(folder->GetDescription()))
        FillNode(folder->GetDescription(), kDescription, kDescriptionEnd, Len(kDescription));
    // Without its identity the folder is still closed, so the file stays
    // well-formed and its children are kept.
    if (PrepareUUID(folder) == UUID_OK)
        FillSync(m_uuid.c_str(), folder->GetVersion());
}

void CWriteColctRSS::FillGoThroughEachFolder(RNode* node)
{
    if (!node)
        return;
    m_pWalkRoot = node;
    m_itemStack.clear();
    m_itemStack.emplace_back(node->GetChild(), 1);
    while (!m_itemStack.empty()) {
        auto& [rnode, order] = m_itemStack.back();
        if (!rnode) {
            m_itemStack.pop_back();
            continue;
        }
        RNode* child = rnode;
        rnode = child->GetNext();
        CBaseNode* data = child->GetData();
        if (!data)
            continue;
        data->SetOrder(order++);
        if (!*data->GetUUID())
            CBaseNode::AssignUUID(data);
        if (child->GetType() == NT_URL)
            FillEachNode(static_cast<CUrlNode*>(data), child->GetParent());
        else if (child->GetType() == NT_FOLDER && child->GetChild())
            m_itemStack.emplace_back(child->GetChild(), 1);  // invalidates rnode and order
    }
}

void CWriteColctRSS::FillEachNode(CUrlNode* item, RNode* parent)
{
    bool checkedIn = item->HasCheckedIn();
    if (checkedIn && item->IsDeleted())
        return;  // the deletion has reached the service: nothing left to tell
    if (m_bOnlyUnchecked && checkedIn && item->GetBaseBuild() != 0)
        return;
    Put("<item>");
    FillUrlNodeFirstPart(item, parent);
    FillNodeStat(item);
    FillUrlNodeLastPart(item);
    FillUrlNodeTags(item);
    Put("</item>\r\n");
    Flush();
}

void CWriteColctRSS::PutElement(const char16_t* text, const char* startTag, size_t startLen, const char* endTag,
                                size_t endLen)
{
    m_item.append(startTag, startLen);
    AppendEscapedUTF8(text, m_item);
    m_item.append(endTag, endLen);
}

void CWriteColctRSS::PutNumber(long value)
{
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    m_item.append(digits, static_cast<size_t>(result.ptr - digits));
}

void CWriteColctRSS::Flush()
{
    FillString(m_item.data(), static_cast<int>(m_item.size()));
    m_item.clear();
}

void CWriteColctRSS::FillUrlNodeFirstPart(CUrlNode* item, RNode* parent)
{
    if (!IsEmpty(item->GetName()))
        PutElement(item->GetName(), kTitle, Len(kTitle), kTitleEnd, Len(kTitleEnd));
    if (!IsEmpty(item->GetUrl()))
        PutElement(item->GetUrl(), kLink, Len(kLink), kLinkEnd, Len(kLinkEnd));
    if (!IsEmpty(item->GetDescription()))
        PutElement(item->GetDescription(), kDescription, Len(kDescription), kDescriptionEnd, Len(kDescriptionEnd));
    // The reader takes an author from the item, so one that came from a
    // file is written back rather than lost on the next save.
    if (!IsEmpty(item->GetAuthor()))
        PutElement(item->GetAuthor(), kAuthor, Len(kAuthor), kAuthorEnd, Len(kAuthorEnd));
    if (parent && parent != m_pWalkRoot && parent->GetType() == NT_FOLDER && parent->GetData())
        SingleFillFolderRef(parent);
    FillKRVRelation(item);
}

void CWriteColctRSS::SingleFillFolderRef(RNode* folder)
{
    CBaseNode* data = folder->GetData();
    if (!*data->GetUUID())
        CBaseNode::AssignUUID(data);
    Put("<krv:folderref folderid=\"");
    AppendEscapedUTF8(data->GetUUID(), m_item);
    Put("\"/>");
}

void CWriteColctRSS::FillKRVRelation(CUrlNode* item)
{
    tagKRVITEMTYPE type = item->GetItemType();
    if (type == ITEM_NOTE) {
        Put("<krv:rel type=\"note\" />");
        return;
    }
    if ((type != ITEM_WEBPAGE && type != ITEM_FILE) || IsEmpty(item->GetRelationUrl()))
        return;
    if (type == ITEM_WEBPAGE) {
        Put("<krv:rel type=\"webpage\" href=\"");
    } else {
        Put("<krv:rel type=\"file\"");
        const CUrlProp* prop = item->PeekUrlProp();
        tagKRVITEMFILETYPE fileType = prop ? prop->GetFileType() : FILE_UNKNOWN;
        if (fileType >= FILE_UNKNOWN && fileType <= FILE_XLS) {
            Put(" subtype=\"");
            AppendEscapedUTF8(CUrlProp::GetFileTypeSubtype(fileType), m_item);
            Put("\"");
        }
        Put(" href=\"");
    }
    AppendEscapedUTF8(item->GetRelationUrl(), m_item);
    Put("\" />");
}

void CWriteColctRSS::FillNodeStat(CUrlNode* item)
{
    const CNodeStat* stat = item->GetNodeStat();
    long added = 0, modified = 0, visited = 0;
    stat->GetStatTime(&added, &modified, &visited);
    char date[48];
    // A time beyond what the calendar functions take has no date to show.
    if (CQVTime::FormatPubDate(modified, date, sizeof date)) {
        Put("<pubDate>");
        m_item.append(date);
        Put("</pubDate>\r\n");
    }
    Put("<krv:stat added=\"");
    PutNumber(added);
    Put("\" modified=\"");
    PutNumber(modified);
    Put("\" lastVisited=\"");
    PutNumber(visited);
    if (stat->GetFlag() == 0 && !stat->IsUnread()) {
        Put("\"/>\r\n");
        return;
    }
    if (stat->GetFlag() != 0) {
        Put("\" flag=\"");
        PutNumber(stat->GetFlag());
    }
    if (stat->IsUnread())
        Put("\" unread=\"true\" />\r\n");
    else
        Put("\" />\r\n");
}

void CWriteColctRSS::FillUrlNodeLastPart(CUrlNode* item)
{
    switch (PrepareUUID(item)) {
    case UUID_OK:
        Flush();
        FillSync(m_uuid.c_str(), item->GetVersion(), item->IsDeleted());
        FillBuild(item);
        break;
    case UUID_TOO_LONG:
        Put("<krv:error uuidlen=\"");
        m_item += m_uuid;
        Put("\" />");
        break;
    case UUID_NOT_CONVERTED:
        break;
    }
}

void CWriteColctRSS::FillUrlNodeTags(CUrlNode* item)
{
    const CUrlProp* prop = item->PeekUrlProp();
    const RBstrItem* tag = prop ? prop->GetTagsHead() : nullptr;
    if (!tag)
        return;
    Put("<krv:tags>");
    AppendEscapedUTF8(tag->GetData(), m_item);
    for (tag = tag->GetNext(); tag; tag = tag->GetNext()) {
        Put(" ");
        AppendEscapedUTF8(tag->GetData(), m_item);
    }
    Put("</krv:tags>\r\n");
}
