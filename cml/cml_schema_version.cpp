#include "cml/cml_schema_version.h"

#include <iomanip>
#include <limits>
#include <sstream>

namespace qel {
namespace cml {

namespace {

struct VersionParts {
  std::wstring major;
  std::wstring minor;
  std::wstring patch;
};

VersionParts Split(const std::wstring& v) {
  VersionParts parts;
  std::size_t first = v.find(L'.');
  parts.major = v.substr(0, first);
  if (first == std::wstring::npos) return parts;
  std::size_t second = v.find(L'.', first + 1);
  parts.minor = v.substr(first + 1, second == std::wstring::npos ? std::wstring::npos
                                                                  : second - first - 1);
  if (second == std::wstring::npos) return parts;
  std::size_t third = v.find(L'.', second + 1);
  parts.patch = v.substr(second + 1, third == std::wstring::npos ? std::wstring::npos
                                                                  : third - second - 1);
  return parts;
}

}  // namespace

bool ParseUnsignedAutoBase(const std::wstring& text, std::uint32_t& value) {
  std::wistringstream in(text);
  in.imbue(std::locale::classic());
  unsigned long long v = 0;
  in >> std::setbase(0) >> v;
  if (in.fail() || v > std::numeric_limits<std::uint32_t>::max()) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

std::uint32_t ParseUnsignedOr(const std::wstring& text, std::uint32_t fallback) {
  std::uint32_t v = fallback;
  return ParseUnsignedAutoBase(text, v) ? v : fallback;
}

std::int32_t ParseSignedOr(const std::wstring& text, std::int32_t fallback) {
  std::wistringstream in(text);
  in.imbue(std::locale::classic());
  long long v = 0;
  in >> std::setbase(0) >> v;
  if (in.fail() || v < std::numeric_limits<std::int32_t>::min() ||
      v > std::numeric_limits<std::int32_t>::max()) {
    return fallback;
  }
  return static_cast<std::int32_t>(v);
}

SchemaVersionRelation CompareSchemaVersions(const std::wstring& a, const std::wstring& b) {
  VersionParts pa = Split(a);
  VersionParts pb = Split(b);
  if (pa.major != pb.major) return SchemaVersionRelation::MajorMismatch;
  if (pa.minor != pb.minor) return SchemaVersionRelation::MinorMismatch;
  std::uint32_t na = ParseUnsignedOr(pa.patch, 0);
  std::uint32_t nb = ParseUnsignedOr(pb.patch, 0);
  if (na < nb) return SchemaVersionRelation::OlderPatch;
  if (na > nb) return SchemaVersionRelation::NewerPatch;
  return SchemaVersionRelation::Equal;
}

}  // namespace cml
}  // namespace qel
