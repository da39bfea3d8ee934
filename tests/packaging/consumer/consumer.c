/* A library user's program: includes the installed header, links the installed library
 * and prints the text of one status. Exit 0 only when the library answered with a text. */
#include <qelConnectionServer.h>
#include <stdio.h>

int main(void) {
  char text[1024];
  const uint32_t status = CS_GetErrorMsg(CS_STATUS_INVALID_ARGUMENT, text, sizeof text);
  if (status != CS_STATUS_SUCCESS || text[0] == '\0') {
    fprintf(stderr, "consumer: CS_GetErrorMsg returned 0x%08X\n", (unsigned)status);
    return 1;
  }
  printf("%s\n", text);
  return 0;
}
