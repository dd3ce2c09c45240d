#include "PageScript.h"

#include <cstdlib>
#include <sstream>

namespace {
std::wstring Widened(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

HRESULT ParseResult(std::istringstream& line)
{
    std::string hex;
    line >> hex;
    return static_cast<HRESULT>(std::strtoul(hex.c_str(), nullptr, 16));
}

std::wstring Rest(std::istringstream& line)
{
    std::string rest;
    std::getline(line >> std::ws, rest);
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == ' '))
        rest.pop_back();
    return Widened(rest);
}
}

PageScript PageScript::Parse(const std::string& page, const std::wstring& pageName)
{
    PageScript script;
    const size_t begin = page.find("<!--script");
    if (begin == std::string::npos) {
        script.steps.push_back({Kind::Text, L"page " + pageName, S_OK});
        script.steps.push_back({Kind::Value, pageName, S_OK});
        return script;
    }
    const size_t end = page.find("-->", begin);
    std::istringstream lines(page.substr(begin + 10, end == std::string::npos ? std::string::npos : end - begin - 10));
    std::string text;
    while (std::getline(lines, text)) {
        std::istringstream line(text);
        std::string command;
        line >> command;
        if (command == "text") {
            script.steps.push_back({Kind::Text, Rest(line), S_OK});
        } else if (command == "value") {
            script.steps.push_back({Kind::Value, Rest(line), S_OK});
        } else if (command == "text-error") {
            const HRESULT hr = ParseResult(line);
            script.steps.push_back({Kind::Text, Rest(line), hr});
        } else if (command == "chunk-error") {
            script.steps.push_back({Kind::ChunkError, L"", ParseResult(line)});
        } else if (command == "init-error") {
            script.initResult = ParseResult(line);
        } else if (command == "wild-value") {
            script.wildValue = true;
        } else if (command == "replace-file") {
            script.replaceFile = Rest(line);
        } else if (command == "throw") {
            std::string call;
            line >> call;
            script.throwInInit |= call == "init";
            script.throwInChunk |= call == "chunk";
            script.throwInText |= call == "text";
            script.throwInValue |= call == "value";
        }
    }
    return script;
}
