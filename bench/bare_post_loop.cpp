// The floor for delivery: posts the records of a request trace (XML text,
// NUL after each) in order on one reused libcurl handle, with the headers
// the client sends, and prints the requests per second.
//   bare_post_loop TRACE URL

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
  return size * count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bare_post_loop TRACE URL\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)),
                         std::istreambuf_iterator<char>());
  std::vector<std::string> bodies;
  for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    bodies.push_back(text.substr(start, end - start));
  }

  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* handle = curl_easy_init();
  curl_slist* headers = curl_slist_append(
      nullptr, "Content-Type: application/xml; charset=utf-8");
  headers = curl_slist_append(headers, "Expect:");
  curl_easy_setopt(handle, CURLOPT_URL, argv[2]);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, discard);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  const auto start = std::chrono::steady_clock::now();
  long failed = 0;
  for (const std::string& body : bodies) {
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(body.size()));
    long status = 0;
    if (curl_easy_perform(handle) != CURLE_OK) ++failed;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) ++failed;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
  curl_slist_free_all(headers);
  curl_easy_cleanup(handle);
  curl_global_cleanup();
  std::printf("%zu requests in %.3f s: %.0f requests/s, %ld failed\n",
              bodies.size(), seconds,
              static_cast<double>(bodies.size()) / seconds, failed);
  return failed == 0 ? 0 : 1;
}
