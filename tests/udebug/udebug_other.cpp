// A traced function in a second source file, for the file field of the lines.
#include "udebug/udebug.h"
#include "udebug_test_support.h"

int g_other_enter_line = 0;
int g_other_exit_line = 0;

int other_file_step(int value) {
  UD_ENTER("other_step", "%d", value); g_other_enter_line = __LINE__;
  UD_EXIT("%d", value + 1); g_other_exit_line = __LINE__;
  return value + 1;
}
