#pragma once
#include <windows.h>
#include <filter.h>

#include <memory>
#include <vector>

// The filter's own copy of the attributes a host passes to Init, names of
// properties included, so that each page filter of the run gets them intact
// after the host has let go of its array.
class FullPropSpecArray {
public:
    FullPropSpecArray() = default;
    FullPropSpecArray(const FullPropSpecArray&) = delete;
    FullPropSpecArray& operator=(const FullPropSpecArray&) = delete;

    // Replaces the copy; throws std::bad_alloc when out of memory, leaving
    // the array empty. A null array counts as empty.
    void Assign(ULONG count, const FULLPROPSPEC* specs);
    void Clear();

    ULONG Count() const { return static_cast<ULONG>(m_specs.size()); }
    // Null when empty, as hosts pass it.
    const FULLPROPSPEC* Data() const { return m_specs.empty() ? nullptr : m_specs.data(); }

private:
    std::vector<FULLPROPSPEC> m_specs;
    std::vector<std::unique_ptr<wchar_t[]>> m_names;
};
