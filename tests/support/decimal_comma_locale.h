// Puts the calling process's LC_NUMERIC into a locale whose decimal separator is a
// comma (de_DE.UTF-8, compiled with localedef on first use and kept under the
// temporary folder), so a test can check that a text keeps its C-locale numbers
// whatever the host's locale. Call it inside a fresh process (it changes the
// process locale); false when the locale cannot be made on this machine.
#ifndef QEL_TESTS_SUPPORT_DECIMAL_COMMA_LOCALE_H
#define QEL_TESTS_SUPPORT_DECIMAL_COMMA_LOCALE_H

namespace qeltest {

bool use_decimal_comma_locale();

}  // namespace qeltest

#endif  // QEL_TESTS_SUPPORT_DECIMAL_COMMA_LOCALE_H
