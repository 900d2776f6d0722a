#pragma once

#include "base/ZandrelExport.h"
#include "base/model/CNodeStat.h"
#include "base/tools/CStringTool.h"

// What a project file holds: title, content folder, description,
// identifier, version and times.
class ZANDREL_API CZandrelProject {
public:
    // A project of version 1.0.0 with all times now; null when memory runs out.
    static CZandrelProject* New();
    static void Delete(CZandrelProject* project);

    // Each setter keeps a copy, or nothing for null; getters return null
    // when there is nothing.
    void SetName(const char16_t* name) { m_name = OptTextFrom(name); }
    const char16_t* GetName() const { return OptTextPtr(m_name); }
    void SetContentPath(const char16_t* path) { m_contentPath = OptTextFrom(path); }
    const char16_t* GetContentPath() const { return OptTextPtr(m_contentPath); }
    void SetDescription(const char16_t* text) { m_description = OptTextFrom(text); }
    const char16_t* GetDescription() const { return OptTextPtr(m_description); }
    void SetUUID(const char16_t* uuid) { m_uuid = OptTextFrom(uuid); }
    const char16_t* GetUUID() const { return OptTextPtr(m_uuid); }

    void SetVersion(int major, int minor, int build);
    // Writes all three numbers; true when the major number is not 0.
    bool GetVersion(int* major, int* minor, int* build) const;

    CNodeStat* GetNodeStat() { return &m_stat; }
    const CNodeStat* GetNodeStat() const { return &m_stat; }

protected:
    CZandrelProject() = default;
    virtual ~CZandrelProject() = default;

private:
    OptText m_name;
    OptText m_contentPath;
    OptText m_description;
    OptText m_uuid;
    int m_nMajor = 1;
    int m_nMinor = 0;
    int m_nBuild = 0;
    CNodeStat m_stat;
};

// Fixed names that file and folder names are built from.
class ZANDREL_API CKRVGlobal {
public:
    static constexpr char16_t s_szFileExt[] = u".zand";
    static constexpr char s_szFileExtA[] = ".zand";
    // New pages are named this and a number.
    static constexpr char16_t s_szUntitled[] = u"Untitled-";

    static const char16_t* GetFileExt() { return s_szFileExt; }
    static const char* GetFileExtA() { return s_szFileExtA; }
    static const char16_t* Untitled() { return s_szUntitled; }
};
