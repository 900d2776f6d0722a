#include "base/tools/CBaseTool.h"

#include <uuid/uuid.h>

#include <atomic>
#include <cstdlib>

#include "base/tools/CQVTime.h"
#include "base/tools/CSysString.h"

namespace {

constexpr int kUUIDChars = 36;
constexpr int kPubDateChars = 40;

// Set by the interface thread, read wherever a command looks at the keys.
std::atomic<CBaseTool::ModifierHook> g_modifierHook{nullptr};

void NewUUIDText(char16_t* out)
{
    uuid_t uuid;
    char text[kUUIDChars + 1];
    uuid_generate_random(uuid);
    uuid_unparse_lower(uuid, text);
    for (int i = 0; i <= kUUIDChars; i++)
        out[i] = static_cast<char16_t>(text[i]);
}

}  // namespace

bool CBaseTool::GetUUID(char16_t* buffer, int size)
{
    if (!buffer || size < kUUIDChars + 1)
        return false;
    NewUUIDText(buffer);
    return true;
}

char16_t* CBaseTool::NewUUIDString()
{
    char16_t* text = CSysString::AllocLen(nullptr, kUUIDChars);
    if (text)
        NewUUIDText(text);
    return text;
}

void CBaseTool::SetModifyKeyStateHook(ModifierHook hook)
{
    g_modifierHook.store(hook);
}

int CBaseTool::GetModifyKeyState()
{
    ModifierHook hook = g_modifierHook.load();
    if (!hook)
        return 0;
    unsigned keys = hook();
    if (keys & Shift)
        return (keys & Ctrl) ? 4 : 1;
    if (keys & Ctrl)
        return 2;
    if (keys & Alt)
        return 3;
    return 0;
}

bool CBaseTool::GetPubDate(long t, char16_t* buffer, int size)
{
    if (!buffer)
        return false;
    char text[kPubDateChars];
    if (size < kPubDateChars || !CQVTime::FormatPubDate(t, text, sizeof(text))) {
        if (size > 0)
            buffer[0] = u'\0';
        return false;
    }
    int i = 0;
    for (; text[i] != '\0'; i++)
        buffer[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    buffer[i] = u'\0';
    return true;
}

void CBaseTool::Delete(void* pointer)
{
    std::free(pointer);
}
