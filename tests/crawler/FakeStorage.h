#pragma once
#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

// A storage tree made in the test, for what no help compiler makes: odd and
// over-long names, empty folders, failing calls, time stamps.
struct FakeElement {
    std::wstring name;
    DWORD type = STGTY_STREAM;
    std::string data;
    std::vector<FakeElement> children;
    FILETIME created = {};
    FILETIME accessed = {};
    FILETIME written = {};
    HRESULT openResult = S_OK;  // OpenStream/OpenStorage of this element
    HRESULT readResult = S_OK;  // IStream::Read of this stream
    HRESULT enumResult = S_OK;  // EnumElements of this storage
    ULONG missingBytes = 0;     // the element's size claims this many bytes more than the stream gives
    bool shortReadSaysOk = false;  // Read of a short stream answers S_OK, as some components do
};

FakeElement Stream(std::wstring name, std::string data = std::string());
FakeElement Folder(std::wstring name, std::vector<FakeElement> children);
// A tree's root: a folder without a name.
FakeElement Root(std::vector<FakeElement> children);

// What the fake saw; shared by all objects of one tree.
struct FakeCalls {
    int nextWithoutFetched = 0;
    LONG liveObjects = 0;
};

// Serves CLSID_ITStorage: StgOpenStorage hands out the given tree (or fails
// with openResult). The tree and calls must outlive every object handed out.
IUnknown* NewFakeComponentFactory(const FakeElement* root, FakeCalls* calls, HRESULT openResult = S_OK);

// A sound help file for a fake tree to stand for: the reader checks the file it
// is given before it asks the (fake) component to open it, and checks each
// read against the file's directory, which lists every stream of the tree
// (with the size the tree claims for it).
std::wstring CoverChmPath(const FakeElement& root);
