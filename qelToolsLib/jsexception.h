// jsexception.h - the toolkit's exception types.
//
// jsException carries a text; jsOsException adds the operating-system error number;
// jsFileException adds the path of the file concerned; jsThreadException reports
// thread failures. They are thrown by constructors whose operating-system object
// cannot be created (locks, events, semaphores) and by a lock guard whose lock call
// fails; every other toolkit operation returns a result.
#pragma once

#include <stdexcept>
#include <string>

namespace qelToolsLib {

class jsException : public std::runtime_error {
 public:
  explicit jsException(const std::string& text) : std::runtime_error(text) {}
};

class jsOsException : public jsException {
 public:
  jsOsException(const std::string& text, int osError)
      : jsException(text), m_osError(osError) {}
  int osError() const noexcept { return m_osError; }

 private:
  int m_osError;
};

class jsThreadException : public jsException {
 public:
  explicit jsThreadException(const std::string& text) : jsException(text) {}
};

class jsFileException : public jsOsException {
 public:
  jsFileException(const std::string& text, int osError, const std::string& path)
      : jsOsException(text, osError), m_path(path) {}
  const std::string& path() const noexcept { return m_path; }

 private:
  std::string m_path;
};

}  // namespace qelToolsLib

using qelToolsLib::jsException;
using qelToolsLib::jsFileException;
using qelToolsLib::jsOsException;
using qelToolsLib::jsThreadException;
