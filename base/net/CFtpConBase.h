#pragma once

#include "base/ZandrelExport.h"
#include "base/model/CHashtable.h"
#include "base/model/TList.h"
#include "base/tools/CStringTool.h"

class CHashData;

// A site's map from page names to the web addresses they were published
// under. Names compare exactly, as every CHashtable key does.
class ZANDREL_API CFtpWebAddress : public CHashtable {
public:
    CFtpWebAddress() = default;
    ~CFtpWebAddress() override = default;

    static CFtpWebAddress* New();
    static void Delete(CFtpWebAddress* table);

    // Stores `link` (none allowed) under `name`, replacing an older link.
    // False only for a null name or when memory runs out.
    bool Add(const char16_t* name, const char16_t* link);
    bool Remove(const char16_t* name);
    // Moves the link of `oldName` to `newName`. False when `oldName` is
    // missing or `newName` is already taken by another page.
    bool ChangeName(const char16_t* oldName, const char16_t* newName);
    // Replaces the link of a present page; false when `name` is missing.
    bool ChangeAddress(const char16_t* name, const char16_t* link);
    // The entry of `name`, still owned by the table; null when missing.
    CHashData* FindHashData(const char16_t* name) const;
    void ClearData() { RemoveAll(); }
    // Drops every entry whose name is not among `pages` (a list of page
    // names, null texts skipped); returns how many were dropped. Pages
    // without an entry get none: they were never published.
    int CalibrateList(const TList<const char16_t*>* pages);
    // Replaces this table's entries with copies of `source`'s. Moves the
    // iteration position of both tables.
    bool CopyFrom(CFtpWebAddress& source);
};

// Publishing state of one file. The stored numbers are fixed by the file
// formats that carry them; the names are ours.
enum enumFILEFTPSTATE {
    FILEFTP_PUBLISHED = 0,  // stored as 1
    FILEFTP_NEW = 1,        // stored as 0, and any unknown number
    FILEFTP_MODIFIED = 2,   // stored as -1
    FILEFTP_DELETED = 3,    // stored as -2
    FILEFTP_FAILED = 4,     // stored as -10
};

class ZANDREL_API CFtpNodeData {
public:
    static CFtpNodeData* New();
    static void Delete(CFtpNodeData* data);

    enumFILEFTPSTATE GetState() const { return m_eState; }
    void SetState(enumFILEFTPSTATE state) { m_eState = state; }
    // The state as stored, and back; an unknown number reads as FILEFTP_NEW.
    long GetStoredState() const { return StateToNumber(m_eState); }
    void SetStoredState(long number) { m_eState = NumberToState(number); }

    static long StateToNumber(enumFILEFTPSTATE state);
    static enumFILEFTPSTATE NumberToState(long number);

private:
    enumFILEFTPSTATE m_eState = FILEFTP_NEW;
};

// One FTP site the user can publish to. The password lives in memory only;
// EncodePSW/DecodePSW turn it into a storable text and back (an
// obfuscation, not encryption).
class ZANDREL_API CFtpConBase {
public:
    static constexpr int kDefaultPort = 21;

    CFtpConBase() = default;
    virtual ~CFtpConBase();
    CFtpConBase(const CFtpConBase&) = delete;
    // Deep copy, web addresses included.
    CFtpConBase& operator=(const CFtpConBase& source);

    static CFtpConBase* New();
    // A deep copy of `source`; a fresh record for null.
    static CFtpConBase* New(const CFtpConBase* source);
    static void Delete(CFtpConBase* site);

    // Back to a fresh record: no texts, active mode, port 21, password
    // saved, not current, no web addresses.
    void SetInitialValue();

    void SetTitle(const char16_t* text) { m_title = OptTextFrom(text); }
    const char16_t* GetTitle() const { return OptTextPtr(m_title); }
    void SetHost(const char16_t* text) { m_host = OptTextFrom(text); }
    const char16_t* GetHost() const { return OptTextPtr(m_host); }
    void SetUserName(const char16_t* text) { m_user = OptTextFrom(text); }
    const char16_t* GetUserName() const { return OptTextPtr(m_user); }
    void SetPSW(const char16_t* text) { m_psw = OptTextFrom(text); }
    const char16_t* GetPSW() const { return OptTextPtr(m_psw); }
    // The remote folder the session starts in.
    void SetInitPath(const char16_t* text) { m_path = OptTextFrom(text); }
    const char16_t* GetInitPath() const { return OptTextPtr(m_path); }
    void SetPASVMode(bool on) { m_bPasv = on; }
    bool IsPASVMode() const { return m_bPasv; }
    void SetPort(int port) { m_nPort = port; }
    int GetPort() const { return m_nPort; }
    void SetSavePSW(bool on) { m_bSavePsw = on; }
    bool IsSavePSW() const { return m_bSavePsw; }
    void SetUUID(const char16_t* text) { m_uuid = OptTextFrom(text); }
    const char16_t* GetUUID() const { return OptTextPtr(m_uuid); }
    void SetStampID(const char16_t* text) { m_stamp = OptTextFrom(text); }
    const char16_t* GetStampID() const { return OptTextPtr(m_stamp); }
    void SetCurrent(bool on) { m_bCurrent = on; }
    bool IsCurrent() const { return m_bCurrent; }

    // A new UUID and the current time in seconds as the stamp id. False
    // when no UUID could be made (both stay as they were).
    bool SetDefaultUUIDAndStampID();

    // Whether `other` reaches the same account at the same place: host,
    // user name and path set on both and equal, same mode, port and
    // save-password flag, and the same password or none on both.
    bool IsSameHost(const CFtpConBase* other) const;

    // The web address table, made on first use; null only when memory
    // runs out.
    CFtpWebAddress* GetFtpWebAddress();
    // The table if one was made, without making one.
    CFtpWebAddress* PeekFtpWebAddress() const { return m_pWebAddress; }

    // Scrambles `psw` into a new CSysString of letters (4 per UTF-16 unit)
    // and sets `*length` to its length when given. Null for null text.
    static char16_t* EncodePSW(const char16_t* psw, int* length);
    // The inverse; null for null text or text that EncodePSW cannot have
    // made.
    static char16_t* DecodePSW(const char16_t* text, int* length);

protected:
    // Front and back alternately: abcde becomes aebdc.
    static std::u16string EnInterlace(const std::u16string& text);
    static std::u16string DeInterlace(const std::u16string& text);
    // The letter for a 4-bit `nibble` at output position `position`.
    static char16_t GetChar(int nibble, size_t position);

private:
    OptText m_title;
    OptText m_host;
    OptText m_user;
    OptText m_psw;
    OptText m_path;
    bool m_bPasv = false;
    int m_nPort = kDefaultPort;
    bool m_bSavePsw = true;
    OptText m_uuid;
    OptText m_stamp;
    bool m_bCurrent = false;
    CFtpWebAddress* m_pWebAddress = nullptr;
};

using RFtpConBase = TList<CFtpConBase*>;
