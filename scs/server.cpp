#include "scs/server.h"

#include <iterator>
#include <utility>

#include "scs/log.h"
#include "scs/request_handler.h"
#include "scs/scs_error.h"
#include "scs/status.h"

namespace qel::scs {
namespace {

std::string join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

void log_serving(std::uint32_t listener, const HttpDaemon& daemon,
                 const std::vector<std::string>& resources) {
  const EndpointConfig& c = daemon.config();
  const std::string host = c.ipv6 ? "[" + c.address + "]" : c.address;
  log().write(MSL_LOG_INFO, "SCS_SERVER_StartServer",
              "listener %u endpoint '%s' serves %.512s at %s://%s:%u", listener, c.label(),
              join(resources).c_str(), c.tls() ? "https" : "http", host.c_str(),
              static_cast<unsigned>(daemon.port()));
}

}  // namespace

void Server::init() {
  std::lock_guard<std::mutex> lock(mutex_);
  initialized_ = true;
}

void Server::shut_down() {
  require_not_in_callback();
  Released released;  // destroyed, and so stopped, after the lock is let go
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [handle, listener] : listeners_) release_all(*listener, released);
  listeners_.clear();
  pool_.clear();
  initialized_ = false;
}

std::uint32_t Server::add_listener(const char* settings_1, const char* settings_2,
                                   const char* source_1, const char* source_2) {
  ListenerSettings settings(settings_1, settings_2, source_1, source_2);  // outside the lock
  std::lock_guard<std::mutex> lock(mutex_);
  require_init();
  while (next_handle_ == 0 || listeners_.count(next_handle_) != 0) ++next_handle_;
  const std::uint32_t handle = next_handle_++;
  listeners_.emplace(handle, std::make_unique<Listener>(handle, std::move(settings)));
  return handle;
}

void Server::register_post(std::uint32_t handle, const char* resource, std::uint32_t token,
                           SCS_POST_CALLBACK callback, std::uint32_t mode) {
  const std::uint32_t extensions = SCS_POST_NEVER_BLOCKS | SCS_POST_ANY_REQUEST | SCS_POST_COMPLETES_LATER;
  if ((mode & ~extensions) != SCS_POST_MODE_BUFFERED) {
    throw ScsError(status::SCS_NOT_SUPPORTED, "POST mode " + std::to_string(mode));
  }
  if (callback == nullptr || resource == nullptr) {
    throw ScsError(status::SCS_INVALID_ARGUMENT, "null resource or callback");
  }
  if (!valid_resource(resource)) {
    throw ScsError(status::SCS_BAD_RESOURCE, std::string("resource '") + resource + "'");
  }
  std::lock_guard<std::mutex> lock(mutex_);
  require_init();
  Route route;
  route.listener = handle;
  route.token = token;
  route.callback = callback;
  route.completes_later = (mode & SCS_POST_COMPLETES_LATER) != 0;
  route.may_block = (mode & SCS_POST_NEVER_BLOCKS) == 0 && !route.completes_later;
  route.any_request = (mode & SCS_POST_ANY_REQUEST) != 0;
  find(handle).register_resource(resource, route);
}

void Server::set_admission(std::uint32_t handle, const char* resource, SCS_ADMIT_CALLBACK admit) {
  if (resource == nullptr) throw ScsError(status::SCS_INVALID_ARGUMENT, "null resource");
  std::lock_guard<std::mutex> lock(mutex_);
  require_init();
  Listener& listener = find(handle);
  if (!listener.set_admission(resource, admit)) {
    throw ScsError(status::SCS_NOT_REGISTERED, std::string("resource '") + resource +
                                                   "' is not registered on listener " +
                                                   std::to_string(handle));
  }
  for (const auto& [key, daemon] : listener.daemons()) daemon->set_admission(handle, resource, admit);
}

void Server::quiesce(std::uint32_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  require_init();
  Listener& listener = find(handle);
  listener.set_quiesced(true);
  for (const auto& [key, daemon] : listener.daemons()) daemon->quiesce(handle);
}

