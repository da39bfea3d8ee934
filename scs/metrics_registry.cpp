#include "scs/metrics_registry.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <functional>

#include "qel_build_info.h"
#include "scs/process_metrics.h"

namespace qel::scs {
namespace {

// A label value with '\', '"' and line breaks escaped, as the text format asks.
std::string escaped(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\' || c == '"') out += '\\';
    out += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return out;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", value);
  return text;
}

// Writes the families one after the other, each with its HELP and TYPE lines.
class Exposition {
 public:
  explicit Exposition(const std::vector<EndpointSnapshot>& endpoints) : endpoints_(endpoints) {}

  using ResourceSamples = std::function<void(const std::string& labels, const ResourceSnapshot&)>;

  void family(const char* name, const char* type, const char* help) {
    text_ += std::string("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
  }
  void sample(const std::string& name, const std::string& labels, const std::string& value) {
    text_ += name + '{' + labels + "} " + value + '\n';
  }
  void each_resource(const ResourceSamples& write) const {
    for (const EndpointSnapshot& e : endpoints_) {
      for (const auto& [resource, snapshot] : e.resources) {
        write(endpoint_labels(e) + ",resource=\"" + escaped(resource) + '"', snapshot);
      }
    }
  }
  static std::string endpoint_labels(const EndpointSnapshot& e) {
    return "endpoint=\"" + escaped(e.endpoint) + "\",listen=\"" + escaped(e.listen) + '"';
  }
  const std::vector<EndpointSnapshot>& endpoints() const { return endpoints_; }
  std::string& text() { return text_; }

 private:
  const std::vector<EndpointSnapshot>& endpoints_;
  std::string text_;
};

void write_answers(Exposition& out) {
  const char* name = "qel_http_requests_total";
  out.family(name, "counter", "Requests answered, by resource and HTTP status.");
  out.each_resource([&](const std::string& labels, const ResourceSnapshot& s) {
    for (const auto& [status, count] : s.answers) {
      out.sample(name, labels + ",code=\"" + std::to_string(status) + '"', std::to_string(count));
    }
  });
  const char* refused = "qel_http_refused_requests_total";
  out.family(refused, "counter",
             "Requests the library answered before reaching a resource (framing, "
             "authentication, unknown resource), by HTTP status.");
  for (const EndpointSnapshot& e : out.endpoints()) {
    for (const auto& [status, count] : e.refused) {
      out.sample(refused, Exposition::endpoint_labels(e) + ",code=\"" + std::to_string(status) + '"',
                 std::to_string(count));
    }
  }
}

void write_flow(Exposition& out) {
  out.family("qel_http_requests_in_flight", "gauge",
             "Callbacks running: callers waiting on /qel, polls parked on the reverse connection.");
  out.each_resource([&](const std::string& labels, const ResourceSnapshot& s) {
    out.sample("qel_http_requests_in_flight", labels, std::to_string(s.in_flight));
  });
  out.family("qel_http_request_body_bytes_total", "counter", "Request body bytes received.");
  out.each_resource([&](const std::string& labels, const ResourceSnapshot& s) {
    out.sample("qel_http_request_body_bytes_total", labels, std::to_string(s.bytes_in));
  });
  out.family("qel_http_response_body_bytes_total", "counter", "Response body bytes queued.");
  out.each_resource([&](const std::string& labels, const ResourceSnapshot& s) {
    out.sample("qel_http_response_body_bytes_total", labels, std::to_string(s.bytes_out));
  });
}

void write_latency(Exposition& out) {
  const std::string name = "qel_http_request_duration_seconds";
  out.family(name.c_str(), "histogram",
             "Time from a request's headers to its queued answer, callback included.");
  out.each_resource([&](const std::string& labels, const ResourceSnapshot& s) {
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < s.buckets.size(); ++i) {
      cumulative += s.buckets[i];
      char bound[32] = "+Inf";
      if (i < kLatencyBuckets.size()) std::snprintf(bound, sizeof bound, "%g", kLatencyBuckets[i]);
      out.sample(name + "_bucket", labels + ",le=\"" + bound + '"', std::to_string(cumulative));
    }
    out.sample(name + "_sum", labels, number(s.seconds_total));
    out.sample(name + "_count", labels, std::to_string(cumulative));
  });
}

}  // namespace

void MetricsRegistry::add(const EndpointMetrics* metrics) {
  std::lock_guard<std::mutex> lock(mutex_);
  endpoints_.push_back(metrics);
}

void MetricsRegistry::remove(const EndpointMetrics* metrics) {
  std::lock_guard<std::mutex> lock(mutex_);
  endpoints_.erase(std::remove(endpoints_.begin(), endpoints_.end(), metrics), endpoints_.end());
}

std::string MetricsRegistry::page() const {
  std::vector<EndpointSnapshot> snapshots;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const EndpointMetrics* e : endpoints_) snapshots.push_back(e->snapshot());
  }
  // The sources' families, then the process figures and build information every
  // exporter shows.
  return render_metrics(snapshots) + sources_text() + process_metrics_text(QEL_VERSION);
}

void MetricsRegistry::add_source(char* (*render)(void*), void* context) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& source : sources_) {
    if (source.first != render) continue;
    source.second = context;
    return;
  }
  sources_.emplace_back(render, context);
}

// A source is the caller's code: what it throws or returns badly costs only its text.
std::string MetricsRegistry::sources_text() const {
  std::vector<std::pair<char* (*)(void*), void*>> sources;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sources = sources_;
  }
  std::string text;
  for (const auto& [render, context] : sources) {
    char* block = nullptr;
    try {
      block = render(context);
    } catch (...) {
      continue;
    }
    if (block == nullptr) continue;
    text += block;
    if (!text.empty() && text.back() != '\n') text += '\n';
    std::free(block);
  }
  return text;
}

std::string render_metrics(const std::vector<EndpointSnapshot>& endpoints) {
  Exposition out(endpoints);
  write_answers(out);
  write_flow(out);
  write_latency(out);
  return std::move(out.text());
}

MetricsRegistry& metrics_registry() {
  // Never destroyed: daemons that the server's own static destructor stops at exit
  // still remove themselves from it.
  static MetricsRegistry& instance = *new MetricsRegistry;
  return instance;
}

}  // namespace qel::scs
