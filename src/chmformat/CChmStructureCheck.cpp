#include "chmformat/CChmStructureCheck.h"

#include <new>
#include <utility>

#include "chmformat/CBoundedFileReader.h"
#include "chmformat/CChmCompressedSection.h"
#include "chmformat/CChmDirectory.h"
#include "chmformat/CChmHeaders.h"
#include "chmformat/CChmListing.h"
#include "chmformat/CChmStreamCheck.h"

ChmFault CChmStructureCheck::Run(const wchar_t* path, CChmStreamCheck* streams)
{
    std::unique_ptr<CBoundedFileReader> file(new (std::nothrow) CBoundedFileReader);
    if (!path || !file || !file->Open(path))
        return ChmFault::Unreadable;
    ChmFrameTable frames;
    const ChmFault fault = Run(*file, streams ? &streams->Listing() : nullptr, streams ? &frames : nullptr);
    if (fault == ChmFault::None && streams && !streams->Adopt(std::move(file), std::move(frames)))
        return ChmFault::Unreadable;
    return fault;
}

ChmFault CChmStructureCheck::Run(IChmByteSource& source, CChmListing* listing, ChmFrameTable* frames)
{
    CChmHeaders headers;
    ChmFault fault = headers.Read(source);
    if (fault != ChmFault::None)
        return fault;
    CChmDirectory directory;
    fault = directory.Walk(source, headers, listing);
    if (fault != ChmFault::None)
        return fault;
    CChmCompressedSection section;
    return section.Check(source, headers, directory, frames);
}
