// Line-by-line reading of a text file that may be gzip-compressed, with the
// line number kept for error messages, and the one error type of the readers.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qivla {

// Something wrong with an input file: which file, which line (0 when no
// line applies) and what. what() gives the whole message.
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

// Reads lines from a plain or gzip-compressed file (recognised by its
// content, not its name). Line ends (LF or CRLF) are removed.
class TextSource {
   public:
    explicit TextSource(const std::string& path);
    ~TextSource();
    TextSource(const TextSource&) = delete;
    TextSource& operator=(const TextSource&) = delete;

    // The next line into *line; false at the end of the file. Throws
    // FileError when the compressed data is damaged or cut short.
    bool next(std::string* line);
    long line_number() const { return line_number_; }  // of the line last read
    const std::string& path() const { return path_; }
    bool compressed() const { return compressed_; }

    [[noreturn]] void fail(const std::string& message) const;  // at the current line
    [[noreturn]] void fail_at(long line, const std::string& message) const;

   private:
    std::string path_;
    void* gz_ = nullptr;
    long line_number_ = 0;
    bool compressed_ = false;
};

}  // namespace qivla
