#pragma once

// The strip under the page view with the tags of the page on show; a
// click on a tag searches the pages carrying it.

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

#include "app/shell/CSkinStrip.h"

class CUrlNode;

class CTagBar {
public:
    using SearchHook = std::function<void(const std::u16string& tag)>;

    explicit CTagBar(SearchHook search);
    ~CTagBar();
    CTagBar(const CTagBar&) = delete;
    CTagBar& operator=(const CTagBar&) = delete;

    // The strip, for the window to place; shown and hidden only through
    // SetShown.
    GtkWidget* GetWidget() const { return m_pBar; }

    // The tags of `page` (none for null), in their order.
    static std::vector<std::u16string> GetTags(CUrlNode* page);
    // Shows the tags of `page`; nothing is redrawn when they are the same.
    void ShowTags(CUrlNode* page);
    const std::vector<std::u16string>& GetShownTags() const { return m_tags; }

    bool IsShown() const { return m_bShown; }
    void SetShown(bool shown);

private:
    static void OnTagClicked(GtkButton* button, gpointer self);

    SearchHook m_search;
    GtkWidget* m_pBar = nullptr;
    GtkWidget* m_pTagBox = nullptr;
    CSkinStrip m_icons;
    std::vector<std::u16string> m_tags;
    bool m_bShown = true;
};
