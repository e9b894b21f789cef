#include "http_server.h"

#include <ws2tcpip.h>

#include "harness.h"

namespace harness {

HttpServer::~HttpServer() {
    if (listener_ != INVALID_SOCKET) closesocket(listener_);   // ends the accept loop
    if (thread_.joinable()) thread_.join();
    WSACleanup();
}

bool HttpServer::Start() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        Fail("HttpServer: no Winsock");
        return false;
    }
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int size = sizeof address;
    if (listener_ == INVALID_SOCKET || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0 || listen(listener_, 8) != 0) {
        Fail("HttpServer: cannot listen on 127.0.0.1: error " + std::to_string(WSAGetLastError()));
        return false;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
    return true;
}

std::string HttpServer::Base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

void HttpServer::Serve(const std::string& path, const std::string& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    bodies_[path] = body;
}

int HttpServer::Requests(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = requests_.find(path);
    return found == requests_.end() ? 0 : found->second;
}

void HttpServer::Run() {
    for (;;) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        Answer(client);
        closesocket(client);
    }
}

void HttpServer::Answer(SOCKET client) {
    std::string request;
    char chunk[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        int got = recv(client, chunk, sizeof chunk, 0);
        if (got <= 0) return;
        request.append(chunk, static_cast<size_t>(got));
    }
    // "GET /path HTTP/1.1"
    size_t from = request.find(' '), to = from == std::string::npos ? from : request.find(' ', from + 1);
    std::string path = to == std::string::npos ? "" : request.substr(from + 1, to - from - 1);
    std::string status = "404 Not Found", body;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++requests_[path];
        auto found = bodies_.find(path);
        if (request.compare(0, 4, "GET ") == 0 && found != bodies_.end()) {
            status = "200 OK";
            body = found->second;
        }
    }
    std::string answer = "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                         std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    for (size_t sent = 0; sent < answer.size();) {
        int n = send(client, answer.data() + sent, static_cast<int>(answer.size() - sent), 0);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

}  // namespace harness
