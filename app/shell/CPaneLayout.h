#pragma once

// The main window's panes as three managers: the row of folder tree, work
// area and task pane; inside the work area the column of item list and
// page area; inside the page area the title box above the page view.
// It knows no toolkit: Place reports every pane's rectangle and whether it
// is shown to the callback, which moves the real widgets.

#include <array>
#include <functional>
#include <memory>

#include "app/shell/CPaneMgr.h"

class CLayoutProfile;

class CPaneLayout {
public:
    enum Pane : int {
        PANE_TREE = 0,
        PANE_LIST,
        PANE_TITLE,
        PANE_PAGE,
        PANE_TASK,
        SLIDER_TREE,  // between the tree and the work area
        SLIDER_TASK,  // between the work area and the task pane
        SLIDER_LIST,  // between the item list and the page area
        kPaneCount
    };
    struct Rect {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        bool shown = false;
    };
    using Mover = std::function<void(Pane pane, const Rect& rect)>;

    static constexpr int kSliderSize = 7;
    static constexpr int kTitleHeight = 30;
    static constexpr int kTreeWidth = 250;
    static constexpr int kListHeight = 200;

    explicit CPaneLayout(Mover mover);
    ~CPaneLayout();
    CPaneLayout(const CPaneLayout&) = delete;
    CPaneLayout& operator=(const CPaneLayout&) = delete;

    // Sizes kept between runs: the tree's width, the list's height, the task
    // pane's width and whether it is shown.
    void LoadSizes(const CLayoutProfile& layout);
    void SaveSizes(CLayoutProfile& layout) const;

    // Lays every pane out in a client area of this size.
    void Place(int width, int height);
    // Lays out again in the last client area.
    void Refresh();

    bool IsTaskPaneShown() const { return m_bTaskShown; }
    // Links the task pane and its slider into the row or takes them out.
    void ShowTaskPane(bool show);

    // Moves a slider by `delta` pixels (positive: right or down) as far as
    // the panes on both sides allow; the distance moved, signed.
    int DragSlider(Pane slider, int delta);

    const Rect& GetRect(Pane pane) const { return m_rects[pane]; }
    CWinData& GetItem(Pane pane) { return *m_items[pane]; }

private:
    CPaneMgr* ManagerOf(Pane slider) const;
    // Back to the sizes the user chose before the row is fitted again, so a
    // small window only squeezes the side panes for as long as it is small.
    void ResetSizes();
    void KeepWantedSizes();
    void Report(CWinData* item, int x, int y, int width, int height);

    Mover m_mover;
    std::array<std::unique_ptr<CWinData>, kPaneCount> m_items;
    // The page area and the work area: items that hold an inner manager.
    std::unique_ptr<CWinData> m_pPageArea;
    std::unique_ptr<CWinData> m_pWorkArea;
    std::unique_ptr<CPaneMgr> m_pRow;
    std::unique_ptr<CPaneMgr> m_pWork;
    std::unique_ptr<CPaneMgr> m_pPageCol;
    std::array<Rect, kPaneCount> m_rects;
    // The sizes the user chose for the tree, the list and the task pane.
    int m_nWantedTree = kTreeWidth;
    int m_nWantedList = kListHeight;
    int m_nWantedTask = 230;
    bool m_bTaskShown = true;
    int m_nWidth = 0;
    int m_nHeight = 0;
};
