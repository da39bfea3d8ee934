// Allocation failures: every allocation of an operation is made to fail in turn, and
// the operation must report the library's out-of-memory status (0xC7210001) or
// succeed; std::bad_alloc never leaves the library, and nothing leaks (ASan). Cloning,
// writing, reading and adding policy nodes are tried.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <streambuf>
#include <string>

#include <dlfcn.h>

#include "cml/cml_message.h"
#include "cml/cml_set_site_response.h"
#include "cml_test_util.h"
#include "qelConnectionServer/process_set_site_message.h"

namespace {
// Allocations left before the one that fails; negative: none fails.
std::atomic<long> g_failAfter{-1};

// Xerces does not give back what its own constructors and scanner hold when an
// allocation inside them fails, so only allocations made outside Xerces fail.
bool FromXerces(void* caller) {
  Dl_info info;
  return dladdr(caller, &info) != 0 && info.dli_fname != nullptr &&
         std::strstr(info.dli_fname, "libxerces") != nullptr;
}
}  // namespace

void* operator new(std::size_t size) {
  if (g_failAfter.load(std::memory_order_relaxed) >= 0 &&
      !FromXerces(__builtin_return_address(0)) &&
      g_failAfter.fetch_sub(1, std::memory_order_relaxed) == 0) {
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// The non-throwing form must come from the same allocator as the delete below (a
// sanitizer would otherwise pair its own new with this free: the trace facility's
// rings are made with it).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
// The replaced new allocates with malloc, so free is the matching release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace qel {
namespace cml {
namespace {

// A stream buffer of fixed size, so that writing to it allocates nothing.
class CFixedBuffer : public std::streambuf {
 public:
  CFixedBuffer() { setp(m_bytes, m_bytes + sizeof m_bytes); }
  std::string Text() const { return std::string(pbase(), pptr()); }

 private:
  char m_bytes[1 << 16];
};

// Fails the 1st, 2nd, ... allocation of `work` until it gets through; returns how
// many allocations it needed. Every failure must be the library's status.
template <class Work>
long FailEachAllocation(Work&& work) {
  for (long n = 0;; ++n) {
    std::uint32_t code = 0;
    bool escaped = false;
    g_failAfter.store(n);
    try {
      work();
    } catch (const CCmlException& e) {
      code = e.GetCode();
    } catch (const std::bad_alloc&) {
      escaped = true;
    }
    const bool failed = g_failAfter.exchange(-1) < 0;
    if (escaped) {
      ADD_FAILURE() << "std::bad_alloc escaped at allocation " << n;
      return n;
    }
    if (!failed) return n;  // every allocation succeeded
    if (code != 0xC7210001u) {
      ADD_FAILURE() << "allocation " << n << " failed with " << std::hex << code;
      return n;
    }
  }
}

std::string RegistrationText() {
  std::string text;
  qel::funneltunnel::process_set_site_message({"a", "U", "urn:a", "5"}, "h",
                                              "<l xmlns='urn:l'><x/></l>", "", text);
  return text;
}

TEST(Memory, FailedAllocationsBecomeTheLibrarysStatus) {
  qel::funneltunnel::prepare_set_site_message_support();
  const std::string text = RegistrationText();
  auto message = test::ReadAs<CCmlMessage>(text);
  ASSERT_NE(message, nullptr);
  EXPECT_GT(FailEachAllocation([&] { message->Clone(); }), 10);
  const std::string expected = test::Write(*message);
  CFixedBuffer buffer;  // takes the text without allocating: only the library does
  std::ostream os(&buffer);
  EXPECT_GT(FailEachAllocation([&] { message->Serialize(os); }), 10);
  EXPECT_EQ(buffer.Text(), expected);  // failed writes left nothing behind
  EXPECT_GT(FailEachAllocation([&] { test::Read(text); }), 100);
  CCmlParser parser;
  parser.Parse(text.data(), text.size(), kParseNoValidation);
  CSetSiteResponse response;
  EXPECT_GT(FailEachAllocation([&] { response.AddPolicyNode(parser.GetDocumentElement()); }), 10);
}

}  // namespace
}  // namespace cml
}  // namespace qel
