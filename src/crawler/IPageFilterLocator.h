#pragma once

// The one question the crawler asks about an entry before it extracts it: is
// there a page filter for a file of this name? The filter's host information
// answers it as the running search product would.
class IPageFilterLocator {
public:
    virtual bool HasPageFilter(const wchar_t* name) = 0;

protected:
    ~IPageFilterLocator() = default;
};
