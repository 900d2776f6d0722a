#include "app/tags/CTagPageBuilder.h"

#include "app/core/CResources.h"

// Placeholder bodies until the builder is written.
CTagPageBuilder::CTagPageBuilder() : m_folder(CResources::GetFolder()) {}
bool CTagPageBuilder::BuildTagItPage(const CTagPageContext&, CColctNode*, CUrlNode*, std::u16string*) const { return false; }
bool CTagPageBuilder::BuildOneTagPage(const CTagPageContext&, const std::u16string&, std::u16string*) const { return false; }
bool CTagPageBuilder::BuildSearchPage(const CTagPageContext&, const std::u16string&, std::u16string*) const { return false; }
bool CTagPageBuilder::BuildRecentPage(const CTagPageContext&, std::u16string*) const { return false; }
std::vector<CTaggedPage> CTagPageBuilder::FindPages(CFolderTreeMgr&, const std::vector<CTagItem*>&) { return {}; }