std::uint32_t Server::reload(std::uint32_t handle, const char* settings_1, const char* source_1,
                             const char* settings_2, const char* source_2) {
  const std::string refused = "listener " + std::to_string(handle) + " keeps its settings: ";
  std::vector<std::string> restart;
  try {
    const ListenerSettings wanted(settings_1, settings_2, source_1, source_2);  // outside the lock
    std::lock_guard<std::mutex> lock(mutex_);
    require_init();
    Listener& listener = find(handle);
    const ReloadPlan plan(listener.settings(), wanted,
                          [&](const EndpointConfig& running, const EndpointConfig& next) {
                            const auto it = listener.daemons().find(running.share_key());
                            return it == listener.daemons().end() ||
                                   it->second->takes_connection_limit(next);
                          });
    const std::vector<DaemonReload> reloads = prepare_reload(listener, plan);  // may throw
    for (const DaemonReload& reload : reloads) commit_reload(reload);  // from here, no throw
    listener.replace_settings(ListenerSettings(plan.endpoints()));
    restart = plan.restart();
  } catch (const ScsError& e) {
    if (e.code() == status::SCS_UNKNOWN_LISTENER || e.code() == status::SCS_NOT_INITIALIZED) throw;
    throw ScsError(e.code(), refused + e.what());
  }
  if (restart.empty()) return 0;
  log().write(MSL_LOG_WARNING, "SCS_SERVER_ReloadListener",
              "listener %u: not applied until a restart: %.800s; everything else is applied",
              handle, join(restart).c_str());
  return status::SCS_RESTART_NEEDED;
}

// Everything a reload needs, made before anything changes: the state of every endpoint
// (so a certificate that does not parse stops the reload, running or not) and the
// limits of every running daemon whose settings change.
std::vector<Server::DaemonReload> Server::prepare_reload(Listener& listener,
                                                        const ReloadPlan& plan) {
  std::vector<DaemonReload> reloads;
  const std::vector<EndpointConfig>& running = listener.settings().endpoints();
  for (std::size_t i = 0; i < running.size(); ++i) {
    const EndpointConfig& next = plan.endpoints()[i];
    auto state = EndpointState::make(next);
    const auto it = listener.daemons().find(running[i].share_key());
    if (it == listener.daemons().end() || it->second->share_key() == next.share_key()) continue;
    unsigned ignored = 0;
    const ConnectionLimits limits = HttpDaemon::limits_for(next, ignored);
    reloads.push_back(DaemonReload{it->second, std::move(state), limits});
  }
  return reloads;
}

// Publishes a daemon's new state and files it under its new share key, for every
// listener that holds it: listeners sharing a daemon share what is reloaded on it, and
// their settings follow, so each still finds the daemon it runs.
void Server::commit_reload(const DaemonReload& reload) {
  HttpDaemon& daemon = *reload.daemon;
  const std::string old_key = daemon.share_key();
  if (old_key == reload.state->config.share_key()) return;  // one daemon, two endpoints
  daemon.reload(reload.state, reload.limits);
  const std::string& new_key = daemon.share_key();
  const auto pooled = pool_.find(old_key);
  if (pooled != pool_.end() && pooled->second.lock() == reload.daemon) pool_.erase(pooled);
  pool_[new_key] = reload.daemon;
  for (auto& [handle, listener] : listeners_) {
    DaemonMap& daemons = listener->daemons();
    const auto held = daemons.find(old_key);
    if (held == daemons.end() || held->second != reload.daemon) continue;
    daemons.erase(held);
    daemons[new_key] = reload.daemon;
    std::vector<EndpointConfig> endpoints = listener->settings().endpoints();
    for (EndpointConfig& e : endpoints) {
      if (e.share_key() == old_key) ReloadPlan::copy_reloadable(reload.state->config, e);
    }
    listener->replace_settings(ListenerSettings(std::move(endpoints)));
  }
  log().write(MSL_LOG_INFO, "SCS_SERVER_ReloadListener", "%s reloaded its settings",
              daemon.label().c_str());
}

