#include "stand_in_provider/request_log.h"

#include "stand_in_provider/options.h"

namespace {

std::FILE* open(const std::string& path) {
  if (path.empty()) return nullptr;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) usage(path);
  return file;
}

}  // namespace

RequestLog::RequestLog(const std::string& logPath,
                       const std::string& bodiesPath)
    : log_(open(logPath)), bodies_(open(bodiesPath)) {}

RequestLog::~RequestLog() {
  if (log_ != nullptr) std::fclose(log_);
  if (bodies_ != nullptr) std::fclose(bodies_);
}

void RequestLog::add(long number, const httplib::Request& request) {
  if (log_ != nullptr) {
    const std::string auth = request.get_header_value("Authorization");
    std::fprintf(log_, "%ld %d %zu %s\n", number, request.remote_port,
                 request.body.size(), auth.empty() ? "-" : auth.c_str());
    std::fflush(log_);
  }
  if (bodies_ != nullptr) {
    std::fwrite(request.body.data(), 1, request.body.size(), bodies_);
    std::fputc('\0', bodies_);
    std::fflush(bodies_);
  }
}
