// A small HTTP server on 127.0.0.1 for the tests, run on a thread of the test: it
// answers GET requests for the paths it was given with their bodies, any other path
// with 404, and counts the requests of each path.
#pragma once

#include <winsock2.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace harness {

class HttpServer {
public:
    HttpServer() = default;
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Listens on a free port of 127.0.0.1; false (after a failure) when it cannot.
    bool Start();
    // "http://127.0.0.1:PORT/"
    std::string Base() const;
    // Answers GET `path` (from its first '/') with 200 and `body`.
    void Serve(const std::string& path, const std::string& body);
    int Requests(const std::string& path) const;

private:
    void Run();
    void Answer(SOCKET client);

    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> bodies_;
    std::map<std::string, int> requests_;
};

}  // namespace harness
