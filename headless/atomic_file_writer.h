#pragma once
#include <cstdio>
#include <string>

// Writes a file under a temporary name beside its destination and renames it into place only
// when every write, the flush and the close succeeded, so that a failed write never leaves a
// half file under the real name. An uncommitted writer removes its temporary file.
// A destination that exists and is not a regular file (a pipe, /dev/stdout) is written
// straight through instead, since it cannot be replaced.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // False when the temporary file could not be created (missing or unwritable directory).
  bool Open();
  // Failures are remembered and reported by Commit.
  void Write(const std::string& text);
  // Closes the file and renames it to the destination; false if anything failed on the way.
  bool Commit();

 private:
  void Discard();

  std::string path_;
  std::string temporaryPath_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  bool direct_ = false;
};
