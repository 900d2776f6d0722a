// The conversion of a UTF-16 page file to UTF-8, with its head's
// "charset=unicode" pointed at utf-8. Runs on a real file, since the
// conversion keeps a backup beside the page until the new bytes are in.
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzUtil.h"
#include "app/core/CFileSys.h"
#include "app/core/CPageConverter.h"
#include "base/tools/CUnicodeTool.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    static std::string folder = [] {
        // In memory: every run writes and flushes files.
        char name[] = "/dev/shm/zandrel-fuzz-XXXXXX";
        return std::string(mkdtemp(name));
    }();
    const std::u16string path = CUnicodeTool::FromUtf8(folder + "/page.htm");
    std::string bytes(reinterpret_cast<const char*>(data), size);
    FUZZ_REQUIRE(CFileSys::WriteWholeFile(path, bytes));

    int error = 0;
    CPageConverter::tagCONVERT result = CPageConverter::ConvertFile(path, 1000, &error);
    std::ifstream in(CFileSys::Native(path), std::ios::binary);
    std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bool utf16 = size >= 3 && data[0] == 0xFF && data[1] == 0xFE;
    if (utf16) {
        FUZZ_REQUIRE(result == CPageConverter::CONVERT_DONE);
        FUZZ_REQUIRE(after.compare(0, 3, "\xEF\xBB\xBF") == 0);
        FUZZ_REQUIRE(CUnicodeTool::IsValidUtf8(after));
    } else {
        FUZZ_REQUIRE(result == CPageConverter::CONVERT_SKIPPED);
        FUZZ_REQUIRE(after == bytes);
    }
    // The backup goes once the page is replaced.
    std::vector<CFileSys::Entry> entries;
    FUZZ_REQUIRE(CFileSys::ListDir(CUnicodeTool::FromUtf8(folder), &entries) && entries.size() == 1);
    CFileSys::RemoveFile(path);
    return 0;
}
