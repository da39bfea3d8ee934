/*
 * The exported interface of libqelConnectionServer5.so called from plain C11, with
 * both public headers included together: message texts and their buffer rules, the
 * allocator (a sanitizer build checks the block's size and its release), and CS_Init
 * failing both before and inside the service library. Every check compares exact
 * values. Run by CTest with NLSPATH pointing at the built catalog and the signed
 * service library beside the connection server library.
 */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "mslLogSink.h" /* stands alone, and again below */
#include "qelConnectionServer.h"
#include "qelSessionConfigSvcs.h"

static int g_failures = 0;
static int g_checks = 0;

#define CHECK(condition)                                                            \
  do {                                                                              \
    ++g_checks;                                                                     \
    if (!(condition)) {                                                             \
      ++g_failures;                                                                 \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
    }                                                                               \
  } while (0)

#define GENERAL_FAILURE_TEXT                                                      \
  "The connection server failed (the trace output names the failing operation). " \
  "[ID=0x47210047]"
#define BAD_VALUE_TEXT                                                              \
  "A listener settings key has a value that is out of range or malformed (the log " \
  "names the key and value). [ID=0xc7210107]"
/* The service library's status for a settings value it cannot read. */
#define SCS_SETTINGS_BAD_VALUE 0xC7210107u
/* No server has been built (SetReverseConnection before a successful CS_Init). */
#define CS_NOT_INITIALIZED 0xC7210060u

/* Texts are complete or empty: a buffer one byte short gets an empty string. */
static void test_error_texts(void) {
  char buffer[512];
  const size_t length = strlen(GENERAL_FAILURE_TEXT);
  memset(buffer, 'x', sizeof buffer);
  CHECK(CS_GetErrorMsg(CS_STATUS_GENERAL_FAILURE, buffer, sizeof buffer) == CS_STATUS_SUCCESS);
  CHECK(strcmp(buffer, GENERAL_FAILURE_TEXT) == 0);

  memset(buffer, 'x', sizeof buffer);
  CHECK(CS_GetErrorMsg(CS_STATUS_GENERAL_FAILURE, buffer, (uint32_t)length + 1) ==
        CS_STATUS_SUCCESS);
  CHECK(strcmp(buffer, GENERAL_FAILURE_TEXT) == 0);
  memset(buffer, 'x', sizeof buffer);
  CHECK(CS_GetErrorMsg(CS_STATUS_GENERAL_FAILURE, buffer, (uint32_t)length) == CS_STATUS_SUCCESS);
  CHECK(buffer[0] == '\0');
  CHECK(CS_GetErrorMsg(CS_STATUS_GENERAL_FAILURE, buffer, 2) == CS_STATUS_SUCCESS);
  CHECK(buffer[0] == '\0');

  buffer[0] = 'x';
  CHECK(CS_GetErrorMsg(CS_STATUS_GENERAL_FAILURE, buffer, 1) == CS_STATUS_INVALID_ARGUMENT);
  CHECK(buffer[0] == 'x');
  CHECK(CS_GetErrorMsg(CS_STATUS_GENERAL_FAILURE, NULL, 64) == CS_STATUS_INVALID_ARGUMENT);

  /* A code without a text still gets one naming it. */
  CHECK(CS_GetErrorMsg(0x12345678u, buffer, sizeof buffer) == CS_STATUS_SUCCESS);
  CHECK(strstr(buffer, "[ID=0x12345678]") != NULL);
}

static void test_allocator(void) {
  unsigned char* block = (unsigned char*)CS_Allocate(4096);
  CHECK(block != NULL);
  if (block != NULL) {
    memset(block, 0xA5, 4096);
    CHECK(block[0] == 0xA5 && block[4095] == 0xA5);
  }
  CS_Free(block);
  CS_Free(NULL);
}

static void test_failing_init(void) {
  char buffer[512];
  CHECK(CS_Init(NULL, "port = 0", "", "", "uuid", "name", "ns", "dns", "links", NULL) ==
        CS_STATUS_GENERAL_FAILURE);
  /* The service library refuses the settings; its status comes back unchanged. */
  CHECK(CS_Init("5.0", "port = nonsense", "", "", "uuid", "name", "ns", "dns", "links", NULL) ==
        SCS_SETTINGS_BAD_VALUE);
  CHECK(CS_GetErrorMsg(SCS_SETTINGS_BAD_VALUE, buffer, sizeof buffer) == CS_STATUS_SUCCESS);
  CHECK(strcmp(buffer, BAD_VALUE_TEXT) == 0);
  CHECK(SetReverseConnection(1) == CS_NOT_INITIALIZED);
  CHECK(CS_ShutDown() == CS_STATUS_SUCCESS);
}

int main(void) {
  /* Texts first: before CS_Init has loaded anything. */
  test_error_texts();
  test_allocator();
  test_failing_init();
  printf("%d passed, %d failed\n", g_checks - g_failures, g_failures);
  return g_failures == 0 ? 0 : 1;
}
