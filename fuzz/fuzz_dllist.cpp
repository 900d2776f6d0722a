#include <vector>

#include "FuzzUtil.h"
#include "base/net/CDLFolder.h"
#include "base/net/CReadDLFolderXML.h"

// The list has no writer: walk what was read the way the downloader does,
// so that every link of the tree is touched.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    CReadDLFolderXML reader;
    if (!reader.LoadXML(data, static_cast<long>(size)))
        return 0;
    CDLHeader* header = reader.DetachDLHeader();
    CDLFolder* root = reader.DetachRootFolder();
    FUZZ_REQUIRE((header == nullptr) == (root == nullptr));
    std::vector<CDLFolder*> pending;
    if (root)
        pending.push_back(root);
    while (!pending.empty()) {
        CDLFolder* folder = pending.back();
        pending.pop_back();
        folder->ResetFileList();
        int files = 0;
        while (folder->GetNextFile())
            ++files;
        folder->ResetFileList();
        while (files-- > 0)
            FUZZ_REQUIRE(folder->GetNextFile() != nullptr);
        FUZZ_REQUIRE(folder->GetNextFile() == nullptr);
        folder->ResetFolderList();
        while (CDLFolder* sub = folder->GetNextFolder()) {
            FUZZ_REQUIRE(sub->GetParent() == folder);
            pending.push_back(sub);
        }
    }
    CDLHeader::Delete(header);
    CDLFolder::Delete(root);
    return 0;
}
