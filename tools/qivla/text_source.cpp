#include "text_source.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qivla {

namespace {

std::string format_message(const std::string& file, long line, const std::string& message) {
    return escaped(file) + (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": " +
           escaped(message);
}

}  // namespace

std::size_t utf8_length(const std::string& s, std::size_t i, unsigned long smallest_code_point) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    unsigned long cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    const unsigned long smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < smallest[len] || cp < smallest_code_point || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

std::string escaped(const std::string& text) {
    std::string r;
    r.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            r += text[i++];
            continue;
        }
        const std::size_t len = c >= 0x80 ? utf8_length(text, i, 0xA0) : 0;
        if (len > 0) {
            r.append(text, i, len);
            i += len;
            continue;
        }
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", c);
        r += buf;
        ++i;
    }
    return r;
}

FileError::FileError(const std::string& file, long line, const std::string& message)
    : std::runtime_error(format_message(file, line, message)),
      file_(file),
      line_(line),
      message_(escaped(message)) {}

TextSource::TextSource(const std::string& path) : path_(path) {
    const bool stdin_source = path == "-";
    if (!stdin_source) {
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            throw FileError(path, 0,
                            "not a Matrix Market or Harwell-Boeing file: this is a directory");
    }
    errno = 0;
    gzFile gz = stdin_source ? gzdopen(dup(STDIN_FILENO), "rb") : gzopen(path.c_str(), "rb");
    if (!gz) {
        const int err = errno;
        throw FileError(
            path, 0, std::string("cannot open: ") + (err ? std::strerror(err) : "out of memory"));
    }
    gzbuffer(gz, 1 << 16);
    gz_ = gz;
    // gzdirect tells after the first read whether the data is compressed.
    fill();
    compressed_ = gzdirect(gz) == 0;
}

TextSource::~TextSource() {
    if (gz_) gzclose(static_cast<gzFile>(gz_));
}

bool TextSource::fill() {
    if (eof_) return false;
    gzFile gz = static_cast<gzFile>(gz_);
    char chunk[1 << 16];
    errno = 0;
    const int got = gzread(gz, chunk, sizeof chunk);
    if (got < 0) {
        int code = Z_OK;
        const char* why = gzerror(gz, &code);
        const long at = line_number_ + 1;
        if (code == Z_ERRNO)
            fail_at(at, std::string("cannot read: ") + std::strerror(errno ? errno : EIO));
        if (code == Z_BUF_ERROR)
            fail_at(at, "the compressed data ends early: the file is truncated");
        fail_at(at,
                std::string("the compressed data is damaged (") + (why ? why : "zlib error") + ")");
    }
    if (got == 0) {
        // zlib reports a stream cut short only once its data is used up.
        int code = Z_OK;
        gzerror(gz, &code);
        if (code == Z_BUF_ERROR)
            fail_at(line_number_ + 1, "the compressed data ends early: the file is truncated");
        eof_ = true;
        return false;
    }
    buf_.erase(0, at_);
    at_ = 0;
    buf_.append(chunk, static_cast<std::size_t>(got));
    return true;
}

bool TextSource::next(std::string* line) {
    line->clear();
    std::size_t scanned = at_;  // bytes of buf_ before this are known not to end the line
    for (;;) {
        const std::size_t start = at_;
        const char* base = buf_.data();
        const void* nl = std::memchr(base + scanned, '\n', buf_.size() - scanned);
        const std::size_t end = nl ? static_cast<const char*>(nl) - base : buf_.size();
        if (std::memchr(base + scanned, '\0', end - scanned))
            fail_at(line_number_ + 1,
                    "holds a NUL byte: not a text file (not a Matrix Market or Harwell-Boeing "
                    "file)");
        if (end - start > line_cap_)
            fail_at(line_number_ + 1,
                    "the line is longer than " + std::to_string(line_cap_) + " bytes");
        if (bytes_ + (end - start) > byte_cap_)
            fail_at(line_number_ + 1, "the text is longer than " + std::to_string(byte_cap_) +
                                          " bytes, " + byte_cap_why_);
        if (nl) {
            line->assign(buf_, start, end - start);
            at_ = end + 1;
            bytes_ += end - start + 1;
            break;
        }
        scanned = end;
        // fill() drops the bytes before at_: the line restarts at 0.
        const std::size_t kept = scanned - start;
        if (!fill()) {
            if (buf_.size() == at_) return false;
            line->assign(buf_, at_, std::string::npos);
            bytes_ += buf_.size() - at_;
            at_ = buf_.size();
            break;
        }
        scanned = kept;
    }
    ++line_number_;
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return true;
}

void TextSource::fail(const std::string& message) const { fail_at(line_number_, message); }

void TextSource::fail_at(long line, const std::string& message) const {
    throw FileError(path_, line, message);
}

}  // namespace qivla
