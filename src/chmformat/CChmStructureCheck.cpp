#include "chmformat/CChmStructureCheck.h"

#include <utility>

#include "chmformat/CBoundedFileReader.h"
#include "chmformat/CChmCompressedSection.h"
#include "chmformat/CChmDirectory.h"
#include "chmformat/CChmHeaders.h"
#include "chmformat/CChmStreamCheck.h"

ChmFault CChmStructureCheck::Run(const wchar_t* path, CChmStreamCheck* streams)
{
    CBoundedFileReader file;
    if (!path || !file.Open(path))
        return ChmFault::Unreadable;
    CChmHeaders headers;
    ChmFault fault = headers.Read(file);
    if (fault != ChmFault::None)
        return fault;
    CChmDirectory directory;
    fault = directory.Walk(file, headers, streams ? &streams->Listing() : nullptr);
    if (fault != ChmFault::None)
        return fault;
    CChmCompressedSection section;
    ChmFrameTable frames;
    fault = section.Check(file, headers, directory, streams ? &frames : nullptr);
    if (fault == ChmFault::None && streams && !streams->Adopt(std::move(file), std::move(frames)))
        return ChmFault::Unreadable;
    return fault;
}