void Server::start(std::uint32_t handle) {
  DaemonMap next;  // declared before the lock: daemons let go stop after it is released
  std::lock_guard<std::mutex> lock(mutex_);
  require_init();
  Listener& listener = find(handle);
  std::map<std::string, std::vector<std::string>> served;
  next = plan_daemons(listener, served);
  for (const auto& [key, resources] : served) {
    for (const std::string& resource : resources)
      next[key]->check_free(resource, listener.registrations().at(resource));
  }
  for (const auto& [key, resources] : served) {
    for (const std::string& resource : resources) {
      next[key]->publish(resource, listener.registrations().at(resource));
    }
  }
  for (const auto& [key, daemon] : listener.daemons()) {
    if (next.count(key) == 0) daemon->unpublish_listener(handle);
  }
  listener.daemons().swap(next);
  if (listener.quiesced()) {
    for (const auto& [key, daemon] : listener.daemons()) daemon->quiesce(handle);
  }
  for (const auto& [key, resources] : served) {
    log_serving(handle, *listener.daemons()[key], resources);
  }
  if (served.empty()) {
    log().write(MSL_LOG_WARNING, "SCS_SERVER_StartServer",
                "listener %u has no resources to serve", handle);
  }
}

void Server::stop(std::uint32_t handle) {
  require_not_in_callback();
  Released released;
  std::lock_guard<std::mutex> lock(mutex_);
  require_init();
  release_all(find(handle), released);
}

void Server::remove(std::uint32_t handle) {
  require_not_in_callback();
  Released released;
  std::lock_guard<std::mutex> lock(mutex_);
  require_init();
  release_all(find(handle), released);
  listeners_.erase(handle);
}

Listener& Server::find(std::uint32_t handle) {
  const auto it = listeners_.find(handle);
  if (it == listeners_.end()) {
    throw ScsError(status::SCS_UNKNOWN_LISTENER, "listener " + std::to_string(handle));
  }
  return *it->second;
}

void Server::require_init() const {
  if (!initialized_) throw ScsError(status::SCS_NOT_INITIALIZED, "SCS_SERVER_Init not called");
}

void Server::require_not_in_callback() {
  if (inside_callback()) {
    throw ScsError(status::SCS_CALLED_FROM_CALLBACK, "stopping from a request callback");
  }
}

DaemonMap Server::plan_daemons(Listener& listener,
                               std::map<std::string, std::vector<std::string>>& served) {
  DaemonMap next;
  for (const auto& [resource, route] : listener.registrations()) {
    for (const EndpointConfig* endpoint : listener.settings().serving(resource)) {
      const std::string key = endpoint->share_key();
      served[key].push_back(resource);
      if (next.count(key) == 0) next[key] = acquire(*endpoint, listener);
    }
  }
  return next;
}

std::shared_ptr<HttpDaemon> Server::acquire(const EndpointConfig& config, Listener& listener) {
  const std::string key = config.share_key();
  const auto own = listener.daemons().find(key);
  if (own != listener.daemons().end()) return own->second;
  for (auto it = pool_.begin(); it != pool_.end();) {
    it = it->second.expired() ? pool_.erase(it) : std::next(it);
  }
  // A daemon that no longer accepts connections serves no new start.
  if (auto shared = pool_[key].lock(); shared && !shared->fully_quiesced()) return shared;
  auto daemon = std::make_shared<HttpDaemon>(config);
  daemon->start();
  pool_[key] = daemon;
  return daemon;
}

void Server::release_all(Listener& listener, Released& released) {
  listener.set_quiesced(false);  // a stopped listener starts again unquiesced
  for (auto& [key, daemon] : listener.daemons()) {
    daemon->unpublish_listener(listener.handle());
    released.push_back(std::move(daemon));
  }
  listener.daemons().clear();
}

Server& server() {
  static Server instance;
  return instance;
}

}  // namespace qel::scs
