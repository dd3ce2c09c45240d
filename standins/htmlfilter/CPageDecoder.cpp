#include "CPageDecoder.h"

#include "DeclaredCharset.h"

namespace {
constexpr UINT kUtf16Le = 1200;
constexpr UINT kUtf16Be = 1201;
constexpr UINT kUtf8 = 65001;
constexpr UINT kGb18030 = 54936;
}

HRESULT CPageDecoder::Open(const wchar_t* path, bool html)
{
    m_file.reset(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!m_file)
        return HRESULT_FROM_WIN32(GetLastError());
    m_stream.reset();
    return Start(html);
}

HRESULT CPageDecoder::Open(IStream* stream, bool html)
{
    if (!stream)
        return E_INVALIDARG;
    LARGE_INTEGER start{};
    const HRESULT seek = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(seek))
        return seek;
    m_file.reset();
    m_stream.copy_from(stream);
    return Start(html);
}

HRESULT CPageDecoder::Start(bool html)
{
    m_bytes.clear();
    m_eof = false;
    const HRESULT hr = ReadBlock();
    if (FAILED(hr))
        return hr;

    const auto* b = reinterpret_cast<const unsigned char*>(m_bytes.data());
    if (m_bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        m_codePage = kUtf8;
        m_bytes.erase(0, 3);
    } else if (m_bytes.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        m_codePage = kUtf16Le;
        m_bytes.erase(0, 2);
    } else if (m_bytes.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        m_codePage = kUtf16Be;
        m_bytes.erase(0, 2);
    } else {
        UINT declared = 0;
        if (html)
            declared = CodePageOfCharset(FindDeclaredCharset(m_bytes.data(), m_bytes.size()));
        m_codePage = declared ? declared : GetACP();
    }
    if (m_codePage != kUtf16Le && m_codePage != kUtf16Be && !GetCPInfo(m_codePage, &m_info)) {
        m_codePage = GetACP();
        GetCPInfo(m_codePage, &m_info);
    }
    return S_OK;
}

HRESULT CPageDecoder::ReadBlock()
{
    const size_t held = m_bytes.size();
    m_bytes.resize(held + kBlockBytes);
    DWORD read = 0;
    if (m_stream) {
        ULONG got = 0;
        const HRESULT hr = m_stream->Read(&m_bytes[held], static_cast<ULONG>(kBlockBytes), &got);
        if (FAILED(hr)) {
            m_bytes.resize(held);
            return hr;
        }
        read = got;
    } else if (!ReadFile(m_file.get(), &m_bytes[held], static_cast<DWORD>(kBlockBytes), &read, nullptr)) {
        const DWORD error = GetLastError();
        m_bytes.resize(held);
        return HRESULT_FROM_WIN32(error);
    }
    m_bytes.resize(held + read);
    if (read == 0)
        m_eof = true;
    return S_OK;
}

size_t CPageDecoder::WholeCharacters() const
{
    const auto* b = reinterpret_cast<const unsigned char*>(m_bytes.data());
    const size_t n = m_bytes.size();
    if (m_eof)
        return n;  // a sequence cut by the end decodes as a replacement character
    if (m_codePage == kUtf16Le || m_codePage == kUtf16Be) {
        size_t whole = n & ~static_cast<size_t>(1);
        // Keep a high surrogate with its partner.
        if (whole >= 2) {
            const unsigned last = m_codePage == kUtf16Le ? (b[whole - 1] << 8 | b[whole - 2])
                                                          : (b[whole - 2] << 8 | b[whole - 1]);
            if (last >= 0xD800 && last <= 0xDBFF)
                whole -= 2;
        }
        return whole;
    }
    if (m_codePage == kUtf8) {
        // Back up to the start of the last sequence; keep it if it is short.
        size_t start = n;
        for (size_t back = 0; back < 4 && start > 0; ++back) {
            --start;
            if ((b[start] & 0xC0) != 0x80)
                break;
        }
        if (start < n && b[start] >= 0xC0) {
            const size_t need = b[start] >= 0xF0 ? 4 : b[start] >= 0xE0 ? 3 : 2;
            if (n - start < need)
                return start;
        }
        return n;
    }
    if (m_codePage == kGb18030) {
        size_t i = 0;
        while (i < n) {
            size_t length = 1;
            if (b[i] >= 0x81 && b[i] <= 0xFE)
                length = (i + 1 < n && b[i + 1] >= 0x30 && b[i + 1] <= 0x39) ? 4 : 2;
            if (i + length > n)
                return i;
            i += length;
        }
        return n;
    }
    if (m_info.MaxCharSize == 2) {
        // Double-byte code pages: walk from a known boundary, lead byte by lead byte.
        size_t i = 0;
        while (i < n) {
            const size_t length = IsDBCSLeadByteEx(m_codePage, b[i]) ? 2 : 1;
            if (i + length > n)
                return i;
            i += length;
        }
        return n;
    }
    if (m_info.MaxCharSize > 2) {
        // Other multi-byte encodings: cut after the last line feed.
        for (size_t i = n; i-- > 0;) {
            if (b[i] == '\n')
                return i + 1;
        }
    }
    return n;
}

HRESULT CPageDecoder::Next(std::wstring& text, bool& end)
{
    text.clear();
    end = false;
    if (!m_eof && m_bytes.size() < kBlockBytes) {
        const HRESULT hr = ReadBlock();
        if (FAILED(hr))
            return hr;
    }
    const size_t whole = WholeCharacters();
    if (m_codePage == kUtf16Le || m_codePage == kUtf16Be) {
        const auto* b = reinterpret_cast<const unsigned char*>(m_bytes.data());
        text.reserve(whole / 2 + 1);
        for (size_t i = 0; i + 1 < whole; i += 2) {
            text += static_cast<wchar_t>(m_codePage == kUtf16Le ? (b[i + 1] << 8 | b[i]) : (b[i] << 8 | b[i + 1]));
        }
        if (whole % 2)
            text += static_cast<wchar_t>(0xFFFD);  // a lone last byte
    } else if (whole > 0) {
        // No code page makes more UTF-16 units than bytes.
        text.resize(whole);
        const int made = MultiByteToWideChar(m_codePage, 0, m_bytes.data(), static_cast<int>(whole), &text[0],
                                             static_cast<int>(whole));
        if (made <= 0)
            return HRESULT_FROM_WIN32(GetLastError());
        text.resize(static_cast<size_t>(made));
    }
    m_bytes.erase(0, whole);
    end = m_eof && m_bytes.empty();
    return S_OK;
}
