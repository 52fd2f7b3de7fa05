// A CUPS options text (name=value pairs) as libcups reads it, to look up,
// change, and write back in a form it reads the same way.
#pragma once

#include <cstdlib>
#include <string>

#include <cups/cups.h>

namespace corvane {

class parsedOptions {
public:
    explicit parsedOptions(const std::string& text) : count(cupsParseOptions(text.c_str(), 0, &values)) {}
    ~parsedOptions() { cupsFreeOptions(count, values); }
    parsedOptions(const parsedOptions&) = delete;
    parsedOptions& operator=(const parsedOptions&) = delete;

    const char* get(const char* name) const { return cupsGetOption(name, count, values); }
    long number(const char* name) const {
        const char* value = get(name);
        return value ? std::strtol(value, nullptr, 10) : 0;
    }
    void set(const char* name, const std::string& value) {
        count = cupsAddOption(name, value.c_str(), count, &values);
    }
    void remove(const char* name) { count = cupsRemoveOption(name, count, &values); }

    // name="value" pairs with \ and " escaped, as PAPPL writes its state.
    std::string text() const {
        std::string out;
        for (int i = 0; i < count; ++i) {
            out += i > 0 ? " " : "";
            out += values[i].name;
            out += "=\"";
            for (const char* c = values[i].value; *c; ++c) {
                if (*c == '\\' || *c == '"') out += '\\';
                out += *c;
            }
            out += '"';
        }
        return out;
    }

private:
    cups_option_t* values = nullptr;
    int count;
};

}  // namespace corvane
