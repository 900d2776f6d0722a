#include <string>

#include "base/tools/CQVTime.h"
#include "base/tools/CUnicodeTool.h"

// Dates come from files and web replies: every parser must stay inside the
// text and never fail loudly.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    long t = 0;
    CQVTime::GetTime(text.c_str(), &t);
    std::u16string wide = CUnicodeTool::FromUtf8(text);
    CQVTime::GetEpochTimeFromDCDateBSTR(&t, wide.c_str());
    std::string back = CUnicodeTool::ToUtf8(wide);
    std::u16string again = CUnicodeTool::FromUtf8(back);
    if (again != wide)  // decoding is idempotent after one pass
        __builtin_trap();
    return 0;
}
