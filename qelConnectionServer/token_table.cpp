#include "qelConnectionServer/token_table.h"

#include <functional>

#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelStatusCodes.h"
#include "udebug/udebug.h"

namespace qel {
namespace funneltunnel {

uint32_t token_table::add(post_processor* target, admission* check) {
  UD_ENTER("token_table::add", "processor %p", static_cast<void*>(target));
  qelMutexLock guard(mutex);
  do {
    ++last_id;  // skips 0 and ids still in use once the counter wraps
  } while (last_id == 0 || entries.count(last_id) != 0);
  entries[last_id] = entry{target, check, 0};
  UD_EXIT("token %u", last_id);
  return last_id;
}

void token_table::revoke(uint32_t token) {
  UD_ENTER("token_table::revoke", "token %u", token);
  qelMutexLock guard(mutex);
  auto found = entries.find(token);
  if (found != entries.end()) {
    found->second.target = nullptr;  // no new call enters from here on
    while (!idle_or_gone(token)) idle.wait(guard);
    entries.erase(token);
  }
  UD_EXIT("%s", "");
}

// Another revoke of the same id may erase the entry while a revoke waits.
bool token_table::idle_or_gone(uint32_t token) {
  auto found = entries.find(token);
  return found == entries.end() || found->second.running == 0;
}

token_table::entry token_table::enter(uint32_t token) {
  qelMutexLock guard(mutex);
  auto found = entries.find(token);
  if (found == entries.end() || found->second.target == nullptr) return entry{nullptr, nullptr, 0};
  ++found->second.running;
  return found->second;  // a copy: revoke() writes the entry under the lock meanwhile
}

void token_table::leave(uint32_t token) {
  qelMutexLock guard(mutex);
  if (--entries.at(token).running == 0) idle.notify_all();
}

namespace {

// Keeps an entry busy for a scope.
struct leaver {
  std::function<void()> leave;
  ~leaver() { leave(); }
};

}  // namespace

void token_table::dispatch(uint32_t token, std::shared_ptr<post_transaction> transaction) {
  UD_ENTER("token_table::dispatch", "token %u", token);
  const entry target = enter(token);
  if (target.target == nullptr) {
    UD_EXIT("token %u revoked", token);
    throw funneltunnel_exception("registration token revoked", status::CS_TOKEN_REVOKED);
  }
  const leaver on_exit{[this, token] { leave(token); }};
  target.target->process(std::move(transaction));
  UD_EXIT("%s", "");
}

uint32_t token_table::admit(uint32_t token, std::string& text) {
  const entry target = enter(token);
  if (target.target == nullptr)
    throw funneltunnel_exception("registration token revoked", status::CS_TOKEN_REVOKED);
  const leaver on_exit{[this, token] { leave(token); }};
  return target.check != nullptr ? target.check->admit(text) : 0;
}

std::size_t token_table::size() {
  qelMutexLock guard(mutex);
  return entries.size();
}

token_table& tokens() {
  static token_table* const table = new token_table;
  return *table;
}

}  // namespace funneltunnel
}  // namespace qel
