#pragma once

#include <httplib.h>

#include <cstdio>
#include <string>

// Every request as it arrived: one line each in the log ("N PEER-PORT SIZE
// AUTHORIZATION"), the body and a NUL in the bodies file. An empty path
// records nothing; one that cannot be opened ends the start.
class RequestLog {
 public:
  RequestLog(const std::string& logPath, const std::string& bodiesPath);
  ~RequestLog();
  RequestLog(const RequestLog&) = delete;
  RequestLog& operator=(const RequestLog&) = delete;

  void add(long number, const httplib::Request& request);

 private:
  std::FILE* log_;
  std::FILE* bodies_;
};
