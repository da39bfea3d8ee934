// The event loop of a run.
#include "tunnel_client.h"

#include "log_output.h"

namespace qelcs_remote {

namespace {

// The release poll's answer comes at once; it must not hold the stop up for long.
constexpr long release_timeout_ms = 2000;

}  // namespace

tunnel_client::tunnel_client(const poll_settings& settings, const std::string& target_url,
                             long target_timeout_ms, tunnel_status& status, poller_group& group,
                             std::atomic<bool>& stop)
    : settings_(settings), group_(group), stop_(stop), release_identity_(settings), release_(loop_, *this) {
  // A target URL that cannot be used fails each request (502), as an unreachable one.
  http_endpoint target;
  std::string error;
  if (!make_endpoint(target_url, tls_options(), target, error)) target.url = target_url;
  // The pollers, and one more that keeps the presence poll open.
  for (unsigned i = 0; i <= settings.pollers; ++i)
    pollers_.push_back(std::make_unique<poll_loop>(loop_, i, settings, target, target_timeout_ms, status,
                                                   group, stop, i == settings.pollers));
}

bool tunnel_client::all_done() const {
  for (const auto& poller : pollers_)
    if (!poller->done()) return false;
  return true;
}

void tunnel_client::run() {
  for (auto& poller : pollers_) poller->start();
  bool stopped = false, abandoned = false;
  while (!all_done() || release_.busy()) {
    loop_.run_once(std::chrono::milliseconds(200));
    if (release_wanted_.exchange(false)) start_release();
    const bool stop = stop_.load(), abandon = group_.targets_abandoned().load();
    if (stop == stopped && abandon == abandoned) continue;
    stopped = stop;
    abandoned = abandon;
    for (auto& poller : pollers_) poller->check_abort();
  }
}

void tunnel_client::send_release() {
  release_wanted_.store(true);
  loop_.wake();
}

void tunnel_client::start_release() {
  http_endpoint endpoint;
  std::string error;
  if (release_identity_.refresh(endpoint, error)) release_.set_endpoint(endpoint);
  release_lines_.clear();
  release_identity_.add_headers(release_lines_, group_);
  add_header_line(release_lines_, message_id_header, "join");
  add_header_line(release_lines_, poll_header, "final");
  release_.start("POST", release_.endpoint().path, release_lines_, {}, release_timeout_ms, nullptr);
}

void tunnel_client::on_exchange_done(http_connection& connection) {
  if (connection.ok() && connection.status() == 200) return;
  const std::string error = connection.ok() ? settings_.poll_url + ": answered HTTP " +
                                                  std::to_string(connection.status())
                                            : connection.error();
  // The host cannot be asked to release the parked polls: they are cut.
  qel::tools::log_warning("could not tell the host that this client stops (" + error +
                          "); ending the open polls");
  stop_.store(true);
}

}  // namespace qelcs_remote
