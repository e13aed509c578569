// Files the tool writes. A regular file is written to a temporary file in
// the same folder and renamed into place when complete, so a failed write
// (full disk, killed process) never leaves a truncated file where a good one
// stood, and writing onto the input file is safe. "-" writes standard
// output; a device or pipe is written directly. A name ending in .gz is
// written compressed. Failures throw FileError with the system's reason.
#pragma once

#include <string>

namespace qivla {

class OutputFile {
   public:
    explicit OutputFile(const std::string& path, bool allow_gzip = true);
    ~OutputFile();  // without commit(): the temporary file is removed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void put(const std::string& s);
    // Finishes the data (written and synced, not yet in place).
    void finish();
    // Finishes the data if need be and puts the file in place.
    void commit();
    // The file holding the data so far (the temporary one), e.g. to read it
    // back before commit(); empty for standard output and devices.
    const std::string& staged_path() const { return temp_; }
    const std::string& path() const { return path_; }

   private:
    [[noreturn]] void fail(const std::string& what, int err) const;

    std::string path_;
    std::string temp_;
    void* gz_ = nullptr;
    int sync_fd_ = -1;
    bool finished_ = false;  // a second descriptor of the temporary file, for fsync
};

// Writes the whole text as one file (see OutputFile).
void write_text_file(const std::string& path, const std::string& text);

}  // namespace qivla
