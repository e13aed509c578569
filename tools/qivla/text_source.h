// Line-by-line reading of a text file that may be gzip-compressed, with the
// line number kept for error messages, and the one error type of the readers.
// Every byte is untrusted: lines and the whole text have caps, NUL bytes end
// the reading, and messages show the file's text escaped.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qivla {

// Something wrong with an input file: which file, which line (0 when no
// line applies) and what. what() gives the whole message, with control
// characters and bytes that are not UTF-8 written as \xNN.
class FileError : public std::runtime_error {
   public:
    FileError(const std::string& file, long line, const std::string& message);
    const std::string& file() const { return file_; }
    long line() const { return line_; }
    const std::string& message() const { return message_; }

   private:
    std::string file_;
    long line_;
    std::string message_;
};

// Text from a file made safe for a terminal: printable ASCII and valid UTF-8
// (without the C1 controls) stay, every other byte becomes \xNN.
std::string escaped(const std::string& text);

// The length of the valid UTF-8 sequence (no overlong forms, no surrogates)
// at text[i] for a code point of at least smallest_code_point, or 0.
std::size_t utf8_length(const std::string& text, std::size_t i,
                        unsigned long smallest_code_point = 0x80);

// Reads lines from a plain or gzip-compressed file (recognised by its
// content, not its name). Line ends (LF or CRLF) are removed. "-" reads
// standard input.
class TextSource {
   public:
    static constexpr std::size_t default_line_cap = std::size_t(1) << 20;

    explicit TextSource(const std::string& path);
    ~TextSource();
    TextSource(const TextSource&) = delete;
    TextSource& operator=(const TextSource&) = delete;

    // The next line into *line; false at the end of the file. Throws
    // FileError when the compressed data is damaged or cut short, when the
    // line holds a NUL byte, is longer than the line cap, or takes the text
    // past the byte cap.
    bool next(std::string* line);
    long line_number() const { return line_number_; }  // of the line last read
    const std::string& path() const { return path_; }
    bool compressed() const { return compressed_; }
    std::uint64_t bytes_read() const { return bytes_; }

    // Caps on the (decompressed) text: one line, and the whole file; the
    // readers set the latter from what the header promises.
    void set_line_cap(std::size_t bytes) { line_cap_ = bytes; }
    void set_byte_cap(std::uint64_t bytes, const std::string& why) {
        byte_cap_ = bytes;
        byte_cap_why_ = why;
    }

    [[noreturn]] void fail(const std::string& message) const;  // at the current line
    [[noreturn]] void fail_at(long line, const std::string& message) const;

   private:
    bool fill();  // more decompressed bytes into buf_; false at the end

    std::string path_;
    void* gz_ = nullptr;
    long line_number_ = 0;
    bool compressed_ = false;
    std::string buf_;
    std::size_t at_ = 0;  // next unread byte of buf_
    bool eof_ = false;
    std::uint64_t bytes_ = 0;
    std::size_t line_cap_ = default_line_cap;
    std::uint64_t byte_cap_ = UINT64_MAX;
    std::string byte_cap_why_;
};

}  // namespace qivla
