// The in-process connection server of the end-to-end tests.
#include "e2e_server.h"

#include <dlfcn.h>

#include <cstdio>

#include "e2e_support.h"
#include "qelConnectionServer.h"

namespace e2e {

namespace {

void print_log(uintptr_t, uint32_t level, const char* message, const char* function) {
  std::fprintf(stderr, "cs log %x %s: %s\n", level, function ? function : "-", message ? message : "");
}

const mslLogSink log_sink{0, MSL_LOG_ERROR | MSL_LOG_WARNING, print_log};

template <typename Function>
Function symbol(void* library, const char* name) {
  return reinterpret_cast<Function>(dlvsym(library, name, "Version_5.0"));
}

}  // namespace

cs_server& cs_server::instance() {
  static cs_server server;  // started once, lives until the process ends
  return server;
}

cs_server::cs_server() : port_(free_port()) {
  const std::string path = library_dir() + "/libqelConnectionServer5.so";
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);  // never closed
  if (library == nullptr) {
    error_ = std::string("dlopen: ") + dlerror();
    return;
  }
  auto set_path = symbol<decltype(&CS_SetMSLLibPath)>(library, "CS_SetMSLLibPath");
  auto init = symbol<decltype(&CS_Init)>(library, "CS_Init");
  set_reverse_connection_ = symbol<decltype(&SetReverseConnection)>(library, "SetReverseConnection");
  if (set_path == nullptr || init == nullptr || set_reverse_connection_ == nullptr) {
    error_ = "exported functions missing in " + path;
    return;
  }
  set_path(library_dir().c_str());
  const std::string settings = "address = 127.0.0.1\nport = " + std::to_string(port_) + "\n";
  const uint32_t status = init("5.0.1", settings.c_str(), "", "", test_agent_uuid,
                               test_agent_name, "e2e", test_dns_name, "<links>e2e</links>",
                               &log_sink);
  if (status != 0) {
    char text[64];
    std::snprintf(text, sizeof text, "CS_Init failed: 0x%08X", status);
    error_ = text;
  }
}

std::string cs_server::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

uint32_t cs_server::set_reverse_connection(uint8_t enable) const {
  return set_reverse_connection_ != nullptr ? set_reverse_connection_(enable) : 0xFFFFFFFFu;
}

}  // namespace e2e
