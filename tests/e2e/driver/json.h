#pragma once
// Just enough JSON to print one flat-ish object per line: values are rendered to text as they are
// added, so the printer never needs a tree.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace e2e {

std::wstring JsonString(std::wstring_view text);
std::wstring JsonNumber(long long value);
std::wstring JsonBool(bool value);
std::wstring JsonArray(const std::vector<std::wstring>& renderedItems);
// [left, top, width, height], the order in which the window tables give control rectangles.
std::wstring JsonRect(const RECT& rect);

class JsonObject {
public:
    JsonObject& Raw(std::wstring_view key, const std::wstring& rendered);
    JsonObject& Str(std::wstring_view key, std::wstring_view value) { return Raw(key, JsonString(value)); }
    JsonObject& Num(std::wstring_view key, long long value) { return Raw(key, JsonNumber(value)); }
    JsonObject& Bool(std::wstring_view key, bool value) { return Raw(key, JsonBool(value)); }
    JsonObject& Rect(std::wstring_view key, const RECT& value) { return Raw(key, JsonRect(value)); }
    std::wstring Text() const { return L"{" + body_ + L"}"; }

private:
    std::wstring body_;
};

// Writes the object as one UTF-8 line to standard output and flushes it, so that a harness reading
// the output file after a crash still has every line printed so far.
void Emit(const JsonObject& object);

}  // namespace e2e
