#pragma once
#include <windows.h>

#include <string>

#include <objidl.h>

#include "util/owners/ComPtr.h"
#include "util/owners/UniqueHandle.h"

// Reads a page file, or a page handed over as a stream, block by block and decodes it to UTF-16 through the
// platform's code pages, never holding more than a block. The encoding comes
// from a byte-order mark, else (for HTML) from the charset the page declares,
// else the system's ANSI code page.
class CPageDecoder {
public:
    static constexpr size_t kBlockBytes = 64 * 1024;

    // Opens the file and chooses its encoding; a failure is a Win32 HRESULT.
    HRESULT Open(const wchar_t* path, bool html);
    // The same over a stream, read from its start.
    HRESULT Open(IStream* stream, bool html);
    // Decodes the next piece into text (replacing what it held). end becomes
    // true with the last piece.
    HRESULT Next(std::wstring& text, bool& end);

    // The code page in use; 1200 and 1201 for UTF-16 little and big endian.
    UINT CodePage() const { return m_codePage; }

private:
    HRESULT Start(bool html);
    HRESULT ReadBlock();
    // How many of the held bytes form whole characters.
    size_t WholeCharacters() const;

    UniqueHandle m_file;
    ComPtr<IStream> m_stream;
    std::string m_bytes;
    bool m_eof = false;
    UINT m_codePage = CP_ACP;
    CPINFO m_info{};
};
