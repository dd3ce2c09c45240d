#pragma once
#include <windows.h>

#include <memory>

// A run's own temporary folder: the system's temporary path followed by the 32
// hexadecimal digits of a new GUID. The owner removes it, with all it holds,
// when it is reset or destroyed.
class CRunFolder {
public:
    static constexpr size_t kPathCapacity = 2049;
    static constexpr size_t kNameCapacity = 37;

    CRunFolder() = default;
    ~CRunFolder() { Remove(); }
    CRunFolder(const CRunFolder&) = delete;
    CRunFolder& operator=(const CRunFolder&) = delete;

    // Chooses a new folder (its name is then Name()) without making it yet.
    bool Choose();
    // Makes the chosen folder; Path() is its path from then on.
    bool Make();
    // Deletes the folder and what is in it, and forgets it.
    void Remove();

    const wchar_t* Name() const { return m_name; }
    // Null until the folder is made.
    const wchar_t* Path() const { return m_made ? m_path.get() : nullptr; }

    // The 32 hexadecimal digits that name a run's folder.
    static void FormatName(const GUID& guid, wchar_t* name, size_t capacity);

private:
    std::unique_ptr<wchar_t[]> m_path;
    wchar_t m_name[kNameCapacity] = {};
    bool m_made = false;
};
