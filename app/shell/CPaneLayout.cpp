#include "app/shell/CPaneLayout.h"

#include "app/core/CAppSettings.h"

namespace {

constexpr int kMaxPane = 1024;
constexpr int kMinTree = 100;
constexpr int kMinList = 40;
constexpr int kMinTask = 80;
constexpr int kMinWork = 100;
constexpr int kMinPage = 60;

std::unique_ptr<CWinData> MakeItem(tagSIZECONTYPE type, const char16_t* name, int size, int min, int max)
{
    auto item = std::make_unique<CWinData>(type, type);
    item->SetName(name);
    item->SetMaxMinSize(max, min);
    item->SetCurSize(size);
    return item;
}

int Clamp(int value, int min, int max)
{
    return value < min ? min : (value > max ? max : value);
}

}  // namespace

CPaneLayout::CPaneLayout(Mover mover) : m_mover(std::move(mover))
{
    auto report = [this](CWinData* item, int x, int y, int w, int h) { Report(item, x, y, w, h); };
    m_pRow = std::make_unique<CPaneMgr>(true, report);
    m_pWork = std::make_unique<CPaneMgr>(false, report);
    m_pPageCol = std::make_unique<CPaneMgr>(false, report);

    m_items[PANE_TREE] = MakeItem(SCT_BOUNDED, u"SIDEDOCKWND", kTreeWidth, kMinTree, kMaxPane);
    m_items[PANE_LIST] = MakeItem(SCT_BOUNDED, u"SIDEMAINWND", kListHeight, kMinList, kMaxPane);
    m_items[PANE_TITLE] = MakeItem(SCT_FIXED, u"TITLEBOX", kTitleHeight, 0, 0);
    m_items[PANE_PAGE] = MakeItem(SCT_STRETCH, u"ONLYMIN", kMinPage, kMinPage, 0);
    m_items[PANE_TASK] = MakeItem(SCT_BOUNDED, u"TASKPANEWND", 230, kMinTask, kMaxPane);
    m_items[SLIDER_TREE] = MakeItem(SCT_FIXED, u"SLIDEX", kSliderSize, 0, 0);
    m_items[SLIDER_TASK] = MakeItem(SCT_FIXED, u"SLIDEX", kSliderSize, 0, 0);
    m_items[SLIDER_LIST] = MakeItem(SCT_FIXED, u"SLIDEY", kSliderSize, 0, 0);
    m_pWorkArea = MakeItem(SCT_STRETCH, u"WORKWND", kMinWork, kMinWork, 0);
    m_pPageArea = MakeItem(SCT_STRETCH, u"PAGEAREA", kMinPage + kTitleHeight, kMinPage + kTitleHeight, 0);
    m_pWorkArea->SetBaseWinMgr(m_pWork.get());
    m_pPageArea->SetBaseWinMgr(m_pPageCol.get());

    m_pRow->AppendAsTail(m_items[PANE_TREE].get());
    m_pRow->AppendAsTail(m_items[SLIDER_TREE].get());
    m_pRow->AppendAsTail(m_pWorkArea.get());
    m_pRow->AppendAsTail(m_items[SLIDER_TASK].get());
    m_pRow->AppendAsTail(m_items[PANE_TASK].get());
    m_pWork->AppendAsTail(m_items[PANE_LIST].get());
    m_pWork->AppendAsTail(m_items[SLIDER_LIST].get());
    m_pWork->AppendAsTail(m_pPageArea.get());
    m_pPageCol->AppendAsTail(m_items[PANE_TITLE].get());
    m_pPageCol->AppendAsTail(m_items[PANE_PAGE].get());
    // Hidden until asked for.
    ShowTaskPane(false);
}

// The managers go first: they hold nodes that point at the items.
CPaneLayout::~CPaneLayout()
{
    m_pRow.reset();
    m_pWork.reset();
    m_pPageCol.reset();
}

