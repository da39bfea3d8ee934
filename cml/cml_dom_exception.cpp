#include "cml/cml_dom_exception.h"

#include "cml/cml_xerces.h"

namespace qel {
namespace cml {

CCmlDOM_Exception::CCmlDOM_Exception(const xercesc::DOMException& e)
    : xercesc::DOMException(e), m_message(FromXml(e.getMessage())) {}

CCmlDOM_Exception::CCmlDOM_Exception(short code)
    : xercesc::DOMException(code), m_message(FromXml(getMessage())) {}

CCmlDOM_Exception::~CCmlDOM_Exception() = default;

}  // namespace cml
}  // namespace qel
