/* The public header must compile as C99; this translation unit uses it from C. */
#include "QuillonCrypto.h"

#include <string.h>

int ql_c_header_version_ok(void);

int ql_c_header_version_ok(void) {
  const char *v = QL_GetVersion(0);
  return v != NULL && strcmp(v, "1.1.1.5") == 0 && QLC_CM_StateInfo() >= 1;
}
