#pragma once

// Inputs kept from fuzzing runs (tests/reliability/fixtures/heap) after which
// the storage component's decoder damaged the heap inside IStream::Read: their
// structure is sound, their compressed data is not.
inline const wchar_t* const kDamagedFrameInputs[] = {
    L"long-run-00487.chm",     L"long-run-01227.chm",        L"long-run-02237.chm",
    L"long-run-04100.chm",     L"long-run-04459.chm",        L"long-run-04691.chm",
    L"long-run-06558.chm",     L"long-run-09902.chm",        L"long-run-hang-04385.chm",
    L"short-run-seed1-00132.chm", L"short-run-seed1-00154.chm",
};
