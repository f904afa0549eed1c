#include "testsupport/kit_test_map.h"

#include <array>

#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "testsupport/script_writer.h"

namespace testsupport {
namespace {

namespace S = EventSeq;

constexpr auto kOpeningTalk = TalkList({{11, 10000}, {74, 10001}});

// Fades in, talks, plays a sound and the music, brings the prop on and waits a little.
constexpr S::Op kOpening[] = {
    S::FadeIn(),
    S::Messages(kOpeningTalk),
    S::Wait(10),
    S::Se(kKitOpeningSe),
    S::Bgm(kKitOpeningBgm),
    S::DeployKind(kKitPropKind),
    S::Wait(5),
    S::End(),
};
static_assert(S::Valid(kOpening));
constexpr SeqArgs kOpeningArgs{kOpening};

constexpr GenericTalkSet kTalks{.falls = {{{1, {{{36, 2029}, {36, 2027}, {31, 2028}}}}}}};
constexpr GenericDesc kGeneric{.talks = &kTalks, .falls = {.base = kKitFallId, .members = kITV}};

constexpr auto kStory = std::to_array<SlgEventEntry>({
    {.id = kKitOpeningId,
     .timing = 0x8000,
     .guard = {101, 0},
     .set = {101, 0},
     .handler = &SeqRow,
     .arg = &kOpeningArgs},
});
constexpr auto kTable = JoinRows(kStory, GenericRows<kGeneric>());

constexpr SlgEventAnmHandler kAnm[] = {&EventAnmHandlerOf<event_anm::kHold>};

}  // namespace

const MapSetup kKitTestMap{.table = kTable.data(), .anm_table = kAnm};

void AddKitTestMessages(MessageTableWriter& messages) {
  for (uint16_t id : {10000, 10001, 2027, 2028, 2029}) {
    messages.Add({.id = id, .voice_word = 0, .lip = "", .text = "AB"});
  }
}

}  // namespace testsupport
