#include "base/net/CDLFolder.h"

#include <new>
#include <vector>

CDLHeader* CDLHeader::New()
{
    return new (std::nothrow) CDLHeader();
}

void CDLHeader::Delete(CDLHeader* header)
{
    delete header;
}

CDLFile* CDLFile::New()
{
    return new (std::nothrow) CDLFile();
}

void CDLFile::Delete(CDLFile* file)
{
    delete file;
}

CDLFolder* CDLFolder::New()
{
    return new (std::nothrow) CDLFolder();
}

void CDLFolder::Delete(CDLFolder* folder)
{
    // Without recursion: a hostile list may nest folders deeply.
    std::vector<CDLFolder*> pending;
    if (folder)
        pending.push_back(folder);
    while (!pending.empty()) {
        CDLFolder* f = pending.back();
        pending.pop_back();
        for (RDLFolder* r = f->m_pFolders; r;) {
            RDLFolder* next = r->GetNext();
            pending.push_back(r->GetData());
            RDLFolder::Delete(r);
            r = next;
        }
        f->m_pFolders = nullptr;
        delete f;
    }
}

CDLFolder::~CDLFolder()
{
    for (RDLFile* r = m_pFiles; r;) {
        RDLFile* next = r->GetNext();
        CDLFile::Delete(r->GetData());
        RDLFile::Delete(r);
        r = next;
    }
}

bool CDLFolder::AddFile(CDLFile* file)
{
    RDLFile* record = file ? RDLFile::New(file) : nullptr;
    if (!record)
        return false;
    m_pFiles = CListTool::Append(m_pFiles, record);
    return true;
}

bool CDLFolder::AddSubFolder(CDLFolder* folder)
{
    RDLFolder* record = folder && folder != this ? RDLFolder::New(folder) : nullptr;
    if (!record)
        return false;
    m_pFolders = CListTool::Append(m_pFolders, record);
    folder->m_pParent = this;
    return true;
}

void CDLFolder::ResetFileList()
{
    m_pFileCursor = m_pFiles;
    m_bFileCursorSet = true;
}

CDLFile* CDLFolder::GetNextFile()
{
    if (!m_bFileCursorSet)
        ResetFileList();
    if (!m_pFileCursor)
        return nullptr;
    CDLFile* file = m_pFileCursor->GetData();
    m_pFileCursor = m_pFileCursor->GetNext();
    return file;
}

void CDLFolder::ResetFolderList()
{
    m_pFolderCursor = m_pFolders;
    m_bFolderCursorSet = true;
}

CDLFolder* CDLFolder::GetNextFolder()
{
    if (!m_bFolderCursorSet)
        ResetFolderList();
    if (!m_pFolderCursor)
        return nullptr;
    CDLFolder* folder = m_pFolderCursor->GetData();
    m_pFolderCursor = m_pFolderCursor->GetNext();
    return folder;
}
