#include "app/core/CWindowPlacement.h"

CQVRect CWindowPlacement::GetMainWindowRect(int screenWidth, int screenHeight, const CQVRect& stored)
{
    CQVRect rect;
    rect.width = screenWidth * 4 / 5;
    rect.height = screenHeight * 4 / 5;
    rect.x = (screenWidth - rect.width) / 2 - 20;
    rect.y = (screenHeight - rect.height) / 2 - 40;
    if (rect.x < 0)
        rect.x = 0;
    if (rect.y < 0)
        rect.y = 0;

    // A stored rectangle of 1 x 1 or so was never a real window.
    if (stored.width < 3 || stored.height < 3)
        return rect;
    if (stored.width >= 500 && stored.width <= screenWidth)
        rect.width = stored.width;
    if (stored.height >= 300 && stored.height <= screenHeight)
        rect.height = stored.height;
    if (stored.x >= 0 && stored.x < screenWidth - 100)
        rect.x = stored.x;
    if (stored.y >= 0 && stored.y < screenHeight - 100)
        rect.y = stored.y;
    return rect;
}
