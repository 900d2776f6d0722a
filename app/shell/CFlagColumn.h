#pragma once

// The item list's flag column: the flag's picture from the skin with its
// name as a tool tip, sorted by flag number, and the flag menu that a
// click on the cell opens for that row's item.

#include <gtk/gtk.h>

#include <functional>
#include <string>

#include "app/shell/CSkinStrip.h"

class CUrlNode;

class CFlagColumn {
public:
    static constexpr int kPictureSize = 16;

    // The flag the user chose for an item of the list.
    using ChooseHook = std::function<void(CUrlNode* item, int flag)>;

    // Adds the column to `view`, whose model keeps the flag number (int)
    // in `flagColumn` and the item (pointer) in `itemColumn`.
    CFlagColumn(GtkTreeView* view, int flagColumn, int itemColumn, ChooseHook choose);
    ~CFlagColumn();
    CFlagColumn(const CFlagColumn&) = delete;
    CFlagColumn& operator=(const CFlagColumn&) = delete;

    // The flag's picture in "Flags.bmp"; -1 for no flag and for a number
    // that is no flag.
    static int GetPicture(int flag);
    // The name the flag is offered under; "" where there is no picture.
    static std::u16string GetTooltip(int flag);

    // The picture shown for `flag`, or null.
    GdkPixbuf* GetFlagImage(int flag) const { return m_flags.Get(GetPicture(flag)); }

private:
    GtkWidget* BuildMenu();
    // The row of the flag cell at a point of the rows' window, as a fresh
    // path; null elsewhere.
    GtkTreePath* FlagCellAt(int x, int y) const;
    bool IsListed(CUrlNode* item) const;

    static void RenderCell(GtkTreeViewColumn*, GtkCellRenderer* cell, GtkTreeModel* model, GtkTreeIter* iter,
                           gpointer self);
    static gboolean OnButton(GtkWidget* view, GdkEventButton* event, gpointer self);
    static gboolean OnQueryTooltip(GtkWidget* view, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip,
                                   gpointer self);
    static void OnChosen(GtkMenuItem* item, gpointer self);

    GtkTreeView* m_pView;
    GtkTreeViewColumn* m_pColumn = nullptr;
    GtkCellRenderer* m_pCell = nullptr;
    int m_nFlagColumn;
    int m_nItemColumn;
    ChooseHook m_choose;
    CSkinStrip m_flags;
    GtkWidget* m_pMenu = nullptr;  // attached to the view, which destroys it
    // The row the menu was opened on; looked for in the list again before use.
    CUrlNode* m_pMenuItem = nullptr;
};
