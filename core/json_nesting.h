#pragma once
// Boost's JSON reader descends once per level of objects and arrays, so a
// file nested deeply enough would exhaust the stack. Readers of JSON from
// outside measure the nesting first and refuse files deeper than they need.

#include <algorithm>
#include <string>

// Deepest nesting of objects and arrays in `json`, strings skipped.
inline int json_nesting(const std::string& json)
{
    int depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (char ch : json) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (ch == '\\')
                escaped = true;
            else if (ch == '"')
                inString = false;
        } else if (ch == '"') {
            inString = true;
        } else if (ch == '{' || ch == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (ch == '}' || ch == ']') {
            --depth;
        }
    }
    return deepest;
}