void CPaneLayout::LoadSizes(const CLayoutProfile& layout)
{
    m_nWantedTree = Clamp(layout.GetExtraValue1(), kMinTree, kMaxPane);
    m_nWantedList = Clamp(layout.GetExtraValue2(), kMinList, kMaxPane);
    m_nWantedTask = Clamp(layout.GetTaskPaneWidth(), kMinTask, kMaxPane);
    ShowTaskPane(layout.GetTaskPaneValue() != 0);
}

void CPaneLayout::SaveSizes(CLayoutProfile& layout) const
{
    layout.SetExtraValue1(m_nWantedTree);
    layout.SetExtraValue2(m_nWantedList);
    layout.SetTaskPaneWidth(m_nWantedTask);
    layout.SetTaskPaneValue(m_bTaskShown ? 1 : 0);
}

void CPaneLayout::Place(int width, int height)
{
    m_nWidth = width;
    m_nHeight = height;
    for (Rect& rect : m_rects)
        rect.shown = false;
    ResetSizes();
    m_pRow->Place(0, 0, width, height);
    if (m_mover) {
        for (int pane = 0; pane < kPaneCount; ++pane)
            m_mover(static_cast<Pane>(pane), m_rects[pane]);
    }
}

void CPaneLayout::Refresh()
{
    Place(m_nWidth, m_nHeight);
}

void CPaneLayout::ShowTaskPane(bool show)
{
    if (show == m_bTaskShown)
        return;
    if (show) {
        m_pRow->AppendAsTail(m_items[SLIDER_TASK].get());
        m_pRow->AppendAsTail(m_items[PANE_TASK].get());
    } else {
        // The pane goes with the slider before it.
        m_pRow->RemoveWndAndSlider(u"TASKPANEWND", 1);
    }
    m_bTaskShown = show;
}

CPaneMgr* CPaneLayout::ManagerOf(Pane slider) const
{
    switch (slider) {
    case SLIDER_TREE:
        return m_pRow.get();
    case SLIDER_TASK:
        return m_bTaskShown ? m_pRow.get() : nullptr;
    case SLIDER_LIST:
        return m_pWork.get();
    default:
        return nullptr;
    }
}

int CPaneLayout::DragSlider(Pane slider, int delta)
{
    CPaneMgr* mgr = ManagerOf(slider);
    if (!mgr || delta == 0)
        return 0;
    RWinItem* node = m_items[slider]->GetRWinItem();
    int toHead = 0;
    int toTail = 0;
    if (!mgr->GetConstrain(&toHead, &toTail, node))
        return 0;
    int moved = delta > 0 ? (delta < toTail ? delta : toTail) : -(-delta < toHead ? -delta : toHead);
    if (moved > 0)
        mgr->OnBarMoveToRight(moved, node);
    else if (moved < 0)
        mgr->OnBarMoveToLeft(-moved, node);
    KeepWantedSizes();
    Refresh();
    return moved;
}

void CPaneLayout::ResetSizes()
{
    m_items[PANE_TREE]->SetCurSize(m_nWantedTree);
    m_items[PANE_LIST]->SetCurSize(m_nWantedList);
    m_items[PANE_TASK]->SetCurSize(m_nWantedTask);
    // Stretch items start from their minimum and take what is left.
    for (CWinData* stretch : {m_pWorkArea.get(), m_pPageArea.get(), m_items[PANE_PAGE].get()}) {
        int min = 0;
        stretch->GetMaxMinSize(nullptr, &min);
        stretch->SetCurSize(min);
    }
}

void CPaneLayout::KeepWantedSizes()
{
    m_nWantedTree = m_items[PANE_TREE]->GetCurSize();
    m_nWantedList = m_items[PANE_LIST]->GetCurSize();
    if (m_bTaskShown)
        m_nWantedTask = m_items[PANE_TASK]->GetCurSize();
}

void CPaneLayout::Report(CWinData* item, int x, int y, int width, int height)
{
    for (int pane = 0; pane < kPaneCount; ++pane) {
        if (m_items[pane].get() == item) {
            m_rects[pane] = Rect{x, y, width, height, true};
            return;
        }
    }
}
