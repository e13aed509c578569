#include "text_source.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>

namespace qivla {

namespace {

std::string format_message(const std::string& file, long line, const std::string& message) {
    return file + (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": " + message;
}

}  // namespace

FileError::FileError(const std::string& file, long line, const std::string& message)
    : std::runtime_error(format_message(file, line, message)),
      file_(file),
      line_(line),
      message_(message) {}

TextSource::TextSource(const std::string& path) : path_(path) {
    errno = 0;
    gzFile gz = gzopen(path.c_str(), "rb");
    if (!gz) {
        const int err = errno;
        throw FileError(
            path, 0, std::string("cannot open: ") + (err ? std::strerror(err) : "out of memory"));
    }
    gzbuffer(gz, 1 << 16);
    gz_ = gz;
    // gzdirect tells after the first read whether the data is compressed.
    const int c = gzgetc(gz);
    if (c != -1) gzungetc(c, gz);
    compressed_ = gzdirect(gz) == 0;
}

TextSource::~TextSource() {
    if (gz_) gzclose(static_cast<gzFile>(gz_));
}

bool TextSource::next(std::string* line) {
    gzFile gz = static_cast<gzFile>(gz_);
    line->clear();
    char buf[4096];
    bool any = false;
    for (;;) {
        if (!gzgets(gz, buf, sizeof buf)) break;
        any = true;
        const std::size_t len = std::strlen(buf);
        line->append(buf, len);
        if (len > 0 && buf[len - 1] == '\n') break;
    }
    // zlib hands out what it could decompress before it met the damage or
    // the early end; the error counts once that is used up: at the end, or
    // on a line cut short.
    const bool whole_line = any && !line->empty() && line->back() == '\n';
    int code = Z_OK;
    const char* why = gzerror(gz, &code);
    if (code != Z_OK && code != Z_STREAM_END && !whole_line) {
        const long at = line_number_ + 1;
        if (code == Z_BUF_ERROR)
            fail_at(at, "the compressed data ends early: the file is truncated");
        fail_at(at,
                std::string("the compressed data is damaged (") + (why ? why : "zlib error") + ")");
    }
    if (!any) return false;
    ++line_number_;
    if (!line->empty() && line->back() == '\n') line->pop_back();
    if (!line->empty() && line->back() == '\r') line->pop_back();
    if (line->find('\0') != std::string::npos) fail("holds a NUL byte: this is not a text file");
    return true;
}

void TextSource::fail(const std::string& message) const { fail_at(line_number_, message); }

void TextSource::fail_at(long line, const std::string& message) const {
    throw FileError(path_, line, message);
}

}  // namespace qivla
