// Page bytes: conversion to UTF-8 with the declared character set pointed
// at "utf-8", and the rewriting of image sources into a renamed assets
// folder. The input is "old folder \0 new folder \0 page".
#include <string>

#include "FuzzUtil.h"
#include "app/core/CPageHtml.h"
#include "base/tools/CUnicodeTool.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    static const int kCodePages[] = {CPageHtml::kUtf8, CPageHtml::kUtf16, 1201, 1252, 932, 65000, 54936, 28592};
    if (size < 1)
        return 0;
    int codePage = kCodePages[data[0] % (sizeof kCodePages / sizeof kCodePages[0])];
    std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t first = input.find('\0');
    size_t second = first == std::string::npos ? std::string::npos : input.find('\0', first + 1);
    std::string html = second == std::string::npos ? input : input.substr(second + 1);

    std::string utf8;
    if (CPageHtml::ToUtf8(html, codePage, &utf8) && codePage != CPageHtml::kUtf8)
        FUZZ_REQUIRE(CUnicodeTool::IsValidUtf8(utf8));
    if (CPageHtml::FileToUtf8(html, &utf8))
        FUZZ_REQUIRE(CUnicodeTool::IsValidUtf8(utf8));

    std::string page = html;
    bool wasUtf8 = CUnicodeTool::IsValidUtf8(page);
    CPageHtml::SetMetaCharsetUtf8(page);
    FUZZ_REQUIRE(!wasUtf8 || CUnicodeTool::IsValidUtf8(page));

    if (second != std::string::npos) {
        std::string oldFolder = input.substr(0, first);
        std::string newFolder = input.substr(first + 1, second - first - 1);
        page = html;
        int changed = CPageHtml::RewriteImageSources(page, oldFolder, newFolder);
        FUZZ_REQUIRE(changed >= 0);
        if (changed == 0)
            FUZZ_REQUIRE(page == html);
        // Only attribute values change, so well-formed text stays so.
        if (wasUtf8 && CUnicodeTool::IsValidUtf8(newFolder))
            FUZZ_REQUIRE(CUnicodeTool::IsValidUtf8(page));
    }
    return 0;
}
