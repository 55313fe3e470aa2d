#include "framework/file.h"

#include "text/wide.h"

bool CFile::Open(const CString& name, UINT flags)
{
    // Closed first: the file is never shared, so the same name could not be opened again while
    // this handle still held it.
    Close();
    const DWORD access = ((flags & modeWrite) ? GENERIC_WRITE : GENERIC_READ) | ((flags & modeMovable) ? DELETE : 0);
    const DWORD disposition = (flags & modeCreateNew) ? CREATE_NEW : (flags & modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING;
    const DWORD share = (flags & modeMovable) ? FILE_SHARE_DELETE : 0;
    m_file.Reset(CreateFileW(AsWide(name), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    return IsOpen();
}

bool CFile::Write(const void* bytes, DWORD count)
{
    DWORD written = 0;
    return IsOpen() && WriteFile(m_file.Get(), bytes, count, &written, nullptr) && written == count;
}

std::int64_t CFile::Read(void* bytes, DWORD count)
{
    DWORD read = 0;
    if (!IsOpen() || !ReadFile(m_file.Get(), bytes, count, &read, nullptr))
        return -1;
    return read;
}

std::int64_t CFile::GetLength() const
{
    LARGE_INTEGER size = {};
    if (!IsOpen() || !GetFileSizeEx(m_file.Get(), &size))
        return -1;
    return size.QuadPart;
}

DWORD CFile::GetFileType() const
{
    return IsOpen() ? ::GetFileType(m_file.Get()) : FILE_TYPE_UNKNOWN;
}

bool CFile::Flush()
{
    return IsOpen() && FlushFileBuffers(m_file.Get());
}

void CFile::Close()
{
    m_file.Reset();
}
