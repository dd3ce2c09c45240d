#include "filter/FullPropSpecArray.h"

#include <cwchar>

void FullPropSpecArray::Clear()
{
    m_specs.clear();
    m_names.clear();
}

void FullPropSpecArray::Assign(ULONG count, const FULLPROPSPEC* specs)
{
    Clear();
    if (!specs || count == 0)
        return;
    std::vector<FULLPROPSPEC> copies(specs, specs + count);
    std::vector<std::unique_ptr<wchar_t[]>> names;
    for (FULLPROPSPEC& spec : copies) {
        if (spec.psProperty.ulKind != PRSPEC_LPWSTR || !spec.psProperty.lpwstr)
            continue;
        const size_t length = wcslen(spec.psProperty.lpwstr);
        names.reserve(names.size() + 1);
        std::unique_ptr<wchar_t[]> name(new wchar_t[length + 1]);
        wmemcpy(name.get(), spec.psProperty.lpwstr, length + 1);
        spec.psProperty.lpwstr = name.get();
        names.push_back(std::move(name));
    }
    m_specs.swap(copies);
    m_names.swap(names);
}
