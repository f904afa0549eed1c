#include "battle_events/maps/kit/event_rows.h"

#include "battle_events/core/event_check.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/generic_rows.h"
#include "battle_events/runtime/generic_scenes.h"
#include "engine/core/debug_trace.h"

namespace {

// The row's argument block, or null with the event ended (a row written without its block).
template <class Args>
const Args* ArgsOf(const SlgEventEntry& row) {
  const auto* args = static_cast<const Args*>(row.arg);
  if (args == nullptr) {
    DebugPrint("event %u: no argument block\n", row.id);
    EventEnd();
  }
  return args;
}

}  // namespace

void UnitDownRow(const SlgEventEntry& row) {
  if (const auto* args = ArgsOf<UnitDownArgs>(row)) {
    EventUnitDownScene(row, args->character, args->references);
  }
}

void RefTalkRow(const SlgEventEntry& row) {
  if (const auto* args = ArgsOf<RefTalkArgs>(row)) EventRefUnitTalk(row, args->face, args->message);
}

void RefTalk2Row(const SlgEventEntry& row) {
  if (const auto* args = ArgsOf<RefTalkArgs>(row)) {
    EventRefUnitTalk2(row, args->face, args->message);
  }
}

void CharTalkRow(const SlgEventEntry& row) {
  if (const auto* args = ArgsOf<CharTalkArgs>(row)) {
    EventCharTalk(row, args->character, args->references);
  }
}

void FavouriteRow(const SlgEventEntry& row) {
  if (const auto* args = ArgsOf<FavouriteArgs>(row)) EventFavouriteTalk(row, args->references);
}

void TalkListRow(const SlgEventEntry& row) {
  if (const auto* args = ArgsOf<TalkListArgs>(row)) EventTalkList(row, args->list);
}

void WaitTalkListRow(const SlgEventEntry& row) {
  if (const auto* args = ArgsOf<TalkListArgs>(row)) EventWaitTalkList(row, args->list);
}

void ForEachRowMessageList(const SlgEventEntry& row,
                           const std::function<void(std::span<const EventMessageRef>)>& visit) {
  if (row.arg == nullptr) return;
  if (row.handler == &TalkListRow || row.handler == &WaitTalkListRow) {
    visit(static_cast<const TalkListArgs*>(row.arg)->list);
  } else if (row.handler == &SeqRow) {
    for (const EventSeq::Op& op : static_cast<const SeqArgs*>(row.arg)->ops) {
      for (const EventSeq::Step* step : {&op.first, &op.second}) {
        if (step->kind == EventSeq::StepKind::kMessageList) visit(step->list);
      }
    }
  }
}

namespace generic_rows_detail {
void UnsupportedDescription() {}
}  // namespace generic_rows_detail
