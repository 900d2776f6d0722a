#include "base/xml/CReadBkmarkXML.h"

#include <libxml/tree.h>

#include <climits>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/model/CColctNode.h"
#include "base/model/CFolderNode.h"
#include "base/model/CNodeStat.h"
#include "base/model/CUrlNode.h"
#include "base/model/CUrlProp.h"
#include "base/model/RNTool.h"
#include "base/model/RNode.h"
#include "base/tools/CUnicodeTool.h"

namespace {

// Characters that the copies made for second and later folder references
// may duplicate in all. A hostile file could otherwise multiply one large
// item by every folder it names.
constexpr size_t kCopyBudget = size_t{32} << 20;

enum tagSCOPE { SCOPE_ROOT = 0, SCOPE_CHANNEL = 1, SCOPE_FOLDER = 2, SCOPE_ITEM = 3 };

// Kept inline: identifiers are cut to 36 characters like every node's, so
// a reference still matches the folder it names, and needs no allocation.
struct RFolderRef {
    char16_t folderId[CBaseNode::kUUIDLength + 1];
    long order;
};

// An item read but not yet placed: its record and its folder references
// (a range of m_refs; items never nest, so their references are adjacent).
struct RPendingItem {
    RNode* rnode;
    size_t firstRef;
    size_t endRef;
};

// Versions and builds are 32-bit: an overflowing number stops at the
// limit rather than wrapping to a negative value.
int ToInt(long value)
{
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

// Exact comparison with a literal; unrolled by the compiler, and it stops
// at the first difference, so it never reads past the end of `name`.
template <size_t N>
bool Is(const char* name, const char (&expected)[N])
{
    for (size_t i = 0; i < N; ++i) {
        if (name[i] != expected[i])
            return false;
    }
    return true;
}

// Appends the UTF-16 form of a NUL-terminated UTF-8 text.
void AppendUtf16(const xmlChar* bytes, std::u16string& out)
{
    CUnicodeTool::AppendUtf16(reinterpret_cast<const char*>(bytes), out);
}

size_t CopyCost(CUrlNode* item)
{
    size_t cost = 64 + CStringTool::Length(item->GetName()) + CStringTool::Length(item->GetDescription()) +
                  CStringTool::Length(item->GetUrl()) + CStringTool::Length(item->GetAuthor()) +
                  CStringTool::Length(item->GetRelationUrl());
    if (const CUrlProp* prop = item->PeekUrlProp()) {
        for (const RBstrItem* tag = prop->GetTagsHead(); tag; tag = tag->GetNext())
            cost += 8 + CStringTool::Length(tag->GetData());
    }
    return cost;
}

// The walker behind CReadBkmarkXML. Its scope follows the element that
// opened it (channel, folder, item), so only that element's own children
// are read as its values and leaving it is recognised exactly.
class CParseBkmarkXML : public CParseXML {
public:
    CParseBkmarkXML() = default;
    ~CParseBkmarkXML() override;

    // Walks `root` and places the items read; false when the walk failed.
    bool Run(XMLNode* root);
    // The collection built, or null; the caller owns it.
    void* DetachData() override;
    static bool IsRSSRoot(const XMLNode* root) { return IsName(root, "rss"); }
    // ToLong, with plain digits (what the writer writes) read directly.
    static long Number(const std::u16string& value);

protected:
    void ParseXMLTree(XMLNode* root) override;
    void ProcessElementNode(XMLNode* node) override;
    void OnLeaveNode(XMLNode* node) override;

private:
    void ProcessChannelChild(XMLNode* node);
    void ProcessFolderChild(XMLNode* node);
    void ProcessItemChild(XMLNode* node);
    void NewColct(XMLNode* node);
    void NewFolder(XMLNode* node, RNode* parent);
    void NewItem(XMLNode* node);

    // The text of `node`. A lone text child, by far the usual case, is
    // decoded into a reused buffer; anything else goes through GetText.
    const std::u16string& Text(XMLNode* node);
    // As ForEachAttribute, with plain values decoded into a reused buffer:
    // the walk then allocates nothing per attribute.
    template <typename Visit>
    void Attributes(XMLNode* node, Visit visit);

    void ReadSync(XMLNode* node, CBaseNode* base);
    void ReadBuild(XMLNode* node, CBaseNode* base);
    void ReadStat(XMLNode* node, CNodeStat* stat);
    void ReadRel(XMLNode* node, CUrlNode* item);
    void ReadFolderRef(XMLNode* node);
    void ReadTags(XMLNode* node, CUrlNode* item);
    void ReadLink(XMLNode* node, CUrlNode* item);

    // Hangs every pending item (and copies for further references) into
    // the folders it names.
    void PlaceItems();

    tagSCOPE m_scope = SCOPE_ROOT;
    XMLNode* m_root = nullptr;
    XMLNode* m_channel = nullptr;
    XMLNode* m_itemNode = nullptr;
    CUrlNode* m_pItem = nullptr;
    // The open krv:folder elements, innermost last, with their records.
    std::vector<std::pair<XMLNode*, RNode*>> m_folders;
    CColctNode* m_pColct = nullptr;
    std::vector<RPendingItem> m_pending;
    std::vector<RFolderRef> m_refs;
    std::u16string m_text;
    std::u16string m_value;
    std::string m_qname;
};

CParseBkmarkXML::~CParseBkmarkXML()
{
    for (RPendingItem& pending : m_pending) {
        if (pending.rnode) {
            CBaseNode::Delete(pending.rnode->GetData());
            RNode::Delete(pending.rnode);
        }
    }
    CColctNode::DeleteAll(m_pColct);
}

bool CParseBkmarkXML::Run(XMLNode* root)
{
    ParseXMLTree(root);
    if (HasWalkFailed())
        return false;
    if (m_pColct)
        PlaceItems();
    return true;
}

void* CParseBkmarkXML::DetachData()
{
    CColctNode* colct = m_pColct;
    m_pColct = nullptr;
    return colct;
}

void CParseBkmarkXML::ParseXMLTree(XMLNode* root)
{
    m_root = root;
    GoThroughChildNodes(root);
}

void CParseBkmarkXML::ProcessElementNode(XMLNode* node)
{
    switch (m_scope) {
    case SCOPE_ROOT:
        // One channel per file; anything outside it, items included, is
        // not part of the collection.
        if (node->parent == m_root && !m_pColct && IsName(node, "channel"))
            NewColct(node);
        break;
    case SCOPE_CHANNEL:
        if (node->parent == m_channel)
            ProcessChannelChild(node);
        break;
    case SCOPE_FOLDER:
        if (node->parent == m_folders.back().first)
            ProcessFolderChild(node);
        break;
    case SCOPE_ITEM:
        if (node->parent == m_itemNode)
            ProcessItemChild(node);
        break;
    }
}

void CParseBkmarkXML::OnLeaveNode(XMLNode* node)
{
    switch (m_scope) {
    case SCOPE_ROOT:
        break;
    case SCOPE_CHANNEL:
        if (node == m_channel) {
            m_channel = nullptr;
            m_scope = SCOPE_ROOT;
        }
        break;
    case SCOPE_FOLDER:
        if (node == m_folders.back().first) {
            m_folders.pop_back();
            if (m_folders.empty())
                m_scope = SCOPE_CHANNEL;
        }
        break;
    case SCOPE_ITEM:
        if (node == m_itemNode) {
            m_pending.back().endRef = m_refs.size();
            m_itemNode = nullptr;
            m_pItem = nullptr;
            m_scope = SCOPE_CHANNEL;
        }
        break;
    }
}

void CParseBkmarkXML::NewColct(XMLNode* node)
{
    m_pColct = CColctNode::New();
    CFolderNode* placeholder = m_pColct ? CFolderNode::New() : nullptr;
    RNode* root = placeholder ? RNode::New2(placeholder, NT_FOLDER) : nullptr;
    if (!root) {
        CBaseNode::Delete(placeholder);
        FailWalk();
        return;
    }
    m_pColct->SetLocRNodeRoot(root);
    m_channel = node;
    m_scope = SCOPE_CHANNEL;
}

void CParseBkmarkXML::NewFolder(XMLNode* node, RNode* parent)
{
    CFolderNode* folder = CFolderNode::New();
    RNode* rnode = folder ? RNode::New2(folder, NT_FOLDER) : nullptr;
    if (!rnode) {
        CBaseNode::Delete(folder);
        FailWalk();
        return;
    }
    RNTool::InsertAsChild(parent, rnode);
    m_folders.emplace_back(node, rnode);
    m_scope = SCOPE_FOLDER;
}

void CParseBkmarkXML::NewItem(XMLNode* node)
{
    CUrlNode* item = CUrlNode::New();
    RNode* rnode = item ? RNode::New2(item, NT_URL) : nullptr;
    if (!rnode) {
        CBaseNode::Delete(item);
        FailWalk();
        return;
    }
    m_pending.push_back({rnode, m_refs.size(), m_refs.size()});
    m_itemNode = node;
    m_pItem = item;
    m_scope = SCOPE_ITEM;
}

void CParseBkmarkXML::ProcessChannelChild(XMLNode* node)
{
    if (IsName(node, "item"))
        NewItem(node);
    else if (IsName(node, "krv:folder"))
        NewFolder(node, m_pColct->GetLocRNodeRoot());
    else if (IsName(node, "title"))
        m_pColct->SetName(Text(node).c_str());
    else if (IsName(node, "description"))
        m_pColct->SetDescription(Text(node).c_str());
    else if (IsName(node, "sx:sync"))
        ReadSync(node, m_pColct);
    else if (IsName(node, "krv:build"))
        ReadBuild(node, m_pColct);
}

void CParseBkmarkXML::ProcessFolderChild(XMLNode* node)
{
    CBaseNode* folder = m_folders.back().second->GetData();
    if (IsName(node, "krv:folder"))
        NewFolder(node, m_folders.back().second);
    else if (IsName(node, "title"))
        folder->SetName(Text(node).c_str());
    else if (IsName(node, "description"))
        folder->SetDescription(Text(node).c_str());
    else if (IsName(node, "sx:sync"))
        ReadSync(node, folder);
}

void CParseBkmarkXML::ProcessItemChild(XMLNode* node)
{
    CUrlNode* item = m_pItem;
    const char* name = reinterpret_cast<const char*>(node->name);
    const char* prefix = node->ns && node->ns->prefix ? reinterpret_cast<const char*>(node->ns->prefix) : "";
    // Most items carry a dozen children: sort them by prefix first rather
    // than comparing every qualified name in turn.
    if (Is(prefix, "krv")) {
        if (Is(name, "stat"))
            ReadStat(node, item->GetNodeStat());
        else if (Is(name, "folderref"))
            ReadFolderRef(node);
        else if (Is(name, "rel"))
            ReadRel(node, item);
        else if (Is(name, "tags"))
            ReadTags(node, item);
        else if (Is(name, "build"))
            ReadBuild(node, item);
    } else if (Is(prefix, "sx")) {
        if (Is(name, "sync"))
            ReadSync(node, item);
    } else if (!*prefix) {
        if (Is(name, "title"))
            item->SetName(Text(node).c_str());
        else if (Is(name, "link"))
            ReadLink(node, item);
        else if (Is(name, "description"))
            item->SetDescription(Text(node).c_str());
        else if (Is(name, "author"))
            item->SetAuthor(Text(node).c_str());
    }
}

long CParseBkmarkXML::Number(const std::u16string& value)
{
    size_t size = value.size();
    if (size == 0 || size > 18)
        return ToLong(value);
    long number = 0;
    for (char16_t c : value) {
        if (c < u'0' || c > u'9')
            return ToLong(value);
        number = number * 10 + (c - u'0');
    }
    return number;
}

const std::u16string& CParseBkmarkXML::Text(XMLNode* node)
{
    m_text.clear();
    const xmlNode* child = node->children;
    if (child && !child->next && child->type == XML_TEXT_NODE) {
        if (child->content)
            AppendUtf16(child->content, m_text);
    } else if (child) {
        m_text = GetText(node);
    }
    return m_text;
}

template <typename Visit>
void CParseBkmarkXML::Attributes(XMLNode* node, Visit visit)
{
    for (const xmlAttr* attr = node->properties; attr && !HasWalkFailed(); attr = attr->next) {
        const char* name = reinterpret_cast<const char*>(attr->name);
        if (attr->ns && attr->ns->prefix) {
            m_qname.assign(reinterpret_cast<const char*>(attr->ns->prefix));
            m_qname += ':';
            m_qname += name;
            name = m_qname.c_str();
        }
        m_value.clear();
        const xmlNode* child = attr->children;
        if (child && !child->next && child->type == XML_TEXT_NODE) {
            if (child->content)
                AppendUtf16(child->content, m_value);
        } else if (child) {
            m_value = GetText(reinterpret_cast<const xmlNode*>(attr));
            if (HasWalkFailed())
                return;
        }
        visit(name, m_value);
    }
}

void CParseBkmarkXML::ReadSync(XMLNode* node, CBaseNode* base)
{
    Attributes(node, [base](const char* name, const std::u16string& value) {
        if (Is(name, "id"))
            base->SetUUID(value.c_str());
        else if (Is(name, "version"))
            base->SetVersion(ToInt(Number(value)));
        else if (Is(name, "deleted") && value == u"true")
            base->SetAsDeleted(true);
    });
}

void CParseBkmarkXML::ReadBuild(XMLNode* node, CBaseNode* base)
{
    Attributes(node, [base](const char* name, const std::u16string& value) {
        if (Is(name, "basebuild"))
            base->SetBaseBuild(ToInt(Number(value)));
        else if (Is(name, "checkedin") && value == u"false")
            base->SetCheckedIn(0);
    });
}

void CParseBkmarkXML::ReadStat(XMLNode* node, CNodeStat* stat)
{
    // The names the writer uses, and those of the older stat element (read
    // as ProcessNodeStat reads them), so that saved times, flags and unread
    // marks survive a reload.
    Attributes(node, [stat](const char* name, const std::u16string& value) {
        if (Is(name, "added") || Is(name, "addDate")) {
            stat->SetStatTime(Number(value), 0, 0, CNodeStat::STAT_ADDED);
        } else if (Is(name, "modified") || Is(name, "lastModified")) {
            stat->SetStatTime(0, Number(value), 0, CNodeStat::STAT_MODIFIED);
        } else if (Is(name, "lastVisited") || Is(name, "lastVisit")) {
            stat->SetStatTime(0, 0, Number(value), CNodeStat::STAT_VISITED);
        } else if (Is(name, "flag")) {
            long flag = Number(value);
            if (flag >= 0 && flag <= CNodeStat::kMaxFlag)
                stat->SetFlag(static_cast<int>(flag));
        } else if (Is(name, "unread") && value == u"true") {
            stat->MarkAsUnread(true);
        }
    });
}

void CParseBkmarkXML::ReadRel(XMLNode* node, CUrlNode* item)
{
    Attributes(node, [item](const char* name, const std::u16string& value) {
        if (Is(name, "type")) {
            if (value == u"note")
                item->SetItemType(ITEM_NOTE);
            else if (value == u"webpage")
                item->SetItemType(ITEM_WEBPAGE);
            else if (value == u"file")
                item->SetItemType(ITEM_FILE);
        } else if (Is(name, "subtype")) {
            tagKRVITEMFILETYPE type = FILE_UNKNOWN;
            for (int t = FILE_PDF; t <= FILE_XLS; ++t) {
                if (value == CUrlProp::GetFileTypeSubtype(static_cast<tagKRVITEMFILETYPE>(t)))
                    type = static_cast<tagKRVITEMFILETYPE>(t);
            }
            if (CUrlProp* prop = item->GetUrlProp())
                prop->SetFileType(type);
        } else if (Is(name, "href")) {
            item->SetRelationUrl(value.c_str());
        }
    });
}

void CParseBkmarkXML::ReadFolderRef(XMLNode* node)
{
    RFolderRef ref{{}, 0};
    Attributes(node, [&ref](const char* name, const std::u16string& value) {
        if (Is(name, "folderid")) {
            size_t n = value.copy(ref.folderId, CBaseNode::kUUIDLength);
            ref.folderId[n] = u'\0';
        } else if (Is(name, "order")) {
            ref.order = Number(value);
        }
    });
    m_refs.push_back(ref);
}

void CParseBkmarkXML::ReadTags(XMLNode* node, CUrlNode* item)
{
    RBstrItem* tags = CUrlProp::GenerateRBstrItemList(Text(node).c_str());
    CUrlProp* prop = tags || item->PeekUrlProp() ? item->GetUrlProp() : nullptr;
    if (!prop) {
        CUrlProp::DeleteTagsList(tags);
        return;
    }
    CUrlProp::DeleteTagsList(prop->DetachTagsHead());
    prop->SetTagsList(tags);
}

void CParseBkmarkXML::ReadLink(XMLNode* node, CUrlNode* item)
{
    std::u16string& link = m_text;
    Text(node);
    // "z-" links name places inside the project, stored with a backslash
    // after the first part.
    if (link.size() > 3 && link[0] == u'z' && link[1] == u'-') {
        size_t slash = link.find(u'/', 2);
        if (slash != std::u16string::npos)
            link[slash] = u'\\';
    }
    item->SetUrl(link.c_str());
}

void CParseBkmarkXML::PlaceItems()
{
    RNode* root = m_pColct->GetLocRNodeRoot();
    // Every folder by identifier; the first of two folders that share one
    // wins.
    std::unordered_map<std::u16string_view, RNode*> folders;
    std::vector<RNode*> walk{root};
    while (!walk.empty()) {
        RNode* rnode = walk.back();
        walk.pop_back();
        for (RNode* child = rnode->GetChild(); child; child = child->GetNext()) {
            const char16_t* uuid = child->GetData()->GetUUID();
            if (*uuid)
                folders.emplace(uuid, child);
            walk.push_back(child);
        }
    }
    auto target = [&](const char16_t* folderId) {
        if (!*folderId)
            return root;
        auto found = folders.find(folderId);
        return found == folders.end() ? root : found->second;
    };

    size_t budget = kCopyBudget;
    for (size_t i = 0; i < m_pending.size(); ++i) {
        // The records were made a whole walk ago and have left the cache;
        // fetch them a little ahead.
        if (i + 8 < m_pending.size())
            __builtin_prefetch(m_pending[i + 8].rnode, 1);
        RPendingItem& pending = m_pending[i];
        RNode* rnode = pending.rnode;
        if (pending.firstRef == pending.endRef) {
            pending.rnode = nullptr;
            RNTool::InsertAsChild(root, rnode);
            continue;
        }
        // Marks the folders this item went into, so two references to one
        // folder place it there once.
        const unsigned long mark = i + 1;
        CUrlNode* item = static_cast<CUrlNode*>(rnode->GetData());
        bool placed = false;
        for (size_t r = pending.firstRef; r < pending.endRef; ++r) {
            RNode* folder = target(m_refs[r].folderId);
            if (folder->GetExtData() == mark)
                continue;
            folder->SetExtData(mark);
            if (!placed) {
                pending.rnode = nullptr;
                RNTool::InsertAsChild(folder, rnode);
                placed = true;
                continue;
            }
            size_t cost = CopyCost(item);
            if (cost > budget)
                continue;
            budget -= cost;
            CUrlNode* copy = CUrlNode::New(item);
            RNode* rcopy = copy ? RNode::New2(copy, NT_URL) : nullptr;
            if (!rcopy) {
                CBaseNode::Delete(copy);
                continue;
            }
            RNTool::InsertAsChild(folder, rcopy);
        }
    }
    m_pending.clear();
    root->SetExtData(0);
    for (auto& entry : folders)
        entry.second->SetExtData(0);
}

}  // namespace

CReadBkmarkXML::~CReadBkmarkXML()
{
    CColctNode::DeleteAll(m_pColct);
}

CColctNode* CReadBkmarkXML::DetachColctNode()
{
    CColctNode* colct = m_pColct;
    m_pColct = nullptr;
    return colct;
}

void CReadBkmarkXML::DeleteAllChildren(RNode* node)
{
    if (!node)
        return;
    RNode* child = node->GetChild();
    node->SetChild(nullptr);
    while (child) {
        RNode* next = child->GetNext();
        child->SetNext(nullptr);
        RNTool::DeleteTree(child);
        child = next;
    }
}

bool CReadBkmarkXML::InvokeParser(XMLNode* root)
{
    if (!CParseBkmarkXML::IsRSSRoot(root))
        return true;
    return OnParseRSSXML(root);
}

void CReadBkmarkXML::DiscardResult()
{
    CColctNode::DeleteAll(m_pColct);
    m_pColct = nullptr;
}

bool CReadBkmarkXML::OnParseRSSXML(XMLNode* root)
{
    // A reader is meant to load once; a second load replaces the result.
    DiscardResult();
    CParseBkmarkXML walker;
    try {
        if (!walker.Run(root))
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_pColct = static_cast<CColctNode*>(walker.DetachData());
    return true;
}
