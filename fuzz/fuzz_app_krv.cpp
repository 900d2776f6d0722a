// "krv:" addresses of the program's own views: the command parsers and the
// percent decoding of a file to open.
#include <string>

#include "FuzzUtil.h"
#include "app/core/CKrvCommands.h"
#include "app/core/CQuietUIPort.h"
#include "base/tools/CUnicodeTool.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    static CQuietUIPort port;
    SetUIPort(&port);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::u16string url = CUnicodeTool::FromUtf8(bytes);

    std::u16string opened;
    bool openedAny = false;
    CKrvActions actions;
    actions.openProjectFile = [&](const std::u16string& path) {
        opened = path;
        openedAny = true;
    };
    CKrvCommands commands(actions);
    commands.OnBeforeNavigate(CKrvCommands::VIEW_START, url);
    // A path with a NUL would name another file than the one asked for.
    if (openedAny)
        FUZZ_REQUIRE(opened.find(u'\0') == std::u16string::npos);
    commands.OnBeforeNavigate(CKrvCommands::VIEW_FOLDER, url);

    std::u16string decoded = u"untouched";
    if (!CKrvCommands::DecodePercent(url, &decoded))
        FUZZ_REQUIRE(decoded == u"untouched");
    else
        FUZZ_REQUIRE(decoded.size() <= url.size() * 2);
    CKrvCommands::DecodeFormText(bytes);
    SetUIPort(nullptr);
    return 0;
}
