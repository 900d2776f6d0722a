#pragma once

// Where the main window opens: a default from the screen size, then the
// stored rectangle field by field where each field is sensible.

#include "app/core/CAppSettings.h"

class CWindowPlacement {
public:
    CWindowPlacement() = delete;

    // The rectangle for a screen of `screenWidth` x `screenHeight` given the
    // stored one (NOTEWIN ALL).
    static CQVRect GetMainWindowRect(int screenWidth, int screenHeight, const CQVRect& stored);
};
