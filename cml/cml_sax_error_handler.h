// CCmlSaxErrorHandler: the error handler installed on the CML DOM parser. Every
// report ends the parse with a CCmlException (operation "Parse operation"): warnings
// 0x47380001, errors 0xC7380002, fatal errors 0xC7380003, each with the text of
// CCmlSAX_ParseException::Describe. Owned by its parser; the parser's thread.
#ifndef QEL_CML_SAX_ERROR_HANDLER_H
#define QEL_CML_SAX_ERROR_HANDLER_H

#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>

namespace qel {
namespace cml {

class CCmlSaxErrorHandler : public xercesc::ErrorHandler {
 public:
  void warning(const xercesc::SAXParseException& e) override;
  void error(const xercesc::SAXParseException& e) override;
  void fatalError(const xercesc::SAXParseException& e) override;
  void resetErrors() override {}
};

}  // namespace cml
}  // namespace qel

#endif  // QEL_CML_SAX_ERROR_HANDLER_H
