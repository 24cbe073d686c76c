#include "headless/atomic_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

bool AtomicFileWriter::Open() {
  if (file_ != nullptr || path_.empty()) return false;
  failed_ = false;
  struct stat status;
  direct_ = stat(path_.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
  if (direct_) {
    file_ = std::fopen(path_.c_str(), "w");
    return file_ != nullptr;
  }
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = path_ + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    // O_EXCL: never write through someone else's file or link; 0666 lets the umask decide.
    int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    file_ = fdopen(fd, "w");
    if (file_ == nullptr) {
      close(fd);
      unlink(candidate.c_str());
      return false;
    }
    temporaryPath_ = std::move(candidate);
    return true;
  }
  return false;
}

void AtomicFileWriter::Write(const std::string& text) {
  if (file_ == nullptr || failed_) {
    failed_ = true;
    return;
  }
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
}

bool AtomicFileWriter::Commit() {
  if (file_ == nullptr) return false;
  bool ok = !failed_ && std::fflush(file_) == 0 && std::ferror(file_) == 0;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  if (direct_) return ok;
  if (ok && std::rename(temporaryPath_.c_str(), path_.c_str()) == 0) {
    temporaryPath_.clear();
    return true;
  }
  Discard();
  return false;
}

void AtomicFileWriter::Discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temporaryPath_.empty()) {
    unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
  }
}
