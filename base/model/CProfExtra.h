#pragma once

#include "base/ZandrelExport.h"

// Program-wide values that the library's writers need from the program.
class ZANDREL_API CProfExtra {
public:
    CProfExtra() = delete;

    // The program's version as a number: 200 is 2.0.0, 185 is 1.8.5. The
    // library starts with 180; the program sets its own at start-up.
    static int s_iThisKRVVersion;
};
