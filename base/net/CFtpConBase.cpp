#include "base/net/CFtpConBase.h"

#include <cstdio>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "base/tools/CBaseTool.h"
#include "base/tools/CSysString.h"

// --- CFtpWebAddress -------------------------------------------------------

CFtpWebAddress* CFtpWebAddress::New()
{
    return new (std::nothrow) CFtpWebAddress();
}

void CFtpWebAddress::Delete(CFtpWebAddress* table)
{
    delete table;
}

bool CFtpWebAddress::Add(const char16_t* name, const char16_t* link)
{
    if (!name)
        return false;
    if (Put(name, link, true))
        return true;
    // Present already: Put replaced the link unless memory ran out.
    CHashData* entry = Find(name);
    return entry && CStringTool::Equal(entry->GetValue(), link);
}

bool CFtpWebAddress::Remove(const char16_t* name)
{
    return name && CHashtable::Remove(name);
}

bool CFtpWebAddress::ChangeName(const char16_t* oldName, const char16_t* newName)
{
    if (!oldName || !newName)
        return false;
    CHashData* entry = Find(oldName);
    if (!entry)
        return false;
    if (CStringTool::Equal(oldName, newName))
        return true;
    if (Contains(newName))
        return false;
    if (!Put(newName, entry->GetValue(), false))
        return false;
    return CHashtable::Remove(oldName);
}

bool CFtpWebAddress::ChangeAddress(const char16_t* name, const char16_t* link)
{
    CHashData* entry = name ? Find(name) : nullptr;
    return entry && entry->SetValue(link);
}

CHashData* CFtpWebAddress::FindHashData(const char16_t* name) const
{
    return name ? Find(name) : nullptr;
}

int CFtpWebAddress::CalibrateList(const TList<const char16_t*>* pages)
{
    // Collect first: the table must not change while it is iterated.
    std::vector<char16_t*> stale;
    ResetPosition();
    while (HasNext()) {
        char16_t* key = nullptr;
        GetNextKeyValue(&key, nullptr);
        bool listed = false;
        for (const TList<const char16_t*>* r = pages; r && !listed && key; r = r->GetNext())
            listed = r->GetData() && CStringTool::Equal(r->GetData(), key);
        if (listed || !key)
            CSysString::Free(key);
        else
            stale.push_back(key);
    }
    int removed = 0;
    for (char16_t* key : stale) {
        removed += CHashtable::Remove(key) ? 1 : 0;
        CSysString::Free(key);
    }
    return removed;
}

bool CFtpWebAddress::CopyFrom(CFtpWebAddress& source)
{
    if (&source == this)
        return true;
    RemoveAll();
    bool ok = true;
    source.ResetPosition();
    while (source.HasNext()) {
        char16_t* key = nullptr;
        char16_t* value = nullptr;
        source.GetNextKeyValue(&key, &value);
        ok = key && Put(key, value, true) && ok;
        CSysString::Free(key);
        CSysString::Free(value);
    }
    return ok;
}

// --- CFtpNodeData ---------------------------------------------------------

CFtpNodeData* CFtpNodeData::New()
{
    return new (std::nothrow) CFtpNodeData();
}

void CFtpNodeData::Delete(CFtpNodeData* data)
{
    delete data;
}

long CFtpNodeData::StateToNumber(enumFILEFTPSTATE state)
{
    switch (state) {
    case FILEFTP_PUBLISHED:
        return 1;
    case FILEFTP_MODIFIED:
        return -1;
    case FILEFTP_DELETED:
        return -2;
    case FILEFTP_FAILED:
        return -10;
    case FILEFTP_NEW:
    default:
        return 0;
    }
}

enumFILEFTPSTATE CFtpNodeData::NumberToState(long number)
{
    switch (number) {
    case 1:
        return FILEFTP_PUBLISHED;
    case -1:
        return FILEFTP_MODIFIED;
    case -2:
        return FILEFTP_DELETED;
    case -10:
        return FILEFTP_FAILED;
    default:
        return FILEFTP_NEW;
    }
}

// --- CFtpConBase ----------------------------------------------------------

CFtpConBase::~CFtpConBase()
{
    CFtpWebAddress::Delete(m_pWebAddress);
}

CFtpConBase* CFtpConBase::New()
{
    return new (std::nothrow) CFtpConBase();
}

CFtpConBase* CFtpConBase::New(const CFtpConBase* source)
{
    CFtpConBase* site = New();
    if (site && source)
        *site = *source;
    return site;
}

void CFtpConBase::Delete(CFtpConBase* site)
{
    delete site;
}

void CFtpConBase::SetInitialValue()
{
    m_title.reset();
    m_host.reset();
    m_user.reset();
    m_psw.reset();
    m_path.reset();
    m_bPasv = false;
    m_nPort = kDefaultPort;
    m_bSavePsw = true;
    m_uuid.reset();
    m_stamp.reset();
    m_bCurrent = false;
    CFtpWebAddress::Delete(m_pWebAddress);
    m_pWebAddress = nullptr;
}

