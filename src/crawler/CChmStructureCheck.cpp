#include "crawler/CChmStructureCheck.h"

#include "crawler/CBoundedFileReader.h"
#include "crawler/CChmCompressedSection.h"
#include "crawler/CChmDirectory.h"
#include "crawler/CChmHeaders.h"

ChmFault CChmStructureCheck::Run(const wchar_t* path)
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
    return section.Check(file, headers, directory);
}
