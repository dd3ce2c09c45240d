#include "crawler/CChmStructureCheck.h"

#include <utility>

#include "crawler/CBoundedFileReader.h"
#include "crawler/CChmCompressedSection.h"
#include "crawler/CChmDirectory.h"
#include "crawler/CChmHeaders.h"
#include "crawler/CChmPageCheck.h"

ChmFault CChmStructureCheck::Run(const wchar_t* path, CChmPageCheck* pages)
{
    CBoundedFileReader file;
    if (!path || !file.Open(path))
        return ChmFault::Unreadable;
    CChmHeaders headers;
    ChmFault fault = headers.Read(file);
    if (fault != ChmFault::None)
        return fault;
    CChmDirectory directory;
    fault = directory.Walk(file, headers);
    if (fault != ChmFault::None)
        return fault;
    CChmCompressedSection section;
    fault = section.Check(file, headers, directory, pages);
    if (fault == ChmFault::None && pages)
        pages->Adopt(std::move(file), headers);
    return fault;
}