CFtpConBase& CFtpConBase::operator=(const CFtpConBase& source)
{
    if (&source == this)
        return *this;
    m_title = source.m_title;
    m_host = source.m_host;
    m_user = source.m_user;
    m_psw = source.m_psw;
    m_path = source.m_path;
    m_bPasv = source.m_bPasv;
    m_nPort = source.m_nPort;
    m_bSavePsw = source.m_bSavePsw;
    m_uuid = source.m_uuid;
    m_stamp = source.m_stamp;
    m_bCurrent = source.m_bCurrent;
    if (source.m_pWebAddress) {
        if (CFtpWebAddress* table = GetFtpWebAddress())
            table->CopyFrom(*source.m_pWebAddress);
    } else {
        CFtpWebAddress::Delete(m_pWebAddress);
        m_pWebAddress = nullptr;
    }
    return *this;
}

bool CFtpConBase::SetDefaultUUIDAndStampID()
{
    char16_t* uuid = CBaseTool::NewUUIDString();
    if (!uuid)
        return false;
    m_uuid = std::u16string(uuid, CSysString::Len(uuid));
    CSysString::Free(uuid);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%ld", static_cast<long>(std::time(nullptr)));
    m_stamp = std::u16string(stamp, stamp + std::char_traits<char>::length(stamp));
    return true;
}

bool CFtpConBase::IsSameHost(const CFtpConBase* other) const
{
    if (!other)
        return false;
    if (!m_host || !other->m_host || !m_user || !other->m_user || !m_path || !other->m_path)
        return false;
    if (*m_host != *other->m_host || *m_user != *other->m_user || *m_path != *other->m_path)
        return false;
    if (m_bPasv != other->m_bPasv || m_nPort != other->m_nPort || m_bSavePsw != other->m_bSavePsw)
        return false;
    return m_psw == other->m_psw;  // none equals only none
}

CFtpWebAddress* CFtpConBase::GetFtpWebAddress()
{
    if (!m_pWebAddress)
        m_pWebAddress = CFtpWebAddress::New();
    return m_pWebAddress;
}

// Scrambling: interlace the units, then spell each unit as four letters,
// one per nibble, from an alphabet that shifts with the output position,
// so that repeated characters do not show as repeated letters.
namespace {
constexpr char16_t kAlphabet[] = u"KZQXMWJVBHFPDYRG";
constexpr size_t kShift = 7;

int NibbleOf(char16_t letter, size_t position)
{
    for (int i = 0; i < 16; ++i) {
        if (kAlphabet[i] == letter)
            return static_cast<int>((static_cast<size_t>(i) + 16 - (position * kShift) % 16) % 16);
    }
    return -1;
}

char16_t* HandOut(const std::u16string& text, int* length)
{
    char16_t* out = CSysString::AllocLen(text.data(), static_cast<uint32_t>(text.size()));
    if (length)
        *length = out ? static_cast<int>(text.size()) : 0;
    return out;
}
}  // namespace

char16_t CFtpConBase::GetChar(int nibble, size_t position)
{
    return kAlphabet[(static_cast<size_t>(nibble & 0xF) + position * kShift) % 16];
}

std::u16string CFtpConBase::EnInterlace(const std::u16string& text)
{
    std::u16string out;
    out.reserve(text.size());
    size_t front = 0, back = text.size();
    while (front < back) {
        out += text[front++];
        if (front < back)
            out += text[--back];
    }
    return out;
}

std::u16string CFtpConBase::DeInterlace(const std::u16string& text)
{
    std::u16string out(text.size(), u'\0');
    size_t front = 0, back = text.size();
    for (size_t i = 0; i < text.size(); ++i)
        out[i % 2 == 0 ? front++ : --back] = text[i];
    return out;
}

char16_t* CFtpConBase::EncodePSW(const char16_t* psw, int* length)
{
    if (length)
        *length = 0;
    if (!psw)
        return nullptr;
    std::u16string mixed = EnInterlace(psw);
    if (mixed.size() > 0x1FFFFFFF)
        return nullptr;
    std::u16string out;
    out.reserve(mixed.size() * 4);
    for (char16_t unit : mixed) {
        for (int shift = 12; shift >= 0; shift -= 4)
            out += GetChar((unit >> shift) & 0xF, out.size());
    }
    return HandOut(out, length);
}

char16_t* CFtpConBase::DecodePSW(const char16_t* text, int* length)
{
    if (length)
        *length = 0;
    if (!text)
        return nullptr;
    std::u16string in(text);
    if (in.size() % 4 != 0)
        return nullptr;
    std::u16string mixed;
    mixed.reserve(in.size() / 4);
    for (size_t i = 0; i < in.size(); i += 4) {
        unsigned unit = 0;
        for (size_t k = 0; k < 4; ++k) {
            int nibble = NibbleOf(in[i + k], i + k);
            if (nibble < 0)
                return nullptr;
            unit = (unit << 4) | static_cast<unsigned>(nibble);
        }
        mixed += static_cast<char16_t>(unit);
    }
    // A NUL unit cannot come from a NUL-terminated password.
    if (mixed.find(u'\0') != std::u16string::npos)
        return nullptr;
    return HandOut(DeInterlace(mixed), length);
}
