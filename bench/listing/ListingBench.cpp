// Lookups by name in a directory's listing, as the reader makes them for one
// walk: the check's answer for every stream (entries alike grouped once, one
// verdict per group) and the walk's record of what it met (each stream's
// resolved name, then every entry the walk did not meet).
//   listing_bench.exe crafted [repeats]         crafted names of bytes above 0x7F
//   listing_bench.exe <chm>... [--repeats n]    real files
// Prints one line per case: entries, groups, and milliseconds: the structure
// check (which fills the listing), grouping the entries alike, the first pass
// of the check over every stream (which follows the frames of compressed
// ones), then the median of later passes (lookups and verdicts) and of the
// walk's record.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "chmformat/CChmStreamCheck.h"
#include "chmformat/CChmStructureCheck.h"
#include "chmformat/ChmEntryNames.h"

namespace {
double NowMs()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// One walk's lookups: every listed stream asked of the check by the name the
// component gives it, met, then every entry left over.
struct Pass {
    double checkMs = 0;
    double walkMs = 0;
    size_t refused = 0;
};

Pass RunPass(CChmStreamCheck& streams)
{
    CChmListing& listing = streams.Listing();
    std::vector<std::pair<std::wstring, std::wstring>> paths;
    std::vector<ULONGLONG> lengths;
    for (size_t i = 0; i < listing.Count(); ++i) {
        std::wstring folder, name;
        if (ChmEntryPath(listing.Name(i), false, folder, name) || ChmEntryPath(listing.Name(i), true, folder, name)) {
            paths.emplace_back(folder, name);
            lengths.push_back(listing.At(i).length);
        }
    }
    Pass pass;
    double start = NowMs();
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!streams.Allows(paths[i].first.c_str(), paths[i].second.c_str(), lengths[i]))
            ++pass.refused;
    }
    pass.checkMs = NowMs() - start;
    start = NowMs();
    listing.ForgetMet();
    for (const auto& path : paths)
        listing.MarkMet(ChmDirectoryPath(path.first.c_str(), path.second.c_str()));
    while (listing.NextUnmet() < listing.Count()) {
    }
    pass.walkMs = NowMs() - start;
    return pass;
}

void Report(const char* name, CChmStreamCheck& streams, double setupMs, int repeats)
{
    const double start = NowMs();
    const size_t groups = streams.Listing().LikeGroups();
    const double groupMs = NowMs() - start;
    std::vector<double> check, walk;
    size_t refused = 0;
    for (int i = 0; i < repeats; ++i) {
        const Pass pass = RunPass(streams);
        check.push_back(pass.checkMs);
        walk.push_back(pass.walkMs);
        refused = pass.refused;
    }
    std::printf(
        "%-30s entries %6zu groups %6zu refused %4zu | structure check %7.2f | grouping %7.2f | "
        "first check %7.2f | check %7.2f | walk %7.2f ms\n",
        name, streams.Listing().Count(), groups, refused, setupMs, groupMs, check.front(), Median(check), Median(walk));
}

// count names of length bytes, each "/" and bytes above 0x7F: either not
// UTF-8 at all (all decode alike, as one group) or distinct CJK characters
// of one length.
void Crafted(size_t count, size_t length, bool utf8, int repeats)
{
    CChmStreamCheck streams;
    std::string name(length, '\0');
    for (size_t i = 0; i < count; ++i) {
        name[0] = '/';
        for (size_t k = 1; k < length; ++k)
            name[k] = static_cast<char>(0x80 + (k * 31 + i) % 0x7F);
        if (utf8) {
            // Three bytes per character; the first ones spell the number.
            for (size_t k = 1; k + 2 < length; k += 3) {
                const size_t value = 0x4E00 + ((k == 1 ? i : i * 7 + k) % 0x5000);
                name[k] = static_cast<char>(0xE0 | (value >> 12));
                name[k + 1] = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
                name[k + 2] = static_cast<char>(0x80 | (value & 0x3F));
            }
            for (size_t k = 1 + (length - 1) / 3 * 3; k < length; ++k)
                name[k] = 'x';
        } else {
            name[1] = static_cast<char>(0x80 + i % 0x40);
            name[2] = static_cast<char>(0x80 + i / 0x40 % 0x40);
            name[3] = static_cast<char>(0x80 + i / 0x1000 % 0x40);
        }
        streams.Listing().AddEntry(reinterpret_cast<const BYTE*>(name.data()), name.size(), 0, i, 1);
    }
    char label[64];
    std::snprintf(label, sizeof(label), "crafted %s %zu x %zu B", utf8 ? "cjk" : "bad", count, length);
    Report(label, streams, 0, repeats);
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    int repeats = 5;
    std::vector<std::wstring> files;
    bool crafted = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--repeats" && i + 1 < argc)
            repeats = std::max(1, _wtoi(argv[++i]));
        else if (arg == L"crafted")
            crafted = true;
        else
            files.push_back(arg);
    }
    if (crafted) {
        for (const size_t count : {5000, 10000, 20000}) {
            Crafted(count, 100, false, repeats);
            Crafted(count, 100, true, repeats);
        }
    }
    for (const std::wstring& file : files) {
        CChmStreamCheck streams;
        const double start = NowMs();
        const ChmFault fault = CChmStructureCheck::Run(file.c_str(), &streams);
        const double setup = NowMs() - start;
        if (fault != ChmFault::None)
            continue;
        const size_t slash = file.find_last_of(L"\\/");
        const std::wstring base = slash == std::wstring::npos ? file : file.substr(slash + 1);
        Report(std::string(base.begin(), base.end()).c_str(), streams, setup, repeats);
    }
    return 0;
}
