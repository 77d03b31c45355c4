// Status messages and the version string. The lookup is a pure function of the code: a
// binary search over sorted, disjoint code ranges, each naming one of the fixed messages.
#include <cstddef>
#include <cstdint>

#include "QuillonCrypto.h"

namespace ql {
namespace {

struct MessageRange {
  int32_t low;
  int32_t high;
  const char *text;
};

constexpr const char kInternalError[] = "internal error";
constexpr const char kVersion[] = "1.1.1.5";

// Sorted by code, ranges disjoint; every code outside them is an internal error.
constexpr MessageRange message_ranges[] = {
    {-6141, -6140, "malloc failed"},
    {-6136, -6118, "malloc failed"},
    {-6114, -6113, "invalid input"},
    {-6112, -6112, "conditional test is failed"},
    {-6111, -6111, "invalid input"},
    {-6109, -6107, "malloc failed"},
    {-6106, -6106, "invalid input"},
    {-6105, -6105, "malloc failed"},
    {-6104, -6104, "invalid input"},
    {-6103, -6103, "malloc failed"},
    {-6102, -6097, "invalid input"},
    {-6096, -6093, "malloc failed"},
    {-6092, -6090, "crypto encblob is mismatch"},
    {-6088, -6086, "crypto encblob is mismatch"},
    {-6085, -6085, "malloc failed"},
    {-6084, -6084, "symmetric cipher key length is invalid"},
    {-6083, -6082, "invalid input"},
    {-6081, -6081, "malloc failed"},
    {-6080, -6080, "invalid input"},
    {-6079, -6079, "symmetric cipher key length is invalid"},
    {-6078, -6078, "invalid input"},
    {-6077, -6077, "symmetric cipher padding is unknown"},
    {-6076, -6076, "symmetric cipher key length is invalid"},
    {-6075, -6075, "symmetric cipher iv length is invalid"},
    {-6074, -6074, "asymmetric sign id is unsupported"},
    {-6073, -6073, "asymmetric cipher id is unknown"},
    {-6072, -6072, "asymmetric encryption id is unsupported"},
    {-6071, -6071, "asymmetric id is unsupported"},
    {-6070, -6070, "hmac id is unsupported"},
    {-6069, -6069, "hash id is unsupported"},
    {-6068, -6068, "symmetric cipher id is unknown"},
    {-6067, -6067, "symmetric cipher id is unsupported"},
    {-6066, -6066, "crypto is in error state"},
    {-6065, -6065, "crypto is in finalized state"},
    {-6064, -6064, "crypto state id is unknown"},
    {-6063, -6063, "crypto state is not allowed"},
    {-6062, -6062, "crypto selftest is failed"},
    {-6061, -6061, "crypto is not initialized"},
    {-6059, -6059, "invalid input"},
    {-6058, -6058, "malloc failed"},
    {-6057, -6056, "invalid input"},
    {-6055, -6055, "malloc failed"},
    {-6054, -6054, "invalid input"},
    {-6053, -6053, "malloc failed"},
    {-6052, -6050, "invalid input"},
    {-6049, -6049, "malloc failed"},
    {-6048, -6047, "invalid input"},
    {-6046, -6046, "malloc failed"},
    {-6045, -6042, "invalid input"},
    {-6041, -6041, "malloc failed"},
    {-6040, -6033, "invalid input"},
    {-6030, -6030, "invalid input"},
    {-6029, -6029, "malloc failed"},
    {-6028, -6028, "invalid input"},
    {-6025, -6025, "invalid input"},
    {-6024, -6024, "malloc failed"},
    {-6023, -6022, "invalid input"},
    {-6021, -6021, "malloc failed"},
    {-6020, -6016, "invalid input"},
    {-6015, -6015, "malloc failed"},
    {-6014, -6009, "invalid input"},
    {-6008, -6008, "malloc failed"},
    {-6007, -6002, "invalid input"},
    {-6001, -6001, "multi random block generation failed"},
    {-5538, -5536, "invalid input"},
    {-5535, -5534, "malloc failed"},
    {-5533, -5532, "invalid input"},
    {-5531, -5531, "crypto is in error state"},
    {-5530, -5529, "invalid input"},
    {-5527, -5526, "invalid input"},
    {-5523, -5523, "invalid input"},
    {-5522, -5522, "malloc failed"},
    {-5521, -5518, "invalid input"},
    {-5517, -5517, "malloc failed"},
    {-5516, -5516, "invalid input"},
    {-5514, -5514, "P-224 equation is failed"},
    {-5512, -5512, "P-256 equation is failed"},
    {-5509, -5504, "invalid input"},
    {-5502, -5501, "invalid input"},
    {-5021, -5018, "malloc failed"},
    {-5008, -5001, "invalid input"},
    {-4504, -4504, "malloc failed"},
    {-4503, -4503, "invalid input"},
    {-4501, -4501, "invalid input"},
    {-4020, -4009, "invalid input"},
    {-4006, -4001, "invalid input"},
    {-3507, -3507, "invalid input"},
    {-3506, -3506, "malloc failed"},
    {-3504, -3502, "invalid input"},
    {-3045, -3045, "malloc failed"},
    {-3044, -3044, "invalid input"},
    {-3043, -3043, "malloc failed"},
    {-3042, -3040, "invalid input"},
    {-3039, -3039, "malloc failed"},
    {-3038, -3038, "invalid input"},
    {-3037, -3037, "malloc failed"},
    {-3036, -3035, "invalid input"},
    {-3026, -3026, "invalid input"},
    {-3025, -3024, "malloc failed"},
    {-3018, -3018, "invalid input"},
    {-3017, -3017, "malloc failed"},
    {-3016, -3015, "invalid input"},
    {-3014, -3014, "malloc failed"},
    {-3013, -3013, "invalid input"},
    {-3012, -3012, "malloc failed"},
    {-3011, -3010, "invalid input"},
    {-3005, -3005, "invalid input"},
    {-3004, -3004, "intger too large"},
    {-3003, -3003, "malloc failed"},
    {-3002, -3001, "invalid input"},
    {-2511, -2505, "invalid input"},
    {-2503, -2501, "invalid input"},
    {-2010, -2007, "invalid input"},
    {-2006, -2005, "malloc failed"},
    {-2004, -2003, "invalid input"},
    {-1505, -1505, "malloc failed"},
    {-1504, -1504, "invalid input"},
    {-1502, -1501, "invalid input"},
    {-1001, -1001, "invalid input"},
};

constexpr bool ranges_sorted() {
  for (size_t i = 0; i + 1 < sizeof(message_ranges) / sizeof(message_ranges[0]); i++) {
    if (message_ranges[i].low > message_ranges[i].high ||
        message_ranges[i].high >= message_ranges[i + 1].low) {
      return false;
    }
  }
  return true;
}
static_assert(ranges_sorted(), "message ranges must be sorted and disjoint");

const char *message_for(int32_t code) {
  size_t lo = 0;
  size_t hi = sizeof(message_ranges) / sizeof(message_ranges[0]);
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (code < message_ranges[mid].low) {
      hi = mid;
    } else if (code > message_ranges[mid].high) {
      lo = mid + 1;
    } else {
      return message_ranges[mid].text;
    }
  }
  return kInternalError;
}

}  // namespace
}  // namespace ql

// Exported functions.

const char *QL_GetErrorString(int32_t code) { return ql::message_for(code); }

const char *QLC_CM_ErrorString(int32_t code) { return ql::message_for(code); }

const char *QL_GetVersion(int32_t) { return ql::kVersion; }

const char *QLC_CM_Version(int32_t) { return ql::kVersion; }
