#include "app/flight_recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

Failure RecordingFailure(const std::string& path, const std::string& reason) {
  return Failure{"cannot record the flight to " + path + ": " + reason + "\n", Channel::kErrorAndLog, 1};
}

}  // namespace

FlightRecorder::~FlightRecorder() {
  // A recorder that was never finished leaves no temporary file behind.
  if (file_ != nullptr) {
    std::fclose(file_);
    unlink(temporaryPath_.c_str());
  }
}

Status FlightRecorder::Start(const std::string& path) {
  if (recording()) return RecordingFailure(path, "already recording to " + path_);
  struct stat status;
  if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return RecordingFailure(path, "a directory");
  const std::string temporary = path + ".recording-" + std::to_string(getpid());
  // O_EXCL: never write through someone else's file or link.
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return RecordingFailure(path, std::strerror(errno));
  file_ = fdopen(fd, "w");
  if (file_ == nullptr) {
    close(fd);
    unlink(temporary.c_str());
    return RecordingFailure(path, "cannot open the temporary file");
  }
  path_ = path;
  temporaryPath_ = temporary;
  failed_ = std::fprintf(file_, "%s\n", kFlightCsvHeader) < 0;
  return {};
}

void FlightRecorder::Record(const FlightPose& pose) {
  if (file_ == nullptr) return;
  if (std::fputs(FlightCsvLine(pose).c_str(), file_) < 0) failed_ = true;
}

Status FlightRecorder::Finish() {
  if (file_ == nullptr) return {};
  bool written = !failed_ && std::fflush(file_) == 0 && std::ferror(file_) == 0;
  written = std::fclose(file_) == 0 && written;
  file_ = nullptr;
  if (written && std::rename(temporaryPath_.c_str(), path_.c_str()) == 0) return {};
  const std::string reason = written ? std::strerror(errno) : "a write failed";
  unlink(temporaryPath_.c_str());
  return RecordingFailure(path_, reason);
}
