#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text_source.h"

namespace qivla {

namespace {

bool ends_with_gz(const std::string& path) {
    if (path.size() <= 3) return false;
    const std::string e = path.substr(path.size() - 3);
    return e == ".gz" || e == ".GZ" || e == ".Gz" || e == ".gZ";
}

}  // namespace

OutputFile::OutputFile(const std::string& path, bool allow_gzip) : path_(path) {
    const bool gz = allow_gzip && ends_with_gz(path);
    int fd = -1;
    struct stat st;
    if (path == "-") {
        fd = dup(STDOUT_FILENO);
        if (fd < 0) fail("cannot write", errno);
    } else if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        fail("cannot write", EISDIR);
    } else if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) fail("cannot write", errno);
    } else {
        const std::size_t slash = path.find_last_of('/');
        const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
        std::string name = dir + "." + base + ".XXXXXX";
        fd = mkstemp(&name[0]);
        if (fd < 0) fail("cannot create a file beside it", errno);
        temp_ = name;
        // The permissions a new file gets (mkstemp makes it private), or
        // those of the file it replaces.
        mode_t mode = 0666;
        if (stat(path.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            const mode_t mask = umask(0);
            umask(mask);
            mode &= ~mask;
        }
        fchmod(fd, mode);
        sync_fd_ = dup(fd);
    }
    gz_ = gzdopen(fd, gz ? "wb9" : "wbT");
    if (!gz_) {
        close(fd);
        fail("cannot write", ENOMEM);
    }
}

OutputFile::~OutputFile() {
    if (gz_) gzclose(static_cast<gzFile>(gz_));
    if (sync_fd_ >= 0) close(sync_fd_);
    if (!temp_.empty()) unlink(temp_.c_str());
}

void OutputFile::fail(const std::string& what, int err) const {
    throw FileError(path_, 0, what + ": " + std::strerror(err ? err : EIO));
}

void OutputFile::put(const std::string& s) {
    if (s.empty()) return;
    errno = 0;
    if (gzwrite(static_cast<gzFile>(gz_), s.data(), static_cast<unsigned>(s.size())) !=
        static_cast<int>(s.size()))
        fail("write failed", errno);
}

void OutputFile::finish() {
    if (finished_) return;
    finished_ = true;
    errno = 0;
    const int rc = gzclose(static_cast<gzFile>(gz_));
    const int err = errno;
    gz_ = nullptr;
    if (rc != Z_OK) fail("write failed", err);
    if (temp_.empty()) return;
    if (fsync(sync_fd_) != 0) fail("write failed", errno);
    close(sync_fd_);
    sync_fd_ = -1;
}

void OutputFile::commit() {
    finish();
    if (temp_.empty()) return;
    if (rename(temp_.c_str(), path_.c_str()) != 0) fail("cannot put the file in place", errno);
    temp_.clear();
}

void write_text_file(const std::string& path, const std::string& text) {
    OutputFile out(path, false);
    out.put(text);
    out.commit();
}

}  // namespace qivla
