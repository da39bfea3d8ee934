#include "cml/cml_policy_source_list.h"

#include "cml/cml_codes.h"
#include "cml/cml_exception.h"
#include "cml/cml_memory.h"
#include "cml/cml_policy_node.h"

namespace qel {
namespace cml {

namespace {
[[noreturn]] void InvalidIndex(const wchar_t* operation) {
  throw CCmlException(operation, L"Invalid vector index", qel::status::CML_INVALID_INDEX);
}
}  // namespace

CPolicySourceList::CPolicySourceList(Texts texts) : m_texts(texts) {}

CPolicySourceList::CPolicySourceList(const CPolicySourceList& other) : m_texts(other.m_texts) {
  SetAll(other);
}

CPolicySourceList& CPolicySourceList::operator=(const CPolicySourceList& other) {
  SetAll(other);
  return *this;
}

CPolicySourceList::~CPolicySourceList() = default;

CPolicySource* CPolicySourceList::Get(std::size_t index) const {
  if (index >= m_items.size()) InvalidIndex(m_texts.get);
  return m_items[index].get();
}

CPolicySource* CPolicySourceList::Add(CPolicySource* source) {
  if (source == nullptr) {
    throw CCmlException(L"Adding policy to policy vector", L"NULL object pointer",
                        codes::kInvalidArgument);
  }
  return Add(std::unique_ptr<CPolicySource>(source));
}

CPolicySource* CPolicySourceList::Add(std::unique_ptr<CPolicySource> source) {
  if (!source) {
    throw CCmlException(L"Adding policy to policy vector", L"NULL object pointer",
                        codes::kInvalidArgument);
  }
  WithMemoryGuard(L"Adding policy to policy vector", [&] { m_items.push_back(std::move(source)); });
  return m_items.back().get();
}

CPolicySource* CPolicySourceList::AddCopy(const CPolicySource& source) {
  return Add(source.ClonePolicy());
}

CPolicySource* CPolicySourceList::AddNode(const CCmlDOM_Element& element) {
  return Add(WithMemoryGuard(L"Creating policy node object",
                             [&] { return std::make_unique<CPolicyNode>(element); }));
}

void CPolicySourceList::Set(std::size_t index, std::unique_ptr<CPolicySource> source) {
  if (index >= m_items.size()) InvalidIndex(m_texts.set);
  // A null entry would be dereferenced by every later write, copy or namespace walk.
  if (!source) {
    throw CCmlException(m_texts.set, L"NULL object pointer", codes::kInvalidArgument);
  }
  m_items[index] = std::move(source);
}

void CPolicySourceList::SetAll(const CPolicySourceList& other) {
  if (&other == this) return;
  std::vector<std::unique_ptr<CPolicySource>> copies;
  copies.reserve(other.m_items.size());
  for (const auto& item : other.m_items) copies.push_back(item->ClonePolicy());
  m_items = std::move(copies);
}

void CPolicySourceList::GetNamespaces(CNamespaceSet& set) const {
  for (const auto& item : m_items) item->GetNamespaces(set);
}

void CPolicySourceList::Write(CCmlOutput& out, unsigned level) const {
  out.WithStream([&](auto& os) {
    for (const auto& item : m_items) item->SerializeElement(os, level);
  });
}

}  // namespace cml
}  // namespace qel
