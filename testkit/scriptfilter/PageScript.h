#pragma once
#include <windows.h>

#include <string>
#include <vector>

// What a page tells the scriptable filter to do, read from the page's own bytes:
// the lines between "<!--script" and "-->", one step each.
//   text <words>              a text chunk
//   value <words>             a value chunk holding a VT_LPWSTR string
//   text-error <hex> <words>  a text chunk whose GetText answers <hex>
//   chunk-error <hex>         GetChunk answers <hex> here
//   init-error <hex>          Init answers <hex>
//   throw init|chunk|text|value   that call raises an exception
//   wild-value                GetValue answers S_OK with a value pointer it
//                             does not own, as a broken filter might
//   replace-file <path>       Init moves <path> aside to <path>.gone and leaves
//                             a file that is no program in its place
// A page without a script gives one text chunk and one value chunk, both naming
// the page file.
struct PageScript {
    enum class Kind { Text, Value, ChunkError };
    struct Step {
        Kind kind;
        std::wstring words;
        HRESULT result;
    };

    std::vector<Step> steps;
    HRESULT initResult = S_OK;
    bool throwInInit = false;
    bool throwInChunk = false;
    bool throwInText = false;
    bool throwInValue = false;
    bool wildValue = false;
    std::wstring replaceFile;

    static PageScript Parse(const std::string& page, const std::wstring& pageName);
};
