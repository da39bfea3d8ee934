#include "scs/process_metrics.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace qel::scs {
namespace {

void family(std::string& text, const char* name, const char* type, const char* help,
            const std::string& value) {
  text += std::string("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n' +
          name + ' ' + value + '\n';
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

// The fields of /proc/self/stat after the command name; fields()[0] is field 3 (state).
std::vector<std::string> stat_fields() {
  std::ifstream in("/proc/self/stat");
  std::string line;
  std::getline(in, line);
  const size_t end = line.rfind(')');
  std::vector<std::string> fields;
  if (end == std::string::npos) return fields;
  std::istringstream words(line.substr(end + 1));
  for (std::string word; words >> word;) fields.push_back(word);
  return fields;
}

double boot_time() {
  std::ifstream in("/proc/stat");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("btime ", 0) == 0) return std::stod(line.substr(6));
  return 0;
}

long open_descriptors() {
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return 0;
  long count = 0;
  while (const dirent* entry = readdir(folder))
    if (entry->d_name[0] != '.') ++count;
  closedir(folder);
  return count - 1;  // the folder's own descriptor
}

}  // namespace

std::string process_metrics_text(const std::string& version) {
  std::string text;
  std::string label;
  for (char c : version) label += (c == '\\' || c == '"') ? std::string("\\") + c : std::string(1, c);
  text += "# HELP qelcs_build_info The version of this build; the value is always 1.\n"
          "# TYPE qelcs_build_info gauge\nqelcs_build_info{version=\"" + label + "\"} 1\n";
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  family(text, "process_cpu_seconds_total", "counter", "User and system CPU time spent in seconds.",
         number(cpu));
  const long page = sysconf(_SC_PAGESIZE);
  long pages = 0, resident = 0;
  std::ifstream statm("/proc/self/statm");
  statm >> pages >> resident;
  family(text, "process_virtual_memory_bytes", "gauge", "Virtual memory size in bytes.",
         std::to_string(pages * page));
  family(text, "process_resident_memory_bytes", "gauge", "Resident memory size in bytes.",
         std::to_string(resident * page));
  family(text, "process_open_fds", "gauge", "Number of open file descriptors.",
         std::to_string(open_descriptors()));
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  family(text, "process_max_fds", "gauge", "Maximum number of open file descriptors.",
         std::to_string(limit.rlim_cur));
  const std::vector<std::string> fields = stat_fields();
  if (fields.size() > 19) {
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    family(text, "process_start_time_seconds", "gauge",
           "Start time of the process since unix epoch in seconds.",
           number(boot_time() + std::stod(fields[19]) / ticks));
    family(text, "process_threads", "gauge", "Number of OS threads in the process.", fields[17]);
  }
  return text;
}

}  // namespace qel::scs
