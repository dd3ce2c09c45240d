#include "crawler/PageFileWriter.h"

namespace {
WriteFileFn g_writer = WriteFile;
}

HRESULT WritePageFile(HANDLE file, const void* data, DWORD byteCount)
{
    if (byteCount == 0)
        return S_OK;
    DWORD written = 0;
    if (!g_writer(file, data, byteCount, &written, nullptr)) {
        const DWORD error = GetLastError();
        return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    return written == byteCount ? S_OK : HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL);
}

WriteFileFn SetPageFileWriter(WriteFileFn writer)
{
    WriteFileFn previous = g_writer;
    g_writer = writer ? writer : WriteFile;
    return previous;
}
