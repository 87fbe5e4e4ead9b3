// File access with the system's reason in every fatal message.
#include "driver/files.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "common/exit_cleanup.h"
#include "common/input_file.h"
#include "numeric/fatal.h"

namespace o3 {
namespace {

[[noreturn]] void file_error(const char* what, const char* name, const std::string& reason) {
  const std::string message = std::string(what) + " " + name + ": " + reason;
  nrerror(message.c_str());
}

}  // namespace

void check_replaceable(const char* name) {
  const int error = replace_refusal(name);
  if (error != 0) file_error("cannot create", name, staged_error_text(error));
}

void open_staged(staged_file& file, const char* name) {
  const int error = file.open(name);
  if (error != 0) file_error("cannot create", name, staged_error_text(error));
}

void check_written(std::FILE* file, const char* name) {
  // Right after the failed write errno still holds its reason.
  if (std::ferror(file) != 0) {
    file_error("cannot write", name, std::strerror(errno != 0 ? errno : EIO));
  }
}

void finish_staged(staged_file& file, const char* name) {
  const int error = file.finish();
  if (error != 0) file_error("cannot write", name, staged_error_text(error));
}

void commit_staged(staged_file& file, const char* name) {
  const int error = file.commit();
  if (error != 0) file_error("cannot write", name, staged_error_text(error));
}

void commit_staged_together(staged_file* const* files, const char* const* names,
                            std::size_t count) {
  std::size_t failed = 0;
  const int error = commit_together(files, count, &failed);
  if (error != 0) file_error("cannot write", names[failed], staged_error_text(error));
}

void commit_last(staged_file& file, const char* name) {
  hold_signals_to_exit();
  commit_staged(file, name);
}

std::FILE* open_input(const char* name) {
  std::string reason;
  std::FILE* file = open_regular_file(name, &reason);
  if (file == nullptr) file_error("cannot open", name, reason);
  return file;
}

void check_standard_output() {
  const int error = standard_output_error();
  if (error != 0) file_error("cannot write", "standard output", std::strerror(error));
}

}  // namespace o3
