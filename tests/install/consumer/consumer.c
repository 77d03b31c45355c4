/* A program built against an installed QuillonCrypto: the SHA-256 of "abc" through the
 * module service, checked against the published value. */
#include <stdio.h>
#include <string.h>

#include <QuillonCrypto.h>

int main(void) {
  static const char want[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  uint8_t out[QL_HASH_MAX_DIGEST_LEN];
  uint32_t out_len = 0;
  char hex[2 * QL_HASH_MAX_DIGEST_LEN + 1];
  uint32_t i;
  int32_t rc = QLC_Hash(out, &out_len, (const uint8_t *)"abc", 3, QL_HASH_SHA256);
  if (rc != 0) {
    fprintf(stderr, "QLC_Hash: %s (%d)\n", QLC_CM_ErrorString(rc), (int)rc);
    return 1;
  }
  for (i = 0; i < out_len; i++) { sprintf(hex + 2 * i, "%02x", out[i]); }
  printf("QuillonCrypto %s: sha256(abc) = %s\n", QL_GetVersion(0), hex);
  return strcmp(hex, want) == 0 ? 0 : 1;
}
