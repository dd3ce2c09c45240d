#pragma once
#include <string>

#include "support/ChmBuilder.h"
#include "support/ScratchFolder.h"

// A small help file with nested folders, an empty stream and a text file, as
// chmcmd compiles it: the storage suites walk and open it.
constexpr char kNestedDeep[] = "<html><body>deep page</body></html>";
constexpr char kNestedReadme[] = "read me";

inline std::wstring BuildNested(const ScratchFolder& scratch)
{
    return ChmBuilder(scratch)
        .File("index.htm", "<html><title>Index</title><body>index</body></html>")
        .File("a/readme.txt", kNestedReadme)
        .File("a/b/c/deep.htm", kNestedDeep)
        .File("sub/page2.htm", "<html>page two</html>")
        .File("empty.txt", "")
        .Build();
}
