#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "qelConnectionServer/flow.h"
#include "qelConnectionServer/funneltunnel_exception.h"
#include "qelConnectionServer/post_transaction.h"

using qel::funneltunnel::flow_generator;
using qel::funneltunnel::funneltunnel_exception;
using qel::funneltunnel::post_transaction;

namespace {
void expect_not_found(flow_generator& table, const std::string& id) {
  try {
    table.get_transaction(id);
    FAIL() << "flow " << id << " was found";
  } catch (const funneltunnel_exception& e) {
    EXPECT_STREQ(e.what(), "flow not found");
    EXPECT_EQ(e.code, 0x47210047u);
  }
}
}  // namespace

TEST(FlowGenerator, SavedTransactionComesBackOnceThenIsNotFound) {
  flow_generator table;
  auto t = std::make_shared<post_transaction>();
  const std::string id = table.save_transaction(t);
  EXPECT_EQ(table.size(), 1u);
  EXPECT_EQ(table.get_transaction(id), t);
  EXPECT_EQ(table.size(), 0u);
  expect_not_found(table, id);
  expect_not_found(table, "");
  expect_not_found(table, "999");
  // An unknown id leaves the table as it was.
  const std::string other = table.save_transaction(t);
  expect_not_found(table, other + "0");
  EXPECT_EQ(table.size(), 1u);
}

TEST(FlowGenerator, ResetCompletesEveryTransactionAsItIsAndEmptiesTheTable) {
  flow_generator table;
  table.reset();  // empty: nothing happens
  std::vector<std::shared_ptr<post_transaction>> ts;
  std::vector<std::string> ids;
  for (int i = 0; i < 3; ++i) {
    ts.push_back(std::make_shared<post_transaction>());
    ids.push_back(table.save_transaction(ts.back()));
  }
  ts[1]->set_status_code(404);
  std::vector<std::thread> waiters;
  std::vector<uint32_t> statuses(3);
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&, i] {
      ts[i]->wait();
      statuses[i] = ts[i]->get_status_code();
    });
  }
  table.reset();
  for (auto& w : waiters) w.join();
  EXPECT_EQ(statuses, (std::vector<uint32_t>{503, 404, 503}));
  EXPECT_EQ(table.size(), 0u);
  for (const auto& id : ids) expect_not_found(table, id);
}

TEST(FlowGenerator, ConcurrentSavesGetDistinctIds) {
  flow_generator table;
  constexpr int threads = 4, per_thread = 250;
  std::vector<std::vector<std::string>> ids(threads);
  std::vector<std::thread> workers;
  for (int w = 0; w < threads; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < per_thread; ++i)
        ids[w].push_back(table.save_transaction(std::make_shared<post_transaction>()));
    });
  }
  for (auto& w : workers) w.join();
  std::set<std::string> unique;
  for (auto& v : ids) unique.insert(v.begin(), v.end());
  EXPECT_EQ(unique.size(), static_cast<size_t>(threads * per_thread));
  EXPECT_EQ(table.size(), static_cast<size_t>(threads * per_thread));
  EXPECT_EQ(unique.count("1000"), 1u);
}

TEST(FlowGenerator, TakeTellsAnsweredWithdrawnStaleAndUnknownIdsApart) {
  using lookup = flow_generator::lookup;
  flow_generator table;
  table.start_at_random();
  auto answered = std::make_shared<post_transaction>();
  auto withdrawn = std::make_shared<post_transaction>();
  const std::string a = table.save_transaction(answered);
  const std::string w = table.save_transaction(withdrawn);
  lookup why = lookup::unknown;
  EXPECT_EQ(table.take(a, why), answered);
  EXPECT_EQ(lookup::found, why);
  EXPECT_EQ(nullptr, table.take(a, why));  // a copy of the same answer
  EXPECT_EQ(lookup::answered, why);
  table.forget(w, answered.get());  // another transaction's: the entry stays
  EXPECT_EQ(1u, table.size());
  table.forget(w, withdrawn.get());
  EXPECT_EQ(0u, table.size());
  EXPECT_EQ(nullptr, table.take(w, why));
  EXPECT_EQ(lookup::withdrawn, why);
  // With random ids, an id outside the range this table issued is an earlier
  // process's; one it issued and let go of in a reset is unknown.
  const std::string reset_away = table.save_transaction(std::make_shared<post_transaction>());
  table.reset();
  EXPECT_EQ(nullptr, table.take(reset_away, why));
  EXPECT_EQ(lookup::unknown, why);
  for (const unsigned long outside : {std::stoul(a) - 1, std::stoul(reset_away) + 1}) {
    EXPECT_EQ(nullptr, table.take(std::to_string(outside), why));
    EXPECT_EQ(lookup::stale, why) << outside;
  }
  // Text that is no id of ours at all, also the right digits written another way.
  for (const std::string& odd : {std::string(), std::string("x1"), "0" + a, a + " ",
                                 std::string("99999999999"), std::string("-1")}) {
    EXPECT_EQ(nullptr, table.take(odd, why)) << odd;
    EXPECT_EQ(lookup::unknown, why) << odd;
  }
}

TEST(FlowGenerator, RemembersTheLatestSettledIdsOnly) {
  using lookup = flow_generator::lookup;
  flow_generator table;
  lookup why = lookup::unknown;
  std::vector<std::string> ids;
  // More settled ids than the table keeps (16384): the oldest are forgotten first,
  // and an id settled twice counts once.
  for (int i = 0; i < 16384 + 100; ++i) {
    ids.push_back(table.save_transaction(std::make_shared<post_transaction>()));
    table.take(ids.back(), why);
    if (i == 50) table.take(ids[10], why);
  }
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(nullptr, table.take(ids[i], why));
    ASSERT_EQ(lookup::unknown, why) << "id " << ids[i];
  }
  for (std::size_t i = 100; i < ids.size(); ++i) {
    EXPECT_EQ(nullptr, table.take(ids[i], why));
    ASSERT_EQ(lookup::answered, why) << "id " << ids[i];
  }
}
