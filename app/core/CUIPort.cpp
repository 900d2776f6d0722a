#include "app/core/CUIPort.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

CUIPort* g_port = nullptr;
std::function<bool()> g_leavePage;

}  // namespace

void SetUIPort(CUIPort* port)
{
    g_port = port;
}

CUIPort& UIPort()
{
    if (!g_port) {
        std::fputs("Zandrel: no user interface\n", stderr);
        std::abort();
    }
    return *g_port;
}

void SetLeavePageHook(std::function<bool()> hook)
{
    g_leavePage = std::move(hook);
}

bool LeaveCurrentPage()
{
    return g_leavePage ? g_leavePage() : true;
}

int ShowMessage(const std::u16string& text, const std::u16string& title)
{
    return UIPort().MessageBox(text, title, MB_OK, IDOK);
}
