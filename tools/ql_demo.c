/* A short demonstration of the module: version, state before and after the first service
 * step, a state change, and a few status messages. */
#include <stdio.h>

#include "QuillonCrypto.h"

int main(void) {
  static const int32_t codes[] = {0, -6061, -6066, -6067, -6085, -4019};
  size_t i;
  printf("QuillonCrypto %s\n", QLC_CM_Version(0));
  printf("state at load: %d\n", (int)QLC_CM_StateInfo());
  if (QLC_CM_StateInit() != 0) { return 1; }
  printf("state after first use: %d\n", (int)QLC_CM_StateInfo());
  if (QLC_CM_StateChange(QLC_CM_STATE_NON_APPROVED) != 0) { return 1; }
  printf("state after switching to non-approved: %d\n", (int)QLC_CM_StateInfo());
  for (i = 0; i < sizeof(codes) / sizeof(codes[0]); i++) {
    printf("%6d: %s\n", (int)codes[i], QLC_CM_ErrorString(codes[i]));
  }
  printf("finalise: %s\n", QLC_CM_StateFinal() == 0 ? "ok" : "failed");
  printf("state at exit: %d\n", (int)QLC_CM_StateInfo());
  return QLC_CM_StateInfo() == QLC_CM_STATE_FINALIZED ? 0 : 1;
}
