#pragma once
#include <windows.h>

#include <string>

// A fresh folder under the temporary folder, removed with everything in it when
// the object goes away.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    // Path of a child: Path() + "\" + relative.
    std::wstring operator/(const std::wstring& relative) const { return m_path + L"\\" + relative; }

    // Writes a file (folders along the way are made); returns its full path.
    std::wstring WriteFile(const std::wstring& relative, const std::string& bytes) const;
    // Makes a folder (and its parents); returns its full path.
    std::wstring MakeFolder(const std::wstring& relative) const;

    // Removes a folder tree; used for the scratch folder itself.
    static void RemoveTree(const std::wstring& path);

private:
    std::wstring m_path;
};
