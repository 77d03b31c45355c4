// KCDSA rows on the published 1024/160 (HAS-160) and 2048/256 (SHA-256) groups. No other
// library has KCDSA over Z_p*, so the yardstick is our own: one constant-time exponentiation
// modulo p with a q-bit exponent, which a DSA-like signature costs at least. Signing with the
// nonce supplied should stay within 1.2 of it and verification (two exponentiations) within
// 2.2. The rows with the nonce drawn time the wall clock, since every draw runs the entropy
// commands; parameter generation has no yardstick.
#include <dlfcn.h>

#include "QuillonCrypto.h"
#include "bench.h"

namespace bench {
namespace {

using UseNonceHook = void (*)(const Big *);
using ModExpHook = int32_t (*)(Big *, const Big *, const Big *, const Big *);

// Annex II.5 of the standard's samples: 1024/160 bits.
const char kP1024[] =
    "d7b9afc104f4d53f737db88d6bf77e12cd7ec3d71cbe3cb74cd224bff348154afba6bfed797044dfc655dcc2"
    "0c952c0ec43a97e1ad67e687d10729caf622845d162afca8f0248cc412b3596c4c5d3384f7e25ee644ba87bb"
    "09b164fb465477b87fdba5eaa400ffa0925714ae19464ffacead3a9750d121948ab2d8d65c82379f";
const char kQ1024[] = "c3ddd3717bf05b8f8dd725c162f0b9432c6f77fb";
const char kG1024[] =
    "50e414c7a56892d1ad633e42d5cd8346f2c09808111c772cc30b0c544102c27e7b5f9bec57b9df2a15312891"
    "9d795e46652b2a072e1f2517f2a3afff5815253aaefe35724cfa1af6afce3a6b41e3d0e13bed0eff54383c46"
    "65e69b47ba79bbc3339f86b9be2b58894a18b201afc41fe3a0d93d3125efda79bc50dbbb2c3ab639";
// Annex II.3: 2048/256 bits.
const char kP2048[] =
    "d06eb9f275b3ac7f2970b578ad1c31732a0126844776f95cf07b4194c6def6f416a66751458b0667cdbc44af"
    "3f6b58770e674a861c8febf4eea0e50450ec527226b8470717ee768cf39cfd32bc2540d2924e0968e64d47ee"
    "4cf0ab6cd192284b826c75082e18840b67bc4cb1f1708173f08825ba4f6e5fb86a357f02c06f8283f3cd58a1"
    "ed4d3062f4a5c0d2f26e54c0fa511b5ed5cfd27019d4a90dda7aca50561397abeede9cff45ec6cf3e22dac5c"
    "af454b7b9b3b5ffe16128197768114c9cd4be4e9ecdc431a0cc0ed544fd4da1c9e98a2c3cb4297fe1d1387d8"
    "1c51d4925ede6a8bbaf660ef675549b4aea5267fb5f778d5308dd69175de580ec316c4ef";
const char kQ2048[] = "cfefed9c75b5610fdb100d91c4cb8187a007791733128ff143ffedf97f6ffd65";
const char kG2048[] =
    "023fec34dfa5e5ce369dd782b07034af037ac18728d432045739b9861b0df1dcaeeb5c9ed3e025d83adcdae0"
    "419c158b09ee35ff84ab9caa9ed4e535f982fb99e30d319537c05780a2cf31cf6bb226c66b7b3ed76b65dc65"
    "8b216b867f186d980d30d1a95285a081c5aba363939660a57596c6212207e4e358b729bc079778b4f385824c"
    "0862cdce08aeb2c658c18559d3ed865cd6bed194da447fd41789c74d352ed26b56c2d128f1154f733fe71f10"
    "bf676c9f7e4268c053d13152997a2d9bfb73fccb0dcea4c132f68f282a6db325cc467fb7f1fe2da5f80fd32c"
    "ae781a7574845a3d457120543987b348d5d75b1b954cba473f83951a8c1be717b953206c";

template <typename F>
F hook(const char *name) {
  return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

// A group, a key pair drawn once, a nonce below q with its top bit set, and the z-prefixed
// hash of the test message.
struct Group {
  QL_KCDSA_PARAMETERS params{};
  int32_t digest_id = 0;
  Big x{}, y{}, k{};
  uint8_t h[64] = {};
  uint32_t h_len = 0;
  bool ok = false;
};

const Group &group(int bits) {
  static Group g1024, g2048;
  Group &g = bits == 1024 ? g1024 : g2048;
  if (g.ok) {
    return g;
  }
  const bool small = bits == 1024;
  g.digest_id = small ? 1 : 3;
  g.ok = Big_HexU8ToBig(&g.params.p, small ? kP1024 : kP2048) == 0 &&
         Big_HexU8ToBig(&g.params.q, small ? kQ1024 : kQ2048) == 0 &&
         Big_HexU8ToBig(&g.params.g, small ? kG1024 : kG2048) == 0 &&
         QL_KCDSA_GenerateKeyPair(&g.params, &g.y, &g.x) == 0;
  // k = q - 2: as long as q, below it.
  const std::vector<uint8_t> msg = message(64);
  Big two{};
  const uint8_t two_byte = 2;
  g.ok = g.ok && U8ToBig(&two, &two_byte, 1) == 0 && Big_Sub(&g.k, &g.params.q, &two) == 0 &&
         QL_KCDSA_Hash(g.h, &g.h_len, msg.data(), static_cast<uint32_t>(msg.size()), g.digest_id,
                       &g.y) == 0;
  return g;
}

enum class Op { kSign, kArith, kVerify, kYardstick };

Runner ours(int bits, Op op) {
  const Group &grp = group(bits);
  if (!grp.ok) {
    return {};
  }
  const Group *g = &grp;
  switch (op) {
    case Op::kSign:
      return loop([g] {
        QL_KCDSA_SIGNATURE sig;
        return QL_KCDSA_Sign(&sig, g->digest_id, g->h, g->h_len, &g->x, &g->params) == 0;
      });
    case Op::kArith: {
      const auto use_nonce = hook<UseNonceHook>("QL_TestHook_KCDSA_UseNonce");
      if (use_nonce == nullptr) {
        return {};
      }
      return loop([g, use_nonce] {
        QL_KCDSA_SIGNATURE sig;
        use_nonce(&g->k);
        return QL_KCDSA_Sign(&sig, g->digest_id, g->h, g->h_len, &g->x, &g->params) == 0;
      });
    }
    case Op::kVerify: {
      auto sig = std::make_shared<QL_KCDSA_SIGNATURE>();
      if (QL_KCDSA_Sign(sig.get(), g->digest_id, g->h, g->h_len, &g->x, &g->params) != 0) {
        return {};
      }
      return loop([g, sig] {
        return QL_KCDSA_Verify(&g->params, &g->y, sig.get(), g->digest_id, g->h, g->h_len) == 0;
      });
    }
    case Op::kYardstick: {
      const auto exp = hook<ModExpHook>("QL_TestHook_ModExpSecret");
      if (exp == nullptr) {
        return {};
      }
      return loop([g, exp] {
        Big w;
        return exp(&w, &g->params.g, &g->k, &g->params.p) == 0;
      });
    }
  }
  return {};
}

}  // namespace

void add_kcdsa_rows(std::vector<Row> &rows) {
  const std::string yardstick = "ours:ct-modexp(p,q-bit-exponent)";
  for (int bits : {1024, 2048}) {
    const std::string base = "kcdsa/" + std::to_string(bits) + (bits == 1024 ? "-160/" : "-256/");
    rows.push_back({base + "sign", Clock::kWall, 0, "none:drawn-nonce",
                    [bits] { return ours(bits, Op::kSign); }, {}});
    rows.push_back({base + "sign-arith", Clock::kCpu, 0, yardstick + ";ours:nonce-supplied",
                    [bits] { return ours(bits, Op::kArith); },
                    [bits] { return ours(bits, Op::kYardstick); }});
    rows.push_back({base + "verify", Clock::kCpu, 0, yardstick,
                    [bits] { return ours(bits, Op::kVerify); },
                    [bits] { return ours(bits, Op::kYardstick); }});
  }
  rows.push_back({"kcdsa/1024-160/paramgen", Clock::kWall, 0, "none:no-other-implementation",
                  [] {
                    return loop([] {
                      QL_KCDSA_PARAMETERS params{};
                      return QL_KCDSA_GenerateParams(&params, 1024) == 0;
                    });
                  },
                  {}});
}

}  // namespace bench
