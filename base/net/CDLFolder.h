#pragma once

#include <cstdint>

#include "base/ZandrelExport.h"
#include "base/model/TList.h"
#include "base/tools/CStringTool.h"

// The header of a start-page list: the root element's attributes, each
// none when absent.
class ZANDREL_API CDLHeader {
public:
    static CDLHeader* New();
    static void Delete(CDLHeader* header);

    void SetTitle(const char16_t* text) { m_title = OptTextFrom(text); }
    const char16_t* GetTitle() const { return OptTextPtr(m_title); }
    // Seconds until the next run, as decimal text ("TTime").
    void SetNextTime(const char16_t* text) { m_nextTime = OptTextFrom(text); }
    const char16_t* GetNextTime() const { return OptTextPtr(m_nextTime); }
    void SetBuildNum(const char16_t* text) { m_build = OptTextFrom(text); }
    const char16_t* GetBuildNum() const { return OptTextPtr(m_build); }
    void SetTimeStamp(const char16_t* text) { m_timeStamp = OptTextFrom(text); }
    const char16_t* GetTimeStamp() const { return OptTextPtr(m_timeStamp); }
    void SetStartPage(const char16_t* text) { m_startPage = OptTextFrom(text); }
    const char16_t* GetStartPage() const { return OptTextPtr(m_startPage); }
    void SetVerify(const char16_t* text) { m_verify = OptTextFrom(text); }
    const char16_t* GetVerify() const { return OptTextPtr(m_verify); }

private:
    OptText m_title;
    OptText m_nextTime;
    OptText m_build;
    OptText m_timeStamp;
    OptText m_startPage;
    OptText m_verify;
};

// One listed file.
class ZANDREL_API CDLFile {
public:
    static CDLFile* New();
    static void Delete(CDLFile* file);

    void SetName(const char16_t* text) { m_name = OptTextFrom(text); }
    const char16_t* GetName() const { return OptTextPtr(m_name); }
    // 32 upper-case hexadecimal digits as listed.
    void SetMD5(const char16_t* text) { m_md5 = OptTextFrom(text); }
    const char16_t* GetMD5() const { return OptTextPtr(m_md5); }
    void SetSize(int32_t bytes) { m_nSize = bytes; }
    int32_t GetSize() const { return m_nSize; }
    // Seconds since 1970.
    void SetModified(int32_t time) { m_nModified = time; }
    int32_t GetModified() const { return m_nModified; }

private:
    OptText m_name;
    OptText m_md5;
    int32_t m_nSize = 0;
    int32_t m_nModified = 0;
};

using RDLFile = TList<CDLFile*>;

// A listed folder: its files and sub-folders in list order, each list with
// its own cursor. A folder owns its files and sub-folders.
class ZANDREL_API CDLFolder {
public:
    static CDLFolder* New();
    // Frees the folder, its files and every sub-folder below it.
    static void Delete(CDLFolder* folder);

    CDLFolder(const CDLFolder&) = delete;
    CDLFolder& operator=(const CDLFolder&) = delete;

    void SetName(const char16_t* text) { m_name = OptTextFrom(text); }
    const char16_t* GetName() const { return OptTextPtr(m_name); }
    CDLFolder* GetParent() const { return m_pParent; }

    // Append and take ownership; false (nothing taken) for null or when
    // memory runs out.
    bool AddFile(CDLFile* file);
    bool AddSubFolder(CDLFolder* folder);

    // Cursors: Reset goes back to the first entry, GetNext hands out the
    // pending one and moves on, none at the end. A fresh folder's cursors
    // stand at the first entry.
    void ResetFileList();
    CDLFile* GetNextFile();
    void ResetFolderList();
    CDLFolder* GetNextFolder();

private:
    using RDLFolder = TList<CDLFolder*>;

    CDLFolder() = default;
    ~CDLFolder();

    CDLFolder* m_pParent = nullptr;
    OptText m_name;
    RDLFile* m_pFiles = nullptr;
    RDLFolder* m_pFolders = nullptr;
    RDLFile* m_pFileCursor = nullptr;
    RDLFolder* m_pFolderCursor = nullptr;
    bool m_bFileCursorSet = false;
    bool m_bFolderCursorSet = false;
};
