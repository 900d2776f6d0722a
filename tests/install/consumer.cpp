// Built against an installed copy of the library through pkg-config: the
// umbrella header must compile on its own and the classes must link.
#include <ZandrelBase.h>

#include <cstdio>

int main()
{
    CFolderNode* folder = CFolderNode::New();
    RNode* root = RNode::New2(folder, NT_FOLDER);
    bool ok = CBaseNode::AssignUUID(folder) && CStringTool::Length(folder->GetUUID()) == 36;
    char16_t hex[33];
    ok = ok && CEncodingTool::GetWideCharLowerMD5(u"abc", hex) &&
         CUnicodeTool::ToUtf8(hex) == "900150983cd24fb0d6963f7d28e17f72";
    RNode::Delete(root);
    CBaseNode::Delete(folder);
    std::puts(ok ? "consumer: ok" : "consumer: FAILED");
    return ok ? 0 : 1;
}
