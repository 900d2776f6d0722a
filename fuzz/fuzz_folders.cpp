#include "FuzzUtil.h"
#include "base/model/RNode.h"
#include "base/xml/CReadFolderTreeOPML.h"
#include "base/xml/CWriteFolderTreeOPML.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    CReadFolderTreeOPML reader;
    if (!reader.LoadXML(data, static_cast<long>(size)))
        return 0;
    RNode* root = reader.DetachTreeRoot();
    if (!root)
        return 0;
    // Written as the program writes it: the outermost folder under the
    // root becomes the file's outline, so nesting does not grow.
    RNode* top = root->GetChild();
    if (top && top->GetType() == NT_FOLDER) {
        CWriteFolderTreeOPML writer;
        writer.SetTreeRoot(top);
        char16_t* text = writer.GetXMLBSTR();
        if (text) {
            CReadFolderTreeOPML again;
            FUZZ_REQUIRE(again.LoadBSTRXML(text));
            RNode* second = again.DetachTreeRoot();
            FUZZ_REQUIRE(second != nullptr);
            CReadFolderTreeOPML::DeleteTree(second);
            CSysString::Free(text);
        }
    }
    CReadFolderTreeOPML::DeleteTree(root);
    return 0;
}
