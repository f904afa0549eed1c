#include "testsupport/cond_fake.h"

#include <optional>

namespace testsupport {

namespace {

struct FakeState {
  std::vector<CondCall> calls;
  std::array<std::optional<int32_t>, kCondFunctionCount> answers;
};

FakeState& State() {
  static FakeState state;
  return state;
}

int32_t Record(int32_t id, int argc, std::array<int32_t, 4> args) {
  FakeState& s = State();
  s.calls.push_back({id, argc, args});
  const std::optional<int32_t>& answer = s.answers[static_cast<size_t>(id)];
  return answer ? *answer : args[0];
}

template <int32_t Id>
int32_t Fake0() {
  return Record(Id, 0, {});
}
template <int32_t Id>
int32_t Fake1(int32_t a) {
  return Record(Id, 1, {a});
}
template <int32_t Id>
int32_t Fake2(int32_t a, int32_t b) {
  return Record(Id, 2, {a, b});
}
template <int32_t Id>
int32_t Fake3(int32_t a, int32_t b, int32_t c) {
  return Record(Id, 3, {a, b, c});
}
template <int32_t Id>
int32_t Fake4(int32_t a, int32_t b, int32_t c, int32_t d) {
  return Record(Id, 4, {a, b, c, d});
}

constexpr CondFunctions kFakeFunctions = {
    .F = Fake1<kCondF>,
    .FAD = Fake1<kCondFAD>,
    .R = Fake1<kCondR>,
    .M = Fake1<kCondM>,
    .T = Fake0<kCondT>,
    .NG = Fake1<kCondNG>,
    .NP = Fake1<kCondNP>,
    .NU = Fake1<kCondNU>,
    .UAJ = Fake4<kCondUAJ>,
    .PP = Fake1<kCondPP>,
    .PFP = Fake1<kCondPFP>,
    .PGU = Fake2<kCondPGU>,
    .FGU = Fake2<kCondFGU>,
    .HP = Fake2<kCondHP>,
    .HGU = Fake3<kCondHGU>,
    .IMR = Fake0<kCondIMR>,
    .RI = Fake1<kCondRI>,
    .KP = Fake1<kCondKP>,
    .KGU = Fake2<kCondKGU>,
    .CP = Fake1<kCondCP>,
    .LP = Fake4<kCondLP>,
    .XF = Fake2<kCondXF>,
    .YF = Fake2<kCondYF>,
    .XGU = Fake2<kCondXGU>,
    .YGU = Fake2<kCondYGU>,
};

}  // namespace

CondFake::CondFake() {
  Clear();
  State().answers.fill(std::nullopt);
}

CondFake::~CondFake() {
  Clear();
  State().answers.fill(std::nullopt);
}

const CondFunctions& CondFake::functions() const { return kFakeFunctions; }

void CondFake::SetAnswer(CondFunctionId id, int32_t value) {
  State().answers[static_cast<size_t>(id)] = value;
}

const std::vector<CondCall>& CondFake::calls() const { return State().calls; }

void CondFake::Clear() { State().calls.clear(); }

}  // namespace testsupport
