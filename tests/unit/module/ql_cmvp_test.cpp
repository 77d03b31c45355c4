// The module state machine: both transition tables over every state and a sweep of targets,
// the gates in each state, the context stamp check and the exit rule.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <vector>

#include "QuillonCrypto.h"
#include "internal/ql_status.h"
#include "module/ql_cmvp.h"

namespace {

const std::vector<int32_t> kTargets = {INT32_MIN, -6, -1, 0, 1, 2,  3,  4,  5,
                                       6,         7,  8,  9, 10, 11, 12, 13, INT32_MAX};
const std::vector<int32_t> kStates = {1, 3, 5, 9, 11, 0, 2, 7, -1, 13};

bool in(int32_t v, std::initializer_list<int32_t> set) {
  return std::set<int32_t>(set).count(v) != 0;
}

// The internal transition as the module defines it: {result, state afterwards}.
std::pair<int32_t, int32_t> expected_move(int32_t state, int32_t t) {
  switch (state) {
    case 1:
      if (in(t, {1, 5, 9})) { return {0, t}; }
      return {in(t, {3, 11}) ? -6063 : -6064, state};
    case 3:
    case 5:
      if (in(t, {3, 5, 9, 11})) { return {0, t}; }
      return {t == 1 ? -6063 : -6064, state};
    case 9:
      if (in(t, {9, 11})) { return {-5531, t}; }
      return {in(t, {1, 3, 5}) ? -6063 : -6064, state};
    case 11:
      return {-6065, state};
    default:
      return {0, state};
  }
}

std::pair<int32_t, int32_t> expected_change(int32_t state, int32_t t) {
  switch (state) {
    case 1:
      return {-6061, state};
    case 3:
    case 5:
      if (in(t, {3, 5, 11})) { return {0, t}; }
      return {in(t, {1, 9}) ? -6063 : -6064, state};
    case 9:
      return t == 11 ? std::make_pair(0, 11) : std::make_pair(-6066, state);
    case 11:
      return {-6065, state};
    default:
      return {-6066, state};
  }
}

TEST(CmvpState, StartsNotInitializedAndFirstServiceApproves) {
  EXPECT_EQ(QLC_CM_StateInfo(), 1);
  EXPECT_EQ(QLC_CM_StateChange(5), -6061);
  EXPECT_EQ(QLC_CM_StateInfo(), 1);
  EXPECT_EQ(QLC_CM_StateInit(), 0);
  EXPECT_EQ(QLC_CM_StateInfo(), 5);
}

TEST(CmvpState, InternalTransitionTable) {
  for (int32_t s : kStates) {
    for (int32_t t : kTargets) {
      ql::test::set_state(s);
      const auto want = expected_move(s, t);
      EXPECT_EQ(QLC_CMVP_MoveState(t), want.first) << "state " << s << " target " << t;
      EXPECT_EQ(QLC_CM_StateInfo(), want.second) << "state " << s << " target " << t;
    }
  }
}

TEST(CmvpState, PublicTransitionTable) {
  for (int32_t s : kStates) {
    for (int32_t t : kTargets) {
      ql::test::set_state(s);
      const auto want = expected_change(s, t);
      EXPECT_EQ(QLC_CM_StateChange(t), want.first) << "state " << s << " target " << t;
      EXPECT_EQ(QLC_CM_StateInfo(), want.second) << "state " << s << " target " << t;
    }
  }
}

TEST(CmvpState, InitAndFinalInEveryState) {
  struct Row {
    int32_t state, init, after_init, final_result, after_final;
  };
  for (const Row &r : std::vector<Row>{{1, 0, 5, -6063, 1},
                                       {3, 0, 3, 0, 11},
                                       {5, 0, 5, 0, 11},
                                       {9, -6066, 9, -5531, 11},
                                       {11, -6065, 11, -6065, 11},
                                       {0, -6066, 0, 0, 0}}) {
    ql::test::set_state(r.state);
    EXPECT_EQ(QLC_CM_StateInit(), r.init) << r.state;
    EXPECT_EQ(QLC_CM_StateInfo(), r.after_init) << r.state;
    ql::test::set_state(r.state);
    EXPECT_EQ(QLC_CM_StateFinal(), r.final_result) << r.state;
    EXPECT_EQ(QLC_CM_StateInfo(), r.after_final) << r.state;
  }
}

TEST(CmvpState, ErrorStateOnlyMovesOnToFinalized) {
  ASSERT_EQ(QLC_CM_StateInit(), 0);
  ASSERT_EQ(QLC_CMVP_MoveState(9), 0);
  EXPECT_EQ(QLC_CM_StateInit(), -6066);
  EXPECT_EQ(QLC_CM_StateChange(5), -6066);
  EXPECT_EQ(QLC_CM_StateChange(11), 0);
  EXPECT_EQ(QLC_CM_StateInit(), -6065);
  EXPECT_EQ(QLC_CM_StateChange(3), -6065);
  EXPECT_EQ(QLC_State_CheckHashID(2), -6065);
}

TEST(CmvpGate, ApprovalChecksInApprovedState) {
  ql::test::set_state(5);
  struct Row {
    int32_t (*gate)(int32_t);
    int32_t id, want;
  };
  const std::vector<Row> rows = {
      {QLC_State_CheckSYMID, 2, 0},         {QLC_State_CheckSYMID, 4, 0},
      {QLC_State_CheckSYMID, 1, -6067},     {QLC_State_CheckSYMID, 3, -6067},
      {QLC_State_CheckSYMID, 0, -6068},     {QLC_State_CheckSYMID, 5, -6068},
      {QLC_State_CheckSYMID, 7, -6068},     {QLC_State_CheckSYMID, -1, -6068},
      {QLC_State_CheckHashID, 1, 0},        {QLC_State_CheckHashID, 5, 0},
      {QLC_State_CheckHashID, 0, -6069},    {QLC_State_CheckHashID, 6, -6069},
      {QLC_State_CheckMacID, 0x101, 0},     {QLC_State_CheckMacID, 0x105, 0},
      {QLC_State_CheckMacID, 0x100, -6070}, {QLC_State_CheckMacID, 0x106, -6070},
      {QLC_State_CheckMacID, 3, -6070},     {QLC_State_CheckPKeyID, 1, 0},
      {QLC_State_CheckPKeyID, 5, 0},        {QLC_State_CheckPKeyID, 12, 0},
      {QLC_State_CheckPKeyID, 2, -6071},    {QLC_State_CheckPKeyID, 0, -6071},
      {QLC_State_CheckPEncID, 3, 0},        {QLC_State_CheckPEncID, 12, 0},
      {QLC_State_CheckPEncID, 1, -6072},    {QLC_State_CheckPEncID, 13, -6072},
      {QLC_State_CheckPEncID, 14, -6072},   {QLC_State_CheckPEncID, 2, -6073},
      {QLC_State_CheckPEncID, 15, -6073},   {QLC_State_CheckPEncID, -1, -6073},
      {QLC_State_CheckSignID, 3, 0},        {QLC_State_CheckSignID, 32, 0},
      {QLC_State_CheckSignID, 21, 0},       {QLC_State_CheckSignID, 5, -6074},
      {QLC_State_CheckSignID, 33, -6074},   {QLC_State_CheckSignID, 0, -6074},
  };
  for (const Row &r : rows) {
    EXPECT_EQ(r.gate(r.id), r.want) << "id " << r.id;
  }
  // Every signature identifier from -2 to 40: exactly the eight approved ones pass.
  std::set<int32_t> passed;
  for (int32_t id = -2; id <= 40; id++) {
    if (QLC_State_CheckSignID(id) == 0) { passed.insert(id); }
  }
  EXPECT_EQ(passed, (std::set<int32_t>{3, 4, 11, 16, 17, 18, 21, 32}));
}

TEST(CmvpGate, OtherStates) {
  const std::vector<int32_t (*)(int32_t)> gates = {
      QLC_State_CheckSYMID,  QLC_State_CheckHashID, QLC_State_CheckMacID,
      QLC_State_CheckPKeyID, QLC_State_CheckPEncID, QLC_State_CheckSignID};
  struct Row {
    int32_t state, want;
  };
  for (const Row &r : std::vector<Row>{{3, 0}, {1, -6061}, {11, -6065}, {9, -6066}, {0, -6066}}) {
    ql::test::set_state(r.state);
    for (auto gate : gates) {
      for (int32_t id : {0, 1, 7, 0x101, 999, -1}) {
        EXPECT_EQ(gate(id), r.want) << "state " << r.state << " id " << id;
      }
    }
    EXPECT_EQ(QLC_State_CheckAlgID(1, nullptr), r.want);
  }
  ql::test::set_state(5);
  EXPECT_EQ(QLC_State_CheckAlgID(12345, nullptr), 0);
}

TEST(CmvpGate, ContextStampCheck) {
  ql::test::set_state(5);
  uint8_t ctx[40];
  EXPECT_EQ(ql::check_ctx_stamp(nullptr, sizeof(ctx), 5, -6144, -6145), -6144);
  std::memset(ctx, 0xA5, sizeof(ctx));
  EXPECT_EQ(ql::check_ctx_stamp(ctx, sizeof(ctx), 5, -6144, -6145), 0);
  EXPECT_EQ(ctx[0], 0xA5);
  // Stamped in state 5, used after a switch to 3: refused and wiped.
  ASSERT_EQ(QLC_CM_StateChange(3), 0);
  EXPECT_EQ(ql::check_ctx_stamp(ctx, sizeof(ctx), 5, -6142, -6143), -6143);
  for (uint8_t b : ctx) { ASSERT_EQ(b, 0); }
  // A matching stamp in a state where no service runs is refused by the gate, not wiped.
  std::memset(ctx, 0xA5, sizeof(ctx));
  ql::test::set_state(9);
  EXPECT_EQ(ql::check_ctx_stamp(ctx, sizeof(ctx), 9, -6146, -6147), -6066);
  EXPECT_EQ(ctx[7], 0xA5);
}

TEST(CmvpExit, OrdinaryCodesPassCriticalCodesStopTheModule) {
  ql::test::set_state(5);
  for (int32_t r : {0, -1001, -6069, -6148, static_cast<int32_t>(0xC0000000u)}) {
    EXPECT_EQ(ql::exit_rule(r), r);
    EXPECT_EQ(QLC_CM_StateInfo(), 5);
  }
  // An allocation failure inside a digest initialisation, in critical form.
  EXPECT_EQ(ql::exit_rule(ql::critical(-6128)), -6128);
  EXPECT_EQ(QLC_CM_StateInfo(), 9);
  // Any non-zero value with bit 30 clear counts as critical, wherever it comes from.
  ql::test::set_state(3);
  EXPECT_EQ(ql::exit_rule(1), 0x40000001);
  EXPECT_EQ(QLC_CM_StateInfo(), 9);
  ql::test::set_state(5);
  EXPECT_EQ(ql::exit_rule(INT32_MIN), static_cast<int32_t>(0xC0000000u));
  EXPECT_EQ(QLC_CM_StateInfo(), 9);
}

}  // namespace
