// A small JSON writer: objects, arrays, strings and numbers, written in order.
// Numbers keep all 17 significant digits, so a reader gets the same binary64
// back; NaN and infinities, which JSON cannot hold, are written as null.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "text_source.h"

namespace qivla {

class JsonWriter {
   public:
    JsonWriter& begin_object() { return open('{'); }
    JsonWriter& end_object() { return close('}'); }
    JsonWriter& begin_array() { return open('['); }
    JsonWriter& end_array() { return close(']'); }

    JsonWriter& key(const std::string& k) {
        comma();
        out_ += quote(k) + ": ";
        after_key_ = true;
        return *this;
    }
    JsonWriter& value(const std::string& s) { return raw(quote(s)); }
    JsonWriter& value(const char* s) { return raw(quote(s)); }
    JsonWriter& value(double v) { return raw(number(v)); }
    JsonWriter& value(int v) { return raw(std::to_string(v)); }
    JsonWriter& value(long long v) { return raw(std::to_string(v)); }
    JsonWriter& value(bool v) { return raw(v ? "true" : "false"); }
    JsonWriter& null() { return raw("null"); }

    // A complex number as [re, im].
    template <class Z>
    JsonWriter& complex(const Z& z) {
        return begin_array().value(z.real()).value(z.imag()).end_array();
    }

    const std::string& str() const { return out_; }

    static std::string number(double v) {
        if (!std::isfinite(v)) return "null";
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", v);
        return buf;
    }

    // Text from files may hold any bytes: those that are not UTF-8 become
    // U+FFFD, so the output is always valid JSON.
    static std::string quote(const std::string& s) {
        std::string r = "\"";
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char c = s[i];
            const unsigned char u = static_cast<unsigned char>(c);
            if (u >= 0x80) {
                const std::size_t len = utf8_length(s, i);
                if (len == 0) {
                    r += "\\ufffd";
                } else {
                    r.append(s, i, len);
                    i += len - 1;
                }
                continue;
            }
            if (c == '"' || c == '\\') {
                r += '\\';
                r += c;
            } else if (u < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", u);
                r += buf;
            } else {
                r += c;
            }
        }
        return r + "\"";
    }

   private:
    JsonWriter& raw(const std::string& text) {
        comma();
        out_ += text;
        return *this;
    }
    void comma() {
        if (after_key_) {
            after_key_ = false;
            return;
        }
        if (!first_.empty()) {
            if (!first_.back()) out_ += ", ";
            first_.back() = false;
        }
    }
    JsonWriter& open(char c) {
        comma();
        out_ += c;
        first_.push_back(true);
        return *this;
    }
    JsonWriter& close(char c) {
        first_.pop_back();
        out_ += c;
        return *this;
    }

    std::string out_;
    std::vector<bool> first_;
    bool after_key_ = false;
};

}  // namespace qivla
